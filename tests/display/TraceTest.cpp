// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The trace scope as an instrument: where the trigger puts a sweep, what the
// trigger modes hold, what a clipped sine reads, what is copied and
// saved, and how a long screen and the controls look and behave.
#include "Pixels.h"
#include "display/PointRing.h"
#include "display/trace/TraceCursors.h"
#include "display/trace/TraceExport.h"
#include "display/trace/TraceModel.h"
#include "display/ui/ScopeWindow.h"
#include "display/ui/TraceView.h"
#include "dsp/TraceMeasurements.h"
#include "tests/dsp/Sample16.h"
#include "tests/support/Wait.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

using namespace quorvel::display;
using namespace quorvel::display::test;
using dsp::test::sample16;

namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 2 * std::numbers::pi;

// Feeds n points of f(i) to the model; the trigger instants of the sweeps
// it showed meanwhile, each once.
template <class F>
std::vector<double> sweepsWhileFeeding(TraceModel& m, long n, F f) {
  std::vector<double> instants;
  for (long i = 0; i < n; ++i) {
    m.add(f(i), false);
    if (const auto s = m.sweep(); s && s->trigger && (instants.empty() || *s->trigger != instants.back()))
      instants.push_back(*s->trigger);
  }
  return instants;
}

TraceSettings with(const TraceModel& m, TriggerMode mode, Slope slope = Slope::Rising, double level = 0) {
  TraceSettings s = m.settings();
  s.mode = mode;
  s.slope = slope;
  s.level = level;
  return s;
}

}  // namespace

TEST(TraceTrigger, SweepsStartAtTheInterpolatedCrossingOnANoisySineAndASquare) {
  {
    const TraceModel fresh(kRate, 2048);
    EXPECT_EQ(fresh.settings().mode, TriggerMode::Auto) << "a new scope triggers by itself";
    EXPECT_EQ(fresh.settings().slope, Slope::Rising);
    EXPECT_EQ(fresh.settings().level, 0);
  }
  // 1 kHz at -6 dBFS with noise at -60 dBFS: each crossing found within a
  // tenth of a point of the sine's own, so every sweep is drawn in place.
  const double peak = 0.5, phase = 0.3, w = kTwoPi * 1000 / kRate;
  for (Slope slope : {Slope::Rising, Slope::Falling})
    for (double level : {0.0, 0.3}) {
      TraceModel m(kRate, 2048);
      m.setSettings(with(m, TriggerMode::Normal, slope, level));
      std::mt19937 rng(7);
      std::normal_distribution<double> noise(0, 0.001);
      const auto instants =
          sweepsWhileFeeding(m, kRate, [&](long i) { return peak * std::sin(w * double(i) + phase) + noise(rng); });
      ASSERT_GE(instants.size(), 30u);
      const double crossing =
          slope == Slope::Rising ? std::asin(level / peak) : std::numbers::pi - std::asin(level / peak);
      for (double t : instants) {
        const double off = w * t + phase - crossing;
        EXPECT_NEAR(off - kTwoPi * std::round(off / kTwoPi), 0, 0.1 * w)
            << "at " << t << (slope == Slope::Rising ? " rising" : " falling") << " level " << level;
      }
    }
  // A square wave of +-0.5, high for 32 points, then low for 32: the level
  // 0.1 lies 0.6 of the way up a rising edge and 0.4 of the way down a falling one.
  for (Slope slope : {Slope::Rising, Slope::Falling}) {
    TraceModel m(kRate, 2048);
    m.setSettings(with(m, TriggerMode::Normal, slope, 0.1));
    const auto instants = sweepsWhileFeeding(m, 20000, [](long i) { return (i / 32) % 2 ? -0.5 : 0.5; });
    ASSERT_GE(instants.size(), 5u);
    const double edge = slope == Slope::Rising ? -1 + 0.6 : 31 + 0.4;
    for (double t : instants) EXPECT_NEAR(std::remainder(t - edge, 64), 0, 1e-9) << "at " << t;
  }
}

