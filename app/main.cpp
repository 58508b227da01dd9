// quorvel-audio: a live signal scope and spectrum of the sound input.
#include <QApplication>

#include "app/Main_unt.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel audio"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quorvel audio"));
  app::TMain_Form form;
  form.show();
  return application.exec();
}
