// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quorvel-analyse on sound files the test writes: the numbers known of them,
// the files it writes and their form, files it cannot read, bad command
// lines, loudness beside ffmpeg's meter, and calibrated levels and bands.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <sndfile.h>
#include <vector>

#include "dsp/FrequencyWeighting.h"
#include "tests/dsp/ToneSignals.h"
#include "tests/support/ToolProcess.h"

namespace {

using tool_test::Outcome;

Outcome Analyse(const QStringList& args) { return tool_test::Run(QStringLiteral(QUORVEL_ANALYSE), args); }

// Sample (frame, channel) of a file, full scale at 1.
using Signal = std::function<double(long, int)>;

constexpr double kTwoPi = 2 * std::numbers::pi;

class AnalyseTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString Write(const QString& name, int rate, int channels, double seconds, const Signal& signal,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    const QString path = dir_.filePath(name);
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
    const long frames = std::lround(seconds * rate);
    std::vector<float> samples(static_cast<size_t>(frames * channels));
    for (long i = 0; i < frames; ++i)
      for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(i * channels + c)] = float(signal(i, c));
    if (f) {
      EXPECT_EQ(sf_writef_float(f, samples.data(), frames), frames);
      sf_close(f);
    }
    return path;
  }

  QString Dir(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  // summary.csv as rows of column name to value.
  static std::vector<std::map<QString, QString>> Summary(const QString& dir) {
    QFile f(QDir(dir).filePath("summary.csv"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "no summary.csv";
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    std::vector<std::map<QString, QString>> rows;
    if (lines.isEmpty()) return rows;
    const QStringList names = lines[0].split(',');
    for (qsizetype i = 1; i < lines.size(); ++i) {
      const QStringList values = lines[i].split(',');
      std::map<QString, QString> row;
      for (qsizetype c = 0; c < names.size() && c < values.size(); ++c) row[names[c]] = values[c];
      rows.push_back(row);
    }
    return rows;
  }

  QTemporaryDir dir_;
};

double Number(const QString& text) {
  bool ok = false;
  const double v = text.toDouble(&ok);
  EXPECT_TRUE(ok) << "'" << text.toStdString() << "' is no number";
  return v;
}

// Three channels at 48 kHz: a 1 kHz tone at -6.02 dBFS with its second
// harmonic 40 dB down (THD 1 %), silence, and a 300 Hz tone on a DC offset.
double Harmonic(double t) { return 0.5 * std::sin(kTwoPi * 1000 * t) + 0.005 * std::sin(kTwoPi * 2000 * t + 0.4); }

double Known(long i, int c) {
  const double t = double(i) / 48000;
  switch (c) {
    case 0:
      return Harmonic(t);
    case 1:
      return 0;
    default:
      return 0.25 + 0.1 * std::sin(kTwoPi * 300 * t);
  }
}

TEST_F(AnalyseTool, AFileOfKnownSignalsReadsThem) {
  const QString file = Write("known.wav", 48000, 3, 10, Known);
  const Outcome r = Analyse({file, "--csv", Dir("out"), "--png", Dir("out")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.isEmpty()) << "with --csv the table is not printed";
  const auto rows = Summary(Dir("out"));
  ASSERT_EQ(rows.size(), 3u);

  struct Expected {
    const char* column;
    double ch1, ch3;  // channel 2 is silent
    double within;
  };
  const double rms1 = std::sqrt((0.25 + 0.000025) / 2), rms3 = std::sqrt(0.0625 + 0.005);
  // The first channel's peak, on the samples and between them.
  double samplePeak = 0, truePeak = 0;
  for (long i = 0; i < 48000; ++i) {
    samplePeak = std::max(samplePeak, std::fabs(double(float(Known(i, 0)))));
    for (int k = 0; k < 16; ++k) truePeak = std::max(truePeak, std::fabs(Harmonic((i + k / 16.0) / 48000)));
  }
  for (const Expected& e : {
           Expected{"rate_hz", 48000, 48000, 0},
           Expected{"seconds", 10, 10, 0},
           Expected{"rms_dbfs", 20 * std::log10(rms1 * std::sqrt(2.0)), 20 * std::log10(rms3 * std::sqrt(2.0)), 0.005},
           Expected{"dc", 0, 0.25, 1e-6},
           Expected{"peak_dbfs", 20 * std::log10(samplePeak), 20 * std::log10(0.35), 0.005},
           Expected{"crest", samplePeak / rms1, 0.35 / rms3, 0.005},
           Expected{"peak_hz", 1000, 300, 0.01},
           Expected{"peak_level_dbfs", 20 * std::log10(0.5), 20 * std::log10(0.1), 0.01},
           Expected{"true_peak_dbtp", 20 * std::log10(truePeak), 20 * std::log10(0.35), 0.05},
       }) {
    EXPECT_NEAR(Number(rows[0].at(e.column)), e.ch1, e.within) << e.column;
    EXPECT_NEAR(Number(rows[2].at(e.column)), e.ch3, e.within) << e.column;
  }
  EXPECT_NEAR(Number(rows[0].at("thd_percent")), 1.0, 0.01);
  for (const char* missing :
       {"peak_dbfs", "rms_dbfs", "crest", "peak_hz", "peak_level_dbfs", "thd_percent", "true_peak_dbtp"})
    EXPECT_EQ(rows[1].at(missing), "none") << "silence has no " << missing;
  EXPECT_EQ(rows[1].at("dc"), "0.000000");
  // The programme is every channel together: the same on each row.
  for (const auto& row : rows) {
    EXPECT_EQ(row.at("file"), file);
    EXPECT_EQ(row.at("loudness_lufs"), rows[0].at("loudness_lufs"));
  }

  // The spectrum files are the frame scope's text, with the summary's readings.
  for (int ch = 1; ch <= 3; ++ch) {
    QFile f(Dir("out") + QStringLiteral("/known-ch%1-spectrum.csv").arg(ch));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << ch;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 14 + 1024) << ch;
    const auto& row = rows[size_t(ch - 1)];
    EXPECT_EQ(lines[1], "# peak_hz: " + row.at("peak_hz"));
    EXPECT_EQ(lines[2], "# peak_dbfs: " + row.at("peak_level_dbfs"));
    EXPECT_EQ(lines[3], "# thd_percent: " + row.at("thd_percent"));
    EXPECT_EQ(lines[8], "# bins: 1024");
    EXPECT_EQ(lines[9], "# bin_hz: 23.4375");
    EXPECT_EQ(lines[13], "frequency_hz,level_db,amplitude_percent,peak_hold_db");
  }

  // The spectrograms, down the middle of the plot (between the grey lines
  // of its frame): the tone is the brightest, a 24th of the way up from
  // 0 Hz; the silent channel is one colour.
  auto plotColumn = [](const QImage& image) {
    std::vector<QRgb> column;
    bool inside = false;
    for (int y = 0; y < image.height(); ++y) {
      const QRgb c = image.pixel(image.width() / 2, y);
      if (c == qRgb(0x70, 0x70, 0x70)) {
        if (inside) break;
        inside = true;
      } else if (inside) {
        column.push_back(c);
      }
    }
    return column;
  };
  const std::vector<QRgb> tone = plotColumn(QImage(Dir("out") + "/known-ch1-spectrogram.png"));
  ASSERT_GT(tone.size(), 500u);
  const auto brightest = std::max_element(tone.begin(), tone.end(), [](QRgb a, QRgb b) { return qGray(a) < qGray(b); });
  EXPECT_NEAR(double(tone.end() - brightest) / double(tone.size()), 1.0 / 24, 0.005);
  const std::vector<QRgb> silent = plotColumn(QImage(Dir("out") + "/known-ch2-spectrogram.png"));
  ASSERT_EQ(silent.size(), tone.size());
  EXPECT_EQ(std::count(silent.begin(), silent.end(), silent.front()), std::ptrdiff_t(silent.size()));
}

TEST_F(AnalyseTool, FilesItCannotReadAreNamedWithTheReasonAndTheOthersStillAnalysed) {
  const QString good =
      Write("good.wav", 44100, 1, 1, [](long i, int) { return 0.5 * std::sin(kTwoPi * 440 * i / 44100); });
  const QString text = Dir("text.wav");
  QFile t(text);
  ASSERT_TRUE(t.open(QIODevice::WriteOnly));
  t.write("not a sound file\n");
  t.close();
  const Outcome r = Analyse({text, good, Dir("missing.flac"), good, "--channel", "2"});
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.err.contains(text + ": ")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(Dir("missing.flac") + ": System error")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(good + ": it has 1 channel, no channel 2")) << r.err.toStdString();

  const Outcome fine = Analyse({text, good, "--from", "0.25", "--to", "0.75"});
  EXPECT_EQ(fine.code, 2);
  ASSERT_EQ(fine.out.size(), 2) << "a header and the good file's row";
  // An aligned table: every line as long as the header, the numbers under their names.
  EXPECT_TRUE(fine.out[0].startsWith("file")) << fine.out[0].toStdString();
  EXPECT_EQ(fine.out[1].size(), fine.out[0].size());
  const qsizetype end = fine.out[0].indexOf("seconds") + qsizetype(std::strlen("seconds"));
  EXPECT_EQ(fine.out[1].mid(end - 5, 5), "0.500") << fine.out[1].toStdString();
}

TEST_F(AnalyseTool, BadCommandLinesAreRefused) {
  const QString file = Write("a.wav", 8000, 1, 0.5, [](long, int) { return 0.1; });
  for (const QStringList& args : std::vector<QStringList>{
           {},
           {file, "--to", "1", "--from", "2"},
           {file, "--from", "-1"},
           {file, "--channel", "0"},
           {file, "--seconds", "1"},
           {file, "--device", "0", "--seconds", "1"},
           {"--device", "0"},
           {file, "--csv"},
           {file, "--bogus"},
           {file, Dir("other/a.wav"), "--csv", Dir("out")},
       }) {
    const Outcome r = Analyse(args);
    EXPECT_EQ(r.code, 64) << args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains("usage:")) << args.join(' ').toStdString();
  }
}