TEST(TraceTrigger, SingleHoldsAutoRollsWithoutATriggerNormalWaits) {
  auto sine = [](long i) { return 0.5 * std::sin(kTwoPi * double(i) / 100); };
  TraceModel m(kRate, 2048);
  m.setSettings(with(m, TriggerMode::Single));
  EXPECT_EQ(m.state(), TraceModel::State::Armed);
  long i = 0;
  while (m.state() != TraceModel::State::Held && i < 10000) m.add(sine(i++), false);
  ASSERT_EQ(m.state(), TraceModel::State::Held);
  const Sweep held = *m.sweep();
  const QString heldText = traceText(m);
  const int64_t end = m.history().end();
  // Held for longer than the history lasts: the sweep stays as it was, while
  // the history goes on taking points.
  for (long k = 0; k < 61 * kRate; ++k) m.add(-0.9, false);
  EXPECT_EQ(m.state(), TraceModel::State::Held);
  EXPECT_EQ(m.history().end(), end + 61 * kRate);
  EXPECT_EQ(traceText(m), heldText);

  m.rearm();
  EXPECT_EQ(m.state(), TraceModel::State::Armed);
  for (int k = 0; k < 5000 && m.state() != TraceModel::State::Held; ++k) m.add(sine(i++), false);
  EXPECT_EQ(m.state(), TraceModel::State::Held);
  EXPECT_GT(*m.sweep()->trigger, *held.trigger);

  // A level the signal never crosses: Auto rolls the latest points, Normal waits.
  TraceModel flat(kRate, 2048);
  for (int k = 0; k < 20000; ++k) flat.add(0.2, false);
  EXPECT_EQ(flat.state(), TraceModel::State::FreeRunning);
  ASSERT_TRUE(flat.sweep());
  EXPECT_FALSE(flat.sweep()->trigger);
  EXPECT_EQ(flat.sweep()->endPoint(), flat.history().end());
  flat.setSettings(with(flat, TriggerMode::Normal));
  EXPECT_EQ(flat.state(), TraceModel::State::Waiting);
  EXPECT_FALSE(flat.sweep());

  // A slow wave on a long screen: Auto waits as long as a screen for the
  // next crossing, and keeps triggering on a 1 Hz sine shown 5 s at a time.
  TraceModel slow(kRate, 2048);
  TraceSettings five = slow.settings();
  five.spanMs = 5000;
  slow.setSettings(five);
  long rolling = 0, after = 0;
  for (long k = 0; k < 20 * kRate; ++k) {
    slow.add(0.5 * std::sin(kTwoPi * double(k) / kRate), false);
    if (k > 6 * kRate) ++after, rolling += slow.state() == TraceModel::State::FreeRunning;
  }
  EXPECT_EQ(rolling, 0) << "of " << after << " points, free-running";

  // Stopped (frozen), a model shows what it showed, and takes every point.
  flat.setSettings(with(flat, TriggerMode::Auto));
  const QString still = traceText(flat);
  flat.setStopped(true);
  for (int k = 0; k < 5000; ++k) flat.add(0.5 * std::sin(k / 9.0), false);
  EXPECT_EQ(flat.history().end(), 25000);
  EXPECT_EQ(traceText(flat), still);
  flat.setStopped(false);
  EXPECT_NE(traceText(flat), still);
}

namespace {

// The values a sweep's copy holds, in order.
std::vector<double> copiedValues(const TraceModel& m) {
  std::vector<double> v;
  const QStringList lines = traceText(m).split('\n', Qt::SkipEmptyParts);
  for (const QString& l : lines)
    if (!l.startsWith('#') && !l.startsWith(QStringLiteral("time"))) v.push_back(l.section(',', 1).toDouble());
  return v;
}

// Every three neighbouring points of a sine of w radians per point keep
// x[n-1] + x[n+1] = 2 cos(w) x[n], to the rounding of the 16-bit samples and
// of the copied text: a splice, a jump from one stretch of the sine to
// another, breaks it. The largest departure over the copy.
double largestSplice(const std::vector<double>& v, double w) {
  double worst = 0;
  for (size_t k = 1; k + 1 < v.size(); ++k)
    worst = std::max(worst, std::fabs(v[k - 1] + v[k + 1] - 2 * std::cos(w) * v[k]));
  return worst;
}

}  // namespace

