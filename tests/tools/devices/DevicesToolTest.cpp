// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-devices through the private sound server: the device list, a
// line per block for the whole time asked, a device that does not open,
// and Ctrl+C.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <csignal>

#include "tests/support/SoundServer.h"
#include "tests/support/ToolProcess.h"

namespace {

using tool_test::Outcome;

constexpr double kBlockSeconds = 2048 / 44100.0;

class DevicesTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured()) GTEST_SKIP() << "no private sound server (run scripts/test)";
  }
};

// The block lines of an output, numbered from 1 on without a gap, each of
// a whole mono block; their count.
int CheckBlocks(const QStringList& out) {
  const QRegularExpression line(
      QStringLiteral("^block +(\\d+) +4096 bytes  peak +(-inf|-?\\d+\\.\\d) dBFS  rms +(-inf|-?\\d+\\.\\d) dBFS  "
                     "(triggered|-)$"));
  int blocks = 0;
  for (const QString& l : out) {
    if (!l.startsWith(QStringLiteral("block"))) continue;
    const QRegularExpressionMatch m = line.match(l);
    EXPECT_TRUE(m.hasMatch()) << l.toStdString();
    EXPECT_EQ(m.captured(1).toInt(), ++blocks) << l.toStdString();
  }
  return blocks;
}

// The summary line: the count, then how far apart the blocks came and the
// capture path's delay, each in order (10th percentile <= median <= 90th;
// median <= 95th percentile), or said not to be known.
void CheckSummary(const QString& last, int blocks) {
  const QRegularExpression summary(QStringLiteral(
      "^(\\d+) blocks(?:, \\d+ not printed)?(?:, one every (\\d+\\.\\d) ms \\(median; 10th to 90th percentile "
      "(\\d+\\.\\d) to "
      "(\\d+\\.\\d) ms\\)|, spacing not known \\(too few blocks\\))(?:, capture path (\\d+) ms \\(median; 95th "
      "percentile (\\d+) ms\\)|, capture path not known \\(the device gives no stamp\\))$"));
  const QRegularExpressionMatch m = summary.match(last);
  ASSERT_TRUE(m.hasMatch()) << last.toStdString();
  EXPECT_EQ(m.captured(1).toInt(), blocks);
  EXPECT_EQ(m.hasCaptured(2), blocks >= 3) << last.toStdString();
  if (m.hasCaptured(2)) {
    EXPECT_LE(m.captured(3).toDouble(), m.captured(2).toDouble());
    EXPECT_LE(m.captured(2).toDouble(), m.captured(4).toDouble());
  }
  if (m.hasCaptured(5)) {
    EXPECT_LE(m.captured(5).toInt(), m.captured(6).toInt());
  }
}

TEST_F(DevicesTool, ListsTheDevicesThenRecordsForTheWholeTimeAsked) {
  QElapsedTimer clock;
  clock.start();
  const Outcome r = tool_test::Run(QStringLiteral(QUORVEL_DEVICES), {"--seconds", "2"});
  const double seconds = clock.elapsed() / 1000.0;
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  ASSERT_GE(r.out.size(), 4) << r.out.join('\n').toStdString();
  const QRegularExpressionMatch head = QRegularExpression(QStringLiteral("^Capture devices: (\\d+)$")).match(r.out[0]);
  ASSERT_TRUE(head.hasMatch()) << r.out[0].toStdString();
  const int count = head.captured(1).toInt();
  ASSERT_GE(count, 1);
  EXPECT_EQ(r.out[1], QStringLiteral("  -1  default (the system's default input)"));
  for (int i = 0; i < count; ++i)
    EXPECT_TRUE(r.out[2 + i].startsWith(QStringLiteral("  %1  ").arg(i, 2))) << r.out[2 + i].toStdString();
  EXPECT_EQ(r.out[2 + count],
            QStringLiteral("Recording 2.0 s from device -1: mono, 16 bits, 44100 Hz, 2048 frames per block"));
  const int blocks = CheckBlocks(r.out);
  CheckSummary(r.out.last(), blocks);
  // The sound server says what it holds: the capture path's delay is known.
  EXPECT_TRUE(r.out.last().contains(QStringLiteral(" ms (median; 95th percentile "))) << r.out.last().toStdString();
  // The whole 2 s: the process outlives them, and the blocks cover most of
  // them (a busy machine delivers late, never early, and never beyond what
  // the time since it started holds).
  EXPECT_GE(seconds, 2.0);
  EXPECT_GE(blocks, 0.8 * 2.0 / kBlockSeconds);
  EXPECT_LE(blocks, seconds / kBlockSeconds + 8);
}

TEST_F(DevicesTool, ADeviceThatDoesNotOpenEndsWithExit1AndTheReason) {
  const Outcome r = tool_test::Run(QStringLiteral(QUORVEL_DEVICES), {"--device", "9", "--seconds", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("quorvel-devices: Could not open the input device for recording: ")))
      << r.err.toStdString();
  EXPECT_EQ(CheckBlocks(r.out), 0);
}

TEST_F(DevicesTool, CtrlCEndsTheRecordingWithItsCountAndExit130) {
  QProcess p;
  p.start(QStringLiteral(QUORVEL_DEVICES), {"--seconds", "60"});
  QByteArray out;
  ASSERT_TRUE(tool_test::ReadUntil(p, out, "block     2")) << out.toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  const Outcome r = tool_test::Finish(p, out);
  EXPECT_EQ(r.code, 130) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  const int blocks = CheckBlocks(r.out);
  EXPECT_GE(blocks, 2);
  CheckSummary(r.out.last(), blocks);
}

}  // namespace
