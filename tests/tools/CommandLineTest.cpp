// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tools' command lines, with no sound server needed: numbers read
// whole, and each tool's answer to a bad command line
// (exit 64, what is wrong, the usage) or to a file it cannot play (exit 2),
// given before any device is touched.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ToolProcess.h"
#include "tests/support/WavFile.h"
#include "tools/CommandLine.h"

namespace {

using tool_test::Outcome;

TEST(ParseInt, TakesAWholeDecimalNumberInItsRangeAndNothingElse) {
  struct Case {
    const char* text;
    long lo, hi;
    bool ok;
    long value;
  };
  const Case cases[] = {
      {"5", 0, 9, true, 5},
      {"-1", -1, 9, true, -1},
      {"0", 0, 0, true, 0},
      {"65535", 0, 65535, true, 65535},
      {"10", 0, 9, false, 0},
      {"-2", -1, 9, false, 0},
      {"", 0, 9, false, 0},
      {"5x", 0, 9, false, 0},
      {"x5", 0, 9, false, 0},
      {" 5", 0, 9, false, 0},
      {"5 ", 0, 9, false, 0},
      {"2.5", 0, 9, false, 0},
      {"99999999999999999999", 0, 65535, false, 0},
  };
  for (const Case& c : cases) {
    long out = -12345;
    EXPECT_EQ(tools::ParseInt(c.text, c.lo, c.hi, out), c.ok) << "'" << c.text << "'";
    if (c.ok) {
      EXPECT_EQ(out, c.value) << "'" << c.text << "'";
    }
  }
}

// Every tool's answer to a bad command line: exit 64, "tool: what is
// wrong" first, then the usage.
TEST(ToolCommandLines, BadOnesSayWhatIsWrongWithExit64) {
  struct Case {
    const char* tool;
    QStringList args;
    QString why;
  };
  const QString play = QStringLiteral(QUORVEL_PLAY), mixer = QStringLiteral(QUORVEL_MIXER),
                devices = QStringLiteral(QUORVEL_DEVICES);
  const Case cases[] = {
      {QUORVEL_PLAY, {}, "no file given"},
      {QUORVEL_PLAY, {"a.wav", "--loops", "-1"}, "--loops takes a whole number from 0 to 65535, not '-1'"},
      {QUORVEL_PLAY, {"a.wav", "--loops"}, "--loops needs a number"},
      {QUORVEL_PLAY,
       {"a.wav", "--device", "abc"},
       "--device takes an output device number from --list, or -1 for the default output, not 'abc'"},
      {QUORVEL_PLAY, {"a.wav", "a.wav"}, "one file at a time: 'a.wav' follows 'a.wav'"},
      {QUORVEL_PLAY, {"a.wav", "--fast"}, "unknown option '--fast'"},
      {QUORVEL_PLAY, {"--tone", "30000"}, "--tone needs frequencies below half the rate (22050 Hz)"},
      {QUORVEL_PLAY, {"--noise", "brown"}, "--noise takes white or pink, not 'brown'"},
      {QUORVEL_PLAY, {"--tone", "1000", "--level", "3"}, "--level takes dBFS from -150 to 0, not '3'"},
      {QUORVEL_PLAY,
       {"a.wav", "--seconds", "2"},
       "--seconds is for a generated signal (--tone, --square, --sweep, --noise)"},
      {QUORVEL_PLAY, {"--sweep", "1000", "100"}, "a logarithmic sweep runs upwards: FROM must be below TO"},
      {QUORVEL_MIXER, {"--device", "abc"}, "--device takes a mixer device number from the list (0 to 255), not 'abc'"},
      {QUORVEL_MIXER, {"--device", "256"}, "--device takes a mixer device number from the list (0 to 255), not '256'"},
      {QUORVEL_MIXER, {"--device"}, "--device needs a number"},
      {QUORVEL_MIXER, {"--loud"}, "unknown argument '--loud'"},
      {QUORVEL_DEVICES, {"--seconds", "0"}, "--seconds must be more than 0 and at most 86400 (a day), not 0"},
      {QUORVEL_DEVICES, {"--seconds", "-1"}, "--seconds must be more than 0 and at most 86400 (a day), not -1"},
      {QUORVEL_DEVICES, {"--seconds", "1e9"}, "--seconds must be more than 0 and at most 86400 (a day), not 1e9"},
      {QUORVEL_DEVICES, {"--seconds", "nan"}, "--seconds takes a number of seconds, not 'nan'"},
      {QUORVEL_DEVICES, {"--seconds", "3s"}, "--seconds takes a number of seconds, not '3s'"},
      {QUORVEL_DEVICES, {"--seconds"}, "--seconds needs a value"},
      {QUORVEL_DEVICES, {"--device", "12"}, "--device takes a capture device number from the list (-1 to 9), not '12'"},
      {QUORVEL_DEVICES, {"--trigger", "40000"}, "--trigger takes a sample level from -32768 to 32767, not '40000'"},
      {QUORVEL_DEVICES, {"--split"}, "--split needs --stereo"},
      {QUORVEL_DEVICES, {"--loud"}, "unknown argument '--loud'"},
      {QUORVEL_ANALYSE, {"a.wav", "--bands", "2"}, "--bands takes 1, 3, 6, 12 or 24 bands per octave, not '2'"},
      {QUORVEL_ANALYSE, {"a.wav", "--bands", "3.0"}, "--bands takes 1, 3, 6, 12 or 24 bands per octave, not '3.0'"},
      {QUORVEL_ANALYSE, {"a.wav", "--bands"}, "--bands needs a number of bands per octave"},
      {QUORVEL_ANALYSE, {"a.wav", "--weighting", "B"}, "--weighting takes A, C or Z, not 'B'"},
      {QUORVEL_ANALYSE, {"a.wav", "--weighting", "AC"}, "--weighting takes A, C or Z, not 'AC'"},
      {QUORVEL_ANALYSE,
       {"a.wav", "--offset", "nan"},
       "--offset takes dB from -300 to 300 (dB SPL = dBFS + offset), not 'nan'"},
      {QUORVEL_ANALYSE,
       {"a.wav", "--offset", "1e9"},
       "--offset takes dB from -300 to 300 (dB SPL = dBFS + offset), not '1e9'"},
      {QUORVEL_ANALYSE,
       {"a.wav", "--offset", "94dB"},
       "--offset takes dB from -300 to 300 (dB SPL = dBFS + offset), not '94dB'"},
      {QUORVEL_ANALYSE, {"a.wav", "--calibration"}, "--calibration needs a microphone's correction file"},
  };
  for (const Case& c : cases) {
    const QString tool = QString::fromLocal8Bit(c.tool);
    const QString name = tool.section('/', -1);
    const Outcome r = tool_test::Run(tool, c.args);
    const std::string what = (name + " " + c.args.join(' ')).toStdString();
    EXPECT_EQ(r.code, 64) << what;
    EXPECT_TRUE(r.out.isEmpty()) << what;
    EXPECT_TRUE(r.err.startsWith(name + ": " + c.why + '\n')) << what << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("usage: " + name)) << what;
  }
  // --help: the usage on stdout, and done.
  for (const QString& tool : {play, mixer, devices}) {
    const Outcome r = tool_test::Run(tool, {"--help"});
    EXPECT_EQ(r.code, 0) << tool.toStdString();
    ASSERT_FALSE(r.out.isEmpty()) << tool.toStdString();
    EXPECT_TRUE(r.out.first().startsWith("usage: " + tool.section('/', -1))) << r.out.first().toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  }
}

// Exit 2 and no "Playing" line: the file was refused before the player,
// and so before any device, was touched.
TEST(ToolCommandLines, FilesQuorvelPlayCannotPlayAreRefusedWithExit2) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto save = [&](const char* name, const std::vector<char>& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return f.fileName();
  };
  std::vector<char> noise(4096);
  for (std::uint32_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 1103515245u + 12345u) >> 16);
  const QString six = save("six.wav", quorvel_test::WavBytes(6, 44100, std::vector<char>(6 * 2 * 100)));
  const std::pair<QString, QString> cases[] = {
      {six, QStringLiteral("quorvel-play: \"%1\" has 6 channels; only mono and stereo can be played\n").arg(six)},
      {save("noise.wav", noise), "cannot be read as sound: Format not recognised"},
      {dir.filePath("missing.wav"), "does not exist"},
  };
  for (const auto& [path, why] : cases) {
    const Outcome r = tool_test::Run(QStringLiteral(QUORVEL_PLAY), {path});
    EXPECT_EQ(r.code, 2) << path.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.join('\n').toStdString();
    EXPECT_TRUE(r.err.startsWith("quorvel-play: ") && r.err.contains(why)) << r.err.toStdString();
  }
}

}  // namespace