TEST(TraceTrigger, EverySweepIsOneUnbrokenStretchWhateverInterruptsIt) {
  // A tone between bins of everything: 437.3 Hz at -8 dBFS, with a phase.
  const double hz = 437.3, w = kTwoPi * hz / kRate;
  auto tone = [&](long n) { return std::round(0.4 * 32768 * std::sin(w * double(n) + 0.7)) / 32768; };
  constexpr double kWhole = 1e-4;  // the rounding's bound is 8e-5
  struct Case {
    TriggerMode mode;
    const char* name;
  };
  for (const Case c :
       {Case{TriggerMode::Single, "Single"}, Case{TriggerMode::Normal, "Normal"}, Case{TriggerMode::Auto, "Auto"}}) {
    TraceModel m(kRate, 2048);
    m.setSettings(with(m, c.mode));
    long n = 0;  // the next sample of the tone
    std::optional<double> seen;
    int sweeps = 0;
    for (int round = 0; round < 12; ++round) {
      // Until a sweep not seen before shows (Single: until it holds one).
      for (long k = 0; k < kRate; ++k) {
        const auto s = m.sweep();
        if (s && s->trigger && s->trigger != seen &&
            (c.mode != TriggerMode::Single || m.state() == TraceModel::State::Held))
          break;
        m.add(tone(n++), false);
      }
      const auto s = m.sweep();
      ASSERT_TRUE(s && s->trigger) << c.name << " round " << round;
      seen = s->trigger;
      const std::vector<double> copied = copiedValues(m);
      ASSERT_GE(copied.size(), 2000u) << c.name << " round " << round;
      EXPECT_LT(largestSplice(copied, w), kWhole) << c.name << " round " << round;
      ++sweeps;
      // What a user does meanwhile, while the program keeps sending: look
      // at a held sweep, or freeze the view, for a while; now and then
      // points are lost on the way.
      const long meanwhile = 3000 + 311 * round;
      if (c.mode != TriggerMode::Single) m.setStopped(true);
      for (long k = 0; k < meanwhile; ++k) m.add(tone(n++), false);
      if (round % 3 == 2) {
        n += 500;  // lost
        m.add(tone(n++), true);
      }
      if (c.mode == TriggerMode::Single)
        m.rearm();
      else
        m.setStopped(false);
    }
    EXPECT_EQ(sweeps, 12) << c.name;
  }
}

// A tone far smaller than the screen still triggers at a level it crosses;
// at a level it never reaches, the model says so and offers one half-way.
TEST(TraceTrigger, ASmallToneTriggersAndAnUnreachableLevelIsToldApart) {
  const double peak = std::pow(10, -66 / 20.0);  // -66 dBFS
  auto tone = [&](long i) { return sample16(peak, 997, i); };
  TraceModel m(kRate, 2048);
  m.setSettings(with(m, TriggerMode::Normal));
  EXPECT_GE(sweepsWhileFeeding(m, kRate / 2, tone).size(), 5u) << "level 0 at x1";
  EXPECT_EQ(m.levelInReach(), true);

  m.setSettings(with(m, TriggerMode::Normal, Slope::Rising, 0.01));
  const long fed = kRate / 2;
  // (Normal keeps showing the last sweep taken before.)
  for (double t : sweepsWhileFeeding(m, kRate / 2, [&](long i) { return tone(fed + i); })) EXPECT_LT(t, fed);
  EXPECT_EQ(m.levelInReach(), false);
  ASSERT_TRUE(m.autoLevel());
  EXPECT_NEAR(*m.autoLevel(), 0, 2.0 / 32768) << "half-way between the smallest and the largest point";
  m.setSettings(with(m, TriggerMode::Normal, Slope::Rising, *m.autoLevel()));
  const auto after = sweepsWhileFeeding(m, kRate / 2, [&](long i) { return tone(2 * fed + i); });
  ASSERT_FALSE(after.empty());
  EXPECT_GT(after.back(), 2 * fed);
}