// The programme's loudness and the channels' true peaks beside ffmpeg's
// EBU R128 meter, an implementation of its own, on noise and steps of tone.
TEST_F(AnalyseTool, LoudnessAgreesWithAnIndependentMeter) {
  const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
  if (ffmpeg.isEmpty()) GTEST_SKIP() << "no ffmpeg to compare with";
  std::mt19937 rng(5);
  std::normal_distribution<double> white(0, 1);
  double pink[2] = {0, 0};
  std::vector<double> noise(48000 * 2 * 12);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = pink[i % 2] = 0.98 * pink[i % 2] + 0.02 * white(rng);
  const QString file = Write("mix.wav", 48000, 2, 24, [&](long i, int c) {
    const double steps = i < 48000 * 12 ? 0.3 * noise[size_t(2 * i + c)] : 0.1 * (1 + (i / 96000) % 3);
    return i < 48000 * 12 ? steps : steps * std::sin(kTwoPi * (c ? 997 : 3001) * double(i) / 48000);
  });
  const Outcome ours = Analyse({file, "--csv", Dir("out")});
  ASSERT_EQ(ours.code, 0) << ours.err.toStdString();
  const auto rows = Summary(Dir("out"));
  ASSERT_EQ(rows.size(), 2u);

  QProcess p;
  p.start(ffmpeg, {"-nostdin", "-hide_banner", "-nostats", "-i", file, "-af",
                   "ebur128=peak=true:metadata=1,ametadata=print", "-f", "null", "-"});
  ASSERT_TRUE(p.waitForFinished(tool_test::kFinishMs));
  std::map<QString, double> theirs;  // the last value of each key
  const QRegularExpression key(QStringLiteral("lavfi\\.r128\\.([A-Za-z_0-9]+)=(-?[0-9.]+)"));
  for (auto m = key.globalMatch(QString::fromUtf8(p.readAllStandardError())); m.hasNext();) {
    const auto match = m.next();
    theirs[match.captured(1)] = match.captured(2).toDouble();
  }
  ASSERT_TRUE(theirs.count("I") && theirs.count("LRA") && theirs.count("true_peaks_ch1"));
  EXPECT_NEAR(Number(rows[0].at("loudness_lufs")), theirs["I"], 0.1);
  // The range is looser, as the standard has it (1 LU): meters quantise the
  // short-term loudness differently, and ffmpeg's last value leaves the
  // last blocks out.
  EXPECT_NEAR(Number(rows[0].at("loudness_range_lu")), theirs["LRA"], 1.0);
  for (int c = 0; c < 2; ++c)
    EXPECT_NEAR(Number(rows[size_t(c)].at("true_peak_dbtp")),
                20 * std::log10(theirs[QStringLiteral("true_peaks_ch%1").arg(c)]), 0.1)
        << "channel " << c + 1;
}

