// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-mixer through the private sound server: the server's mixer as a
// table, a volume changed with pactl seen by --watch raw and then as its
// line, and the reason it gives for a mixer that does not open.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <csignal>
#include <cstdlib>
#include <optional>

#include "tests/support/Pactl.h"
#include "tests/support/SoundServer.h"
#include "tests/support/ToolProcess.h"

namespace {

using tool_test::Finish;
using tool_test::Outcome;
using tool_test::ReadUntil;
namespace pactl = quorvel_test::pactl;

Outcome Mixer(const QStringList& args) { return tool_test::Run(QStringLiteral(QUORVEL_MIXER), args); }

class MixerTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!quorvel_test::SoundServerConfigured())
      GTEST_SKIP() << "no private sound server (run scripts/sound-server start)";
    levels_.emplace();
    ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 70%"));
  }
  void TearDown() override { levels_.reset(); }
  std::optional<pactl::SavedLevels> levels_;
};

TEST_F(MixerTool, ListsTheMixerAndWatchSeesAVolumeChangeRawThenAsItsLine) {
  // --list: the mixers by number and name, the sound server's first, and
  // no table.
  const Outcome list = Mixer({QStringLiteral("--list")});
  ASSERT_EQ(list.code, 0) << list.err.toStdString();
  EXPECT_GE(list.out.indexOf(QRegularExpression(QStringLiteral("^ +0  Sound server \\(.+\\) \\(2 destinations\\)$"))),
            0)
      << list.out.join('\n').toStdString();
  EXPECT_FALSE(list.out.join('\n').contains(QStringLiteral("speaker"))) << list.out.join('\n').toStdString();

  const Outcome table = Mixer({});
  ASSERT_EQ(table.code, 0) << table.err.toStdString();
  // The speakers' destination line: "dest src name volL volR muted meter flags yes ...".
  const QRegularExpression speakers(
      QStringLiteral("^\\s*(\\d+)\\s+0  (.+?)\\s+\\d+\\s+\\d+\\s+\\S+\\s+\\d+\\s+\\d+\\s+yes  "));
  QString dest, name;
  for (const QString& line : table.out) {
    const QRegularExpressionMatch m = speakers.match(line);
    if (m.hasMatch() && dest.isEmpty()) {
      dest = m.captured(1);
      name = m.captured(2);
    }
  }
  ASSERT_FALSE(dest.isEmpty()) << table.out.join('\n').toStdString();

  QProcess p;
  p.start(QStringLiteral(QUORVEL_MIXER), {QStringLiteral("--watch")});
  ASSERT_TRUE(p.waitForStarted());
  QByteArray out;
  ASSERT_TRUE(ReadUntil(p, out, "Watching for changes")) << out.toStdString();
  ASSERT_TRUE(pactl::Run("set-sink-volume @DEFAULT_SINK@ 40%"));
  // The volume as it now is: what a fresh table reads.
  const Outcome after = Mixer({});
  QString tableVolume;
  for (const QString& line : after.out)
    if (const QRegularExpressionMatch m = speakers.match(line); m.hasMatch() && m.captured(1) == dest)
      tableVolume = line.mid(m.capturedEnd(2)).simplified().section(' ', 0, 0);
  ASSERT_FALSE(tableVolume.isEmpty()) << after.out.join('\n').toStdString();
  // A line carries it. Lines before it may carry an older volume: a sound
  // server may report the change made before the watch began after it began.
  const QString expected = QStringLiteral("line  %1     0  %2  volume %3").arg(dest, 5).arg(name, tableVolume);
  ReadUntil(p, out, expected.toLocal8Bit());
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  const Outcome r = Finish(p, out);
  // 128 + SIGINT, as a shell reports a program that Ctrl+C ended.
  EXPECT_EQ(r.code, 130) << r.err.toStdString();
  const qsizetype at = r.out.indexOf(QRegularExpression("^" + QRegularExpression::escape(expected) + " .*"));
  ASSERT_GT(at, 0) << r.out.join('\n').toStdString();
  // Its raw report comes just before it; no raw report is named.
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^raw +\\d+ +\\d+$")).match(r.out[at - 1]).hasMatch())
      << r.out[at - 1].toStdString();
  for (const QString& line : r.out) {
    if (line.startsWith(QStringLiteral("raw"))) {
      EXPECT_FALSE(line.contains(name)) << line.toStdString();
    }
  }
}

// (Bad command lines are CommandLineTest.cpp's.)
TEST_F(MixerTool, AMixerThatDoesNotOpenSaysWhy) {
  const Outcome r = Mixer({QStringLiteral("--device"), QStringLiteral("200")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.startsWith(QStringLiteral("quorvel-mixer: mixer device 200 could not be opened: ")))
      << r.err.toStdString();
  EXPECT_GT(r.err.trimmed().size(), QStringLiteral("quorvel-mixer: mixer device 200 could not be opened: ").size() + 5)
      << r.err.toStdString();
}

}  // namespace
