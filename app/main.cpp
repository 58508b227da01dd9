// quorvel-audio: a live signal scope and spectrum of the sound input.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>

#include "app/Main_unt.h"

namespace {
int g_signalPipe[2] = {-1, -1};
void OnTerminate(int) {
  const char c = 1;
  [[maybe_unused]] const auto n = write(g_signalPipe[1], &c, 1);
}
}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel audio"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quorvel audio"));
  app::TMain_Form form;
  form.show();

  // Ctrl+C and SIGTERM close the window, so that capture stops and
  // everything is released in order, as when the user closes it.
  std::unique_ptr<QSocketNotifier> terminate;
  if (pipe(g_signalPipe) == 0) {
    terminate = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(terminate.get(), &QSocketNotifier::activated, &form, [&form] { form.close(); });
    std::signal(SIGINT, OnTerminate);
    std::signal(SIGTERM, OnTerminate);
  }
  return application.exec();
}
