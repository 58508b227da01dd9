// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-analyse on live capture through the private sound server: a tone
// played into its sink reads as that tone on both channels of the capture
// of the sink's monitor, over exactly the seconds asked for.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/support/RealStack.h"
#include "tests/support/ToolProcess.h"

namespace {

TEST(AnalyseCapture, ATonePlayedIntoTheServerReadsAsThatTone) {
  if (!quorvel_test::SoundServerConfigured())
    GTEST_SKIP() << "no private sound server (run scripts/sound-server start)";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  quorvel_test::Player tone(quorvel_test::SineSignal(44100 * 30, 44100, 1000, 0.5, 2), 44100, 2);
  ASSERT_TRUE(tone.running());
  const tool_test::Outcome r =
      tool_test::Run(QStringLiteral(QUORVEL_ANALYSE), {"--device", "-1", "--seconds", "2", "--csv", dir.path()});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  QFile summary(QDir(dir.path()).filePath("summary.csv"));
  ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(summary.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  const QStringList names = lines[0].split(',');
  for (int row = 1; row <= 2; ++row) {
    const QStringList values = lines[row].split(',');
    ASSERT_EQ(values.size(), names.size());
    EXPECT_EQ(values[names.indexOf("file")], "device -1");
    EXPECT_EQ(values[names.indexOf("channel")], QString::number(row));
    EXPECT_EQ(values[names.indexOf("rate_hz")], "44100");
    EXPECT_EQ(values[names.indexOf("seconds")], "2.000");
    EXPECT_NEAR(values[names.indexOf("peak_hz")].toDouble(), 1000, 0.5) << lines[row].toStdString();
  }
  EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath("device-1-ch2-spectrum.csv")));
}

}  // namespace
