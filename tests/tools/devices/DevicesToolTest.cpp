// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every value quorvel-devices refuses is refused with its reason, before any
// device is opened, and with the usage after it (exit 64).
#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

namespace {

TEST(DevicesTool, RefusedValuesSayWhy) {
  struct Case {
    QStringList args;
    QString reason;
  };
  const QList<Case> cases{
      {{"--seconds", "0"}, "--seconds must be more than 0 and at most 86400 (a day), not 0"},
      {{"--seconds", "-1"}, "--seconds must be more than 0 and at most 86400 (a day), not -1"},
      {{"--seconds", "1e9"}, "--seconds must be more than 0 and at most 86400 (a day), not 1e9"},
      {{"--seconds", "nan"}, "--seconds takes a number of seconds, not 'nan'"},
      {{"--seconds", "3s"}, "--seconds takes a number of seconds, not '3s'"},
      {{"--seconds"}, "--seconds needs a value"},
      {{"--device", "12"}, "--device takes a capture device number from the list (-1 to 9), not '12'"},
      {{"--trigger", "40000"}, "--trigger takes a sample level from -32768 to 32767, not '40000'"},
      {{"--split"}, "--split needs --stereo"},
      {{"--loud"}, "unknown argument '--loud'"},
  };
  for (const Case& c : cases) {
    const tool_test::Outcome r = tool_test::Run(QStringLiteral(QUORVEL_DEVICES), c.args);
    EXPECT_EQ(r.code, 64) << c.args.join(' ').toStdString();
    EXPECT_EQ(r.err.section('\n', 0, 0), "quorvel-devices: " + c.reason) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("usage: quorvel-devices"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << "nothing listed or recorded: " << r.out.join('\n').toStdString();
  }
}

}  // namespace
