// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-audio: a live signal scope and spectrum of the sound input.
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <malloc.h>

#include "app/Main_unt.h"
#include "app/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "quorvel/Version.h"

int main(int argc, char** argv) {
  // The C library gives each thread that allocates an arena of its own, and
  // an arena keeps the pages it touched: with the sound server's client
  // threads, Qt's X and D-Bus readers and the device probes, eight arenas
  // held 0.25-0.35 MB more after half a minute of capture than two do. Those
  // threads allocate little and seldom (the capture thread nothing of its
  // own), so two serve them all. Set before any thread starts.
  mallopt(M_ARENA_MAX, 2);
  // Answered before Qt starts, so that it needs no display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quorvel-audio %s\n", quorvel::kVersion);
      return 0;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvel audio"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quorvel audio"));
  // The installed menu entry and icon carry this name, so that a desktop
  // ties the windows to them.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvel.audio"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quorvel.audio")));
  // A second launch brings the first copy to the front and ends, before it
  // opens a device, a scope or a setting.
  app::SingleInstance instance = app::SingleInstance::ForThisDisplay();
  switch (instance.claim()) {
    case app::SingleInstance::Claim::First:
      break;
    case app::SingleInstance::Claim::Asked:
      return 0;
    case app::SingleInstance::Claim::NoAnswer:
      std::fprintf(stderr, "quorvel-audio: another copy runs on this display but does not answer; close it first\n");
      return 1;
  }
  // Ctrl+C and SIGTERM close the window, so that capture stops and
  // everything is released in order, as when the user closes it. Caught
  // before the window is made: a signal that comes while it loads the
  // display library waits for the event loop instead of ending the program.
  app::TMain_Form* window = nullptr;
  std::function<void()> close = [&] {
    if (window != nullptr)
      window->close();
    else  // still being made (messages are handled while it loads): once it is
      QTimer::singleShot(0, &application, close);
  };
  platform::TerminationSignals terminate(close);
  app::TMain_Form form;
  window = &form;
  form.show();
  instance.OnRaise = [&form] { form.BringToFront(); };
  return application.exec();
}
