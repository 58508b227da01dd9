// quorvel-audio: a live signal scope and spectrum of the sound input.
#include <QApplication>

#include "app/Main_unt.h"
#include "platform/TerminationSignals.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel audio"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quorvel audio"));
  app::TMain_Form form;
  form.show();

  // Ctrl+C and SIGTERM close the window, so that capture stops and
  // everything is released in order, as when the user closes it.
  platform::TerminationSignals terminate([&form] { form.close(); });
  return application.exec();
}