// Where the trigger instant sits on the screen, how long after a sweep no
// trigger is taken, and no trigger at all when the trigger is off: a 1 kHz
// sine crosses the level every 44.1 points.
TEST(TraceTrigger, PositionHoldOffAndOff) {
  auto sine = [](long i) { return 0.5 * std::sin(kTwoPi * 1000 * double(i) / kRate); };
  const double period = kRate / 1000.0;
  for (double position : {0.0, 0.25, 1.0})
    for (double holdOffMs : {0.0, 5.0, 20.0}) {
      TraceModel m(kRate, 2048);
      TraceSettings s = with(m, TriggerMode::Normal);
      s.spanMs = 10;
      s.position = position;
      s.holdOffMs = holdOffMs;
      m.setSettings(s);
      const auto instants = sweepsWhileFeeding(m, kRate / 2, sine);
      ASSERT_GE(instants.size(), 5u) << position << " " << holdOffMs;
      const Sweep last = *m.sweep();
      EXPECT_NEAR(*last.trigger - last.start, position * last.length, 1e-9) << position;
      // The next sweep waits for the one before to fill the screen after
      // its trigger, then for the hold-off, then takes the next crossing.
      const double wait = (1 - position) * last.length + holdOffMs * kRate / 1000;
      for (std::size_t k = 1; k < instants.size(); ++k) {
        EXPECT_GE(instants[k] - instants[k - 1], wait - 1e-9) << position << " " << holdOffMs;
        EXPECT_LE(instants[k] - instants[k - 1], wait + period + 1) << position << " " << holdOffMs;
      }
    }
  TraceModel off(kRate, 2048);
  off.setSettings(with(off, TriggerMode::Off));
  sweepsWhileFeeding(off, kRate / 2, sine);
  EXPECT_EQ(off.state(), TraceModel::State::Rolling);
  ASSERT_TRUE(off.sweep());
  EXPECT_FALSE(off.sweep()->trigger);
  EXPECT_EQ(off.sweep()->endPoint(), off.history().end()) << "the latest points, as they come";
}

// Cursors ten periods of a 1 kHz sine apart read the sine at each, the time
// between, and the RMS and peak-to-peak of the points between; a cursor
// alone reads only its value, and one off the history reads nothing.
TEST(TraceCursors, ReadTheTraceAtEachCursorAndBetweenThem) {
  dsp::TraceHistory h(4096);
  auto x = [](long i) { return float(0.5 * std::sin(kTwoPi * 1000 * double(i) / kRate)); };
  for (long i = 0; i < 4096; ++i) h.add(x(i));
  const Sweep screen{100.5, 441, std::nullopt};  // 10 ms from point 100.5 on
  // The trace at point p, as drawn: straight between the points either side.
  auto at = [&](double ms) {
    const double p = 100.5 + ms * kRate / 1000;
    const long i = long(std::floor(p));
    return x(i) + (x(i + 1) - x(i)) * (p - double(i));
  };
  const CursorReadings both = readCursors(h, screen, kRate, 0.0, 10.0);
  ASSERT_TRUE(both.a && both.b && both.dtMs && both.rms && both.peakToPeak);
  EXPECT_NEAR(*both.a, at(0), 1e-6);
  EXPECT_NEAR(*both.b, at(10), 1e-6);
  EXPECT_DOUBLE_EQ(*both.dtMs, 10);
  EXPECT_NEAR(*both.rms, 0.5 / std::sqrt(2.0), 0.005);
  EXPECT_NEAR(*both.peakToPeak, 1.0, 0.005);
  EXPECT_DOUBLE_EQ(*readCursors(h, screen, kRate, 10.0, 0.0).dtMs, -10) << "from A to B";
  const CursorReadings one = readCursors(h, screen, kRate, 2.5, std::nullopt);
  ASSERT_TRUE(one.a);
  EXPECT_NEAR(*one.a, at(2.5), 1e-6);
  EXPECT_FALSE(one.b || one.dtMs || one.rms || one.peakToPeak);
  EXPECT_FALSE(readCursors(h, screen, kRate, 100.0, std::nullopt).a) << "past the newest point";
}