// The sound level meter's figures and the bands on signals of known
// levels: a 1 kHz and a 100 Hz tone at -6.02 dBFS, A-weighted, in dBFS and
// calibrated with a microphone's correction; pink sound flat in third
// octaves; a correction file that cannot be read stops the run.
TEST_F(AnalyseTool, LevelsAndBandsOfKnownSignals) {
  const double tone = 20 * std::log10(0.5);
  const QString tones = Write("tones.wav", 48000, 2, 4, [](long i, int c) {
    return 0.5 * std::sin(kTwoPi * (c == 0 ? 1000 : 100) * double(i) / 48000);
  });
  auto bands = [&](const QString& name) {
    std::map<QString, QString> levels;  // band_hz to level_db, and the "# " lines by name
    QFile f(Dir("out") + "/" + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
      const qsizetype at = line.indexOf(line.startsWith("# ") ? ": " : ",");
      levels[line.left(at)] = line.mid(at + (line.startsWith("# ") ? 2 : 1));
    }
    return levels;
  };

  Outcome r = Analyse({tones, "--weighting", "A", "--bands", "3", "--csv", Dir("out")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  auto rows = Summary(Dir("out"));
  ASSERT_EQ(rows.size(), 2u);
  const double a100 = dsp::weightingDb(dsp::Weighting::A, 100);  // -19.1 dB
  // L from Fast once settled: a steady tone's level, with the ripple of 2f
  // in it (0.003 dB at 1 kHz, 0.03 dB at 100 Hz), L10 to L90 to the 0.01 dB
  // of their distribution; the figures to two decimals.
  for (const auto& [column, ch1, ch2, within1, within2] : {
           std::tuple{"laeq_db", tone, tone + a100, 0.006, 0.02},
           std::tuple{"lafmin_db", tone, tone + a100, 0.01, 0.04},
           std::tuple{"lafmax_db", tone, tone + a100, 0.01, 0.04},
           std::tuple{"laf50_db", tone, tone + a100, 0.015, 0.04},
       }) {
    EXPECT_NEAR(Number(rows[0].at(column)), ch1, within1) << column;
    EXPECT_NEAR(Number(rows[1].at(column)), ch2, within2) << column;
  }
  EXPECT_EQ(rows[0].at("level_unit"), "dBFS");
  EXPECT_EQ(rows[0].at("calibrated"), "no");
  std::map<QString, QString> b = bands("tones-ch1-bands.csv");
  EXPECT_EQ(b["# weighting"], "A");
  EXPECT_EQ(b["# bands_per_octave"], "3");
  EXPECT_EQ(b["# calibrated"], "no");
  EXPECT_EQ(b["band_hz"], "level_db");
  EXPECT_NEAR(Number(b["1000.00"]), tone, 0.1);
  EXPECT_NEAR(Number(bands("tones-ch2-bands.csv")["100.00"]), tone + a100, 0.1);

  // Calibrated: every figure takes the offset, the bands the microphone's
  // response too (1 dB at 1 kHz, read between its points), which the
  // broadband figures do not take.
  QFile mic(Dir("mic.txt"));
  ASSERT_TRUE(mic.open(QIODevice::WriteOnly));
  mic.write(
      "\"Sens Factor =-1.5dB, SERNO: 7000001\"\n* a comment\nfrequency level phase\n"
      "100 0.0 0\n10000 2.0 -5\n");
  mic.close();
  r = Analyse({tones, "--channel", "1", "--bands", "1", "--offset", "100", "--calibration", mic.fileName(), "--csv",
               Dir("out")});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  rows = Summary(Dir("out"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NEAR(Number(rows[0].at("laeq_db")), tone + 100, 0.01) << "A unless chosen";
  EXPECT_EQ(rows[0].at("level_unit"), "dB SPL");
  EXPECT_EQ(rows[0].at("calibrated"), "offset 100.00 dB; microphone mic.txt");
  b = bands("tones-ch1-bands.csv");
  EXPECT_EQ(b["# weighting"], "Z") << "Z unless chosen";
  EXPECT_EQ(b["# calibrated"], "offset 100.00 dB; microphone mic.txt");
  EXPECT_NEAR(Number(b["1000.00"]), tone + 100 - 1, 0.1);

  // Pink sound, four periods of 1 s at 44.1 kHz: its third octaves from
  // 50 Hz to 16 kHz read the power each holds within 0.5 dB (an abrupt
  // start and end included). Without --csv the bands follow the table.
  double perNeper = 0;
  const std::vector<float> period = dsp::test::pinkPeriod(44100, 1, 5, 0.45 * 44100, perNeper);
  const QString pink = Write("pink.wav", 44100, 1, 4, [&](long i, int) { return period[size_t(i % 44100)]; });
  r = Analyse({pink, "--bands", "3"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const double expected = 10 * std::log10(perNeper * std::log(std::pow(10.0, 0.3)) / 3) + 3.0103;
  int flat = 0;
  for (const QString& line : r.out) {
    const QStringList f = line.split(' ', Qt::SkipEmptyParts);
    if (f.size() != 5 || f[0] != pink || f[2] != "Z") continue;
    const double hz = Number(f[3]);
    if (hz < 49 || hz > 16500) continue;
    EXPECT_NEAR(Number(f[4]), expected, 0.5) << hz << " Hz";
    ++flat;
  }
  EXPECT_EQ(flat, 26) << "the third octaves 50 Hz to 16 kHz";

  // A correction file that cannot be read: exit 2 with the reason, and
  // nothing analysed or written.
  QFile wrong(Dir("wrong.txt"));
  ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
  wrong.write("100 0\n50 1\n");
  wrong.close();
  for (const auto& [file, why] :
       {std::pair{wrong.fileName(), QStringLiteral("line 2: the frequency 50 Hz does not rise")},
        std::pair{Dir("missing.txt"), QStringLiteral("No such file")}}) {
    r = Analyse({tones, "--calibration", file, "--csv", Dir("refused")});
    EXPECT_EQ(r.code, 2) << file.toStdString();
    EXPECT_TRUE(r.err.startsWith("quorvel-analyse: " + file + ": ") && r.err.contains(why)) << r.err.toStdString();
    EXPECT_FALSE(QDir(Dir("refused")).exists());
  }
}

}  // namespace
