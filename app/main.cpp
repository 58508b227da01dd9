// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-audio: a live signal scope and spectrum of the sound input.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/Main_unt.h"
#include "app/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "quorvel/Version.h"

int main(int argc, char** argv) {
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
  app::TMain_Form form;
  form.show();
  instance.OnRaise = [&form] { form.BringToFront(); };

  // Ctrl+C and SIGTERM close the window, so that capture stops and
  // everything is released in order, as when the user closes it.
  platform::TerminationSignals terminate([&form] { form.close(); });
  return application.exec();
}