TEST(TraceMeasurement, AClippedSineReadsFullScaleAndLightsTheIndicator) {
  // A sine driven 3.5 dB beyond full scale: flat tops at the 16-bit limits.
  TraceModel m(kRate, 2048);
  for (long i = 0; i < kRate / 2; ++i) m.add(sample16(1.5, 1000, i), false);
  const Sweep s = *m.sweep();
  const dsp::TraceMeasurements clipped = dsp::measure(m.history(), s.firstPoint(), s.endPoint());
  EXPECT_NEAR(dsp::dbfs(clipped.peak), 0, 0.01);
  EXPECT_NEAR(clipped.peakToPeak(), 2, 1e-3);
  ASSERT_TRUE(clipped.frequencyHz(kRate));
  EXPECT_NEAR(*clipped.frequencyHz(kRate), 1000, 0.1);
  EXPECT_TRUE(m.clipped());
  // The indicator looks at the last second only, and at either limit.
  for (long i = 0; i <= kRate; ++i) m.add(sample16(0.5, 1000, i), false);
  EXPECT_FALSE(m.clipped());
  m.add(-32767.0 / 32768, false);
  EXPECT_TRUE(m.clipped());
}

TEST(TraceExport, CopiedTextParsesAndMatchesTheScreen) {
  TraceModel m(kRate, 2048);
  for (long i = 0; i < kRate; ++i) m.add(sample16(0.5, 1000, i), false);
  // A locale with a decimal comma and grouping must not leak into the text.
  const QLocale userLocale;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const QString text = traceText(m);
  QLocale::setDefault(userLocale);

  const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
  constexpr int kHeader = 9;
  ASSERT_GT(lines.size(), kHeader);
  EXPECT_EQ(lines[0], QStringLiteral("# dbfs: ") + dsp::kDbfsConvention);
  const QStringList names{"frequency_hz", "period_ms", "peak_dbfs", "rms_dbfs", "peak_to_peak", "dc", "clipped"};
  const QRegularExpression number(QStringLiteral("^-?[0-9]+\\.[0-9]+$"));
  std::vector<double> values;
  for (int i = 0; i < names.size(); ++i) {
    ASSERT_TRUE(lines[1 + i].startsWith("# " + names[i] + ": ")) << lines[1 + i].toStdString();
    const QString value = lines[1 + i].section(": ", 1);
    if (names[i] != "clipped") {
      EXPECT_TRUE(number.match(value).hasMatch()) << lines[1 + i].toStdString();
      values.push_back(value.toDouble());
    }
  }
  EXPECT_NEAR(values[0], 1000, 0.1);
  EXPECT_NEAR(values[1], 1, 1e-4);
  EXPECT_EQ(lines[3], "# peak_dbfs: -6.02");
  EXPECT_EQ(lines[4], "# rms_dbfs: -6.02") << "a sine's RMS reads as its peak";
  EXPECT_NEAR(values[4], 1, 1e-3);
  EXPECT_NEAR(values[5], 0, 1e-4);
  EXPECT_EQ(lines[7], "# clipped: no");
  EXPECT_EQ(lines[8], "time_ms,value");

  // One row per point on screen, timed from the screen's left edge, the
  // point exactly as it came: n / 32768 for a 16-bit sample n.
  const Sweep s = *m.sweep();
  ASSERT_EQ(lines.size() - kHeader, s.endPoint() - s.firstPoint());
  for (int r = 0; r < lines.size() - kHeader; ++r) {
    const QStringList cells = lines[kHeader + r].split(',');
    ASSERT_EQ(cells.size(), 2) << lines[kHeader + r].toStdString();
    const int64_t point = s.firstPoint() + r;
    EXPECT_NEAR(cells[0].toDouble(), s.timeMs(double(point), kRate), 5e-6);
    EXPECT_EQ(cells[1].toDouble() * 32768, double(m.history().at(point)) * 32768) << cells[1].toStdString();
  }
  EXPECT_GE(lines[kHeader].section(',', 0, 0).toDouble(), 0);

  // Silence: no level to write but "none"; a part of a cycle: no RMS or DC.
  for (auto [f, peak, rms, dc] : {std::tuple{+[](long) { return 0.0; }, "none", "none", "0.000000"},
                                  std::tuple{+[](long i) { return sample16(0.5, 20, i); }, "-6.02", "none", "none"}}) {
    TraceModel quiet(kRate, 2048);
    for (long i = 0; i < kRate; ++i) quiet.add(f(i), false);
    const QStringList q = traceText(quiet).split('\n');
    EXPECT_EQ(q[3], QStringLiteral("# peak_dbfs: ") + peak);
    EXPECT_EQ(q[4], QStringLiteral("# rms_dbfs: ") + rms);
    EXPECT_EQ(q[6], QStringLiteral("# dc: ") + dc);
    EXPECT_TRUE(q[1] == "# frequency_hz: none" && q[2] == "# period_ms: none") << q[1].toStdString();
  }
  EXPECT_GE(lines[8].section(',', 0, 0).toDouble(), 0);
}

TEST(TraceExport, SavedSoundReadsBackSampleExact) {
  // Every 16-bit value the program can send, the extremes last; the history
  // holds only the newest 3000.
  dsp::TraceHistory h(3000);
  std::vector<short> sent;
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> any(-32768, 32767);
  for (int i = 0; i < 5000; ++i) sent.push_back(short(i == 4998 ? -32768 : i == 4999 ? 32767 : any(rng)));
  for (short n : sent) h.add(float(n / 32768.0));

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("last minute.wav");
  QString error;
  // Breaks in the input become cue points; one the history no longer holds does not.
  ASSERT_TRUE(writeWav(path, h, {1000, 2500, 4000}, 22050, error)) << error.toStdString();
  SF_INFO info{};
  SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
  ASSERT_TRUE(f);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.samplerate, 22050);
  ASSERT_EQ(info.frames, 3000);
  std::vector<short> back(3000);
  EXPECT_EQ(sf_read_short(f, back.data(), 3000), 3000);
  SF_CUES cues{};
  ASSERT_EQ(sf_command(f, SFC_GET_CUE, &cues, sizeof cues), SF_TRUE);
  ASSERT_EQ(cues.cue_count, 2u);
  EXPECT_EQ(cues.cue_points[0].sample_offset, 500u);
  EXPECT_EQ(cues.cue_points[1].sample_offset, 2000u);
  sf_close(f);
  EXPECT_EQ(back, std::vector<short>(sent.end() - 3000, sent.end()));

  const QString nowhere = dir.filePath("no/such/folder/x.wav");
  EXPECT_FALSE(writeWav(nowhere, h, {}, 22050, error));
  EXPECT_TRUE(error.contains(nowhere)) << error.toStdString();
}

TEST(TracePicture, ATwoSecondScreenOfAToneIsASolidBand) {
  TraceView v(ScopeConfig{});
  TraceSettings s = v.settings();
  s.spanMs = 2000;
  v.setSettings(s);
  for (long i = 0; i < 3 * kRate; ++i) v.consume({{sample16(0.5, 1000, i), 0, 0}}, false);
  ASSERT_TRUE(v.model().sweep() && v.model().sweep()->trigger);
  const QSize size(1200, 400);
  const QImage img = v.render(size);
  const QRectF plot = TraceView::plotArea(size);
  // Every column holds about 1.8 cycles: each must reach both peaks.
  for (int x = int(plot.left()) + 2; x < int(plot.right()) - 2; ++x) {
    const auto e = extentOf(img, QRect(x, int(plot.top()), 1, int(plot.height())), isTrace);
    ASSERT_TRUE(e) << "column " << x << " is empty";
    ASSERT_LE(e->top, amplitudeToY(0.5, plot) + 2) << "column " << x;
    ASSERT_GE(e->bottom, amplitudeToY(-0.5, plot) - 2) << "column " << x;
  }
}

TEST(TraceControls, KeysMouseAndTheStoppedInput) {
  PointRing ring(1 << 16);
  ScopeWindow w(ScopeConfig{}, ring, 0);
  w.resize(900, 400);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  TraceView& v = w.traceView();
  // Every action in a labelled menu; folded into one in a narrow window.
  auto labels = [&] {
    QStringList l;
    for (QAction* a : w.findChild<QToolBar*>()->actions()) l << a->text();
    return l;
  };
  EXPECT_EQ(labels(), (QStringList{"Freeze", "Trigger", "Timebase", "Zoom", "Cursors", "Save"}));
  w.resize(330, 400);
  ASSERT_EQ(labels(), QStringList{"Menu"});
  EXPECT_EQ(w.findChild<QToolBar*>()->actions()[0]->menu()->actions().size(), 6);
  w.resize(900, 400);
  EXPECT_EQ(labels().size(), 6);
  // The settings beside the title, in a picture wide enough for all of them.
  auto aboutWidth = [&] {
    v.render(QSize(1600, 400));
    for (const TextBox& b : v.textBoxes())
      if (b.what == "about") return b.rect.width();
    return 0.0;
  };
  const double aboutBefore = aboutWidth();
  // Keys reach actions inside the toolbar's menus.
  QTest::keyClick(&w, Qt::Key_Right);
  QTest::keyClick(&w, Qt::Key_Plus);
  QTest::keyClick(&w, Qt::Key_Up);
  QTest::keyClick(&w, Qt::Key_N);
  QTest::keyClick(&w, Qt::Key_E);
  QTest::keyClick(&w, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&w, Qt::Key_H);
  const TraceSettings s = v.settings();
  EXPECT_EQ(s.spanMs, 50);
  EXPECT_EQ(s.zoom, 2);
  EXPECT_NEAR(s.level, 0.01, 1e-12) << "a hundredth of the screen's height";
  EXPECT_EQ(s.mode, TriggerMode::Normal);
  EXPECT_EQ(s.slope, Slope::Falling);
  EXPECT_NEAR(s.position, 0.6, 1e-12);
  EXPECT_EQ(s.holdOffMs, 1);
  EXPECT_GT(aboutWidth(), aboutBefore) << "the settings line tells the new mode and the hold-off";
  QTest::keyClick(&w, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_NEAR(v.settings().level, 0.011, 1e-12) << "a thousandth of the screen's height";
  QTest::keyClick(&w, Qt::Key_Home);
  EXPECT_NEAR(v.settings().spanMs, 2048 * 1000.0 / 44100, 1e-9) << "the default view again";
  EXPECT_EQ(v.settings().zoom, 1);
  EXPECT_EQ(v.settings().position, 0.5);
  TraceSettings back = v.settings();
  back.spanMs = 50;
  back.zoom = 2;
  v.setSettings(back);

  // A press on the amplitude axis sets the level; clicks in the plot place A, then B.
  const QRectF plot = TraceView::plotArea(v.size());
  const AmplitudeAxis axis{2};
  QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(20, int(std::lround(axis.toY(0.25, plot)))));
  EXPECT_NEAR(v.settings().level, 0.25, 2 / 2.0 / plot.height());
  for (double ms : {10.0, 30.0})
    QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(int(std::lround(timeToX(ms, 50, plot))), int(plot.center().y())));
  ASSERT_TRUE(v.timeCursor(0) && v.timeCursor(1));
  EXPECT_NEAR(*v.timeCursor(0), 10, 50 / plot.width());
  EXPECT_NEAR(*v.timeCursor(1), 30, 50 / plot.width());

  // Points, then nothing for over a second: the trace says so, and says
  // "stopped" once the sender says it has finished.
  for (int i = 0; i < 4096; ++i) ring.push({{0.5 * std::sin(i / 7.0), 0, 0}});
  QElapsedTimer quiet;
  quiet.start();
  w.drain();
  EXPECT_EQ(v.input(), PlotView::Input::Coming);
  EXPECT_TRUE(quorvel_test::PumpUntil([&] {
    w.drain();
    return v.input() == PlotView::Input::Stalled;
  }));
  EXPECT_GE(quiet.elapsed(), PlotView::kStallMs) << "no stall before its time without points";
  w.updateNow();
  EXPECT_EQ(v.input(), PlotView::Input::Stopped) << "QuickUpDate said the stream ended";
  EXPECT_TRUE(v.model().breaks().empty());
  // Points after the pause do not follow the ones before it.
  for (int i = 0; i < 4096; ++i) ring.push({{0.5 * std::sin(i / 5.0), 0, 0}});
  w.drain();
  EXPECT_EQ(v.model().breaks(), std::vector<int64_t>{4096});
}
