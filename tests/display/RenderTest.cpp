// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a scope draws: trace scaling, where a spectrum's peak lands on both
// frequency axes, frames put together from points, and the header skipped.
#include "Pixels.h"
#include "display/spectrum/FrameAssembler.h"
#include "display/spectrum/Markers.h"
#include "display/ui/PlotAxes.h"
#include "display/ui/PlotLines.h"
#include "display/spectrum/SpectrumModel.h"
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace quorvel::display;
using namespace quorvel::display::test;

namespace {

const QSize kSize(1200, 400);

QRect inner(const QRectF& plot) { return plot.toAlignedRect().adjusted(1, 1, -1, -1); }

// To a view or a model: anything that consumes points.
template <class Sink>
void send(Sink& m, double v0, double v1 = 0) {
  m.consume({{v0, v1, 0}}, false);
}

// A whole frame: marker, header, then `bins` levels from levelOf, each bin's
// amplitude (value 1) that level too.
template <class Sink, class F>
void sendFrame(Sink& m, int bins, F levelOf, double headerValue = 0.0) {
  send(m, ScopeFrameMarker);
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i) send(m, headerValue);
  for (int k = 0; k < bins; ++k) send(m, levelOf(k), std::pow(10, levelOf(k) / 20) * 100 - 100);
}

QImage draw(PlotView& v) { return v.render(kSize); }

}  // namespace

TEST(TraceScaling, SineSpansTheHeightItsAmplitudeGives) {
  const QRectF plot = TraceView::plotArea(kSize);
  for (double amplitude : {1.0, 0.5}) {
    TraceView m(ScopeConfig{});
    for (int i = 0; i < 2048; ++i) send(m, amplitude * std::sin(2 * std::numbers::pi * i / 256.0));
    const auto e = extentOf(draw(m), plot.toAlignedRect(), isTrace);
    ASSERT_TRUE(e) << "no trace drawn at amplitude " << amplitude;
    EXPECT_NEAR(e->top, amplitudeToY(amplitude, plot), 2.0) << amplitude;
    EXPECT_NEAR(e->bottom, amplitudeToY(-amplitude, plot), 2.0) << amplitude;
    EXPECT_LE(e->left, plot.left() + 2);
    EXPECT_GE(e->right, plot.right() - 2);
  }
}

TEST(TraceScaling, ValuesBeyondFullScaleStayInsideThePlot) {
  TraceView m(ScopeConfig{});
  for (int i = 0; i < 2048; ++i) send(m, i % 2 ? 1e300 : -INFINITY);
  const QImage img = draw(m);
  const QRectF plot = TraceView::plotArea(kSize);
  EXPECT_FALSE(extentOf(img, QRect(0, 0, kSize.width(), int(plot.top()) - 1), isTrace));
  EXPECT_FALSE(extentOf(img, QRect(0, int(plot.bottom()) + 2, kSize.width(), 30), isTrace));
}

TEST(SpectrumPicture, PeakLandsAtItsBinFrequencyOnBothAxes) {
  const QRectF plot = plotRect(kSize);
  const ScopeConfig config;
  for (bool log : {false, true})
    for (int k : {12, 100, 700, 1020}) {
      SpectrumView m(config);
      m.setLogFrequency(log);
      sendFrame(m, 1024, [k](int b) { return b == k ? -3.0 : -100.0; });
      const auto x = columnOfTopmost(draw(m), inner(plot), isSpectrumLine);
      ASSERT_TRUE(x) << "no spectrum drawn";
      const FrequencyAxis axis{config.nyquistHz(), log};
      EXPECT_NEAR(*x, axis.toX(k * 44100.0 / 2048, plot), 2.0) << "bin " << k << (log ? " log" : " linear");
    }
}

TEST(SpectrumPicture, HeaderPointsAreNotDrawn) {
  // Header points at 0 dB would tower over bins at -90 dB if they were drawn.
  SpectrumView m(ScopeConfig{});
  sendFrame(
      m, 1024, [](int) { return -90.0; }, 0.0);
  ASSERT_EQ(m.model().levels().size(), 1024u);
  EXPECT_EQ(m.model().levels().front(), -90.0);
  const QRectF plot = plotRect(kSize);
  const auto e = extentOf(draw(m), inner(plot), isSpectrumLine);
  ASSERT_TRUE(e);
  EXPECT_NEAR(e->top, m.levelAxis().toY(-90, plot), 2.0);
}

TEST(FrameAssembler, FramesArePublishedWholeAndHolesAreNotDrawn) {
  const ScopePoint marker{{ScopeFrameMarker, 0, 0}}, header{{0, 0, 0}};
  auto bin = [](double db) { return ScopePoint{{db, 0, 0}}; };
  FrameAssembler a(8);
  EXPECT_FALSE(a.add(bin(-1), false)) << "points before the first marker are no bins";
  EXPECT_FALSE(a.seenMarker());
  a.add(marker, false);
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i) EXPECT_FALSE(a.add(header, false));
  for (int k = 0; k < 7; ++k) EXPECT_FALSE(a.add(bin(-k), false));
  EXPECT_TRUE(a.add(bin(-7), false)) << "published with its last bin";
  EXPECT_EQ(a.levels().size(), 8u);
  EXPECT_EQ(a.levels()[7], -7);
  EXPECT_FALSE(a.add(bin(5), false)) << "bins beyond the frame are ignored";
  EXPECT_EQ(a.levels().size(), 8u);

  // Cut short by the sender: shown with the bins it has.
  a.add(marker, false);
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i) a.add(header, false);
  a.add(bin(-50), false);
  a.add(bin(-51), false);
  EXPECT_TRUE(a.add(marker, false));
  EXPECT_EQ(a.levels(), (std::vector<double>{-50, -51}));

  // Points lost inside this frame: it is dropped and the last one stays.
  for (int i = 0; i < ScopeFrameHeaderPoints; ++i) a.add(header, false);
  a.add(bin(-60), false);
  for (int k = 0; k < 7; ++k) EXPECT_FALSE(a.add(bin(-61), k == 0));
  EXPECT_EQ(a.framesDiscarded(), 1u);
  EXPECT_EQ(a.levels(), (std::vector<double>{-50, -51}));
}

TEST(SpectrumModel, PeakHoldAndStrongestBinFollowFramesUntilReset) {
  SpectrumModel m(1024);
  sendFrame(m, 1024, [](int k) { return k == 40 ? -10.0 : -80.0; });
  sendFrame(m, 1024, [](int k) { return k == 300 ? -20.0 : -70.0; });
  EXPECT_EQ(m.frames(), 2u);
  EXPECT_EQ(m.strongest(), 300);
  EXPECT_NEAR(m.peaks()[40], -10.0, 1e-9);
  EXPECT_NEAR(m.peaks()[300], -20.0, 1e-9);
  EXPECT_NEAR(m.peaks()[0], -70.0, 1e-9);
  m.resetPeaks();
  EXPECT_TRUE(std::isinf(m.peaks()[40]));
  EXPECT_EQ(m.strongest(), 300) << "resetting the hold keeps the frame";
}

// Held peaks fall at the rate set in dB per second (a frame lasts 2048
// points at 44100 Hz), until a frame's level is above them again; at 0 they
// stay.
TEST(SpectrumView, HeldPeaksFallAtTheirRateUntilTheFrameMeetsThem) {
  for (double perSecond : {0.0, 6.0, 60.0}) {
    SpectrumView v(ScopeConfig{});
    SpectrumSettings s = v.settings();
    s.holdFallDbPerSecond = perSecond;
    v.setSettings(s);
    const double perFrame = perSecond * 2048 / 44100;
    sendFrame(v, 1024, [](int k) { return k == 40 ? -10.0 : -80.0; });
    for (int frame = 1; frame <= 40; ++frame) {
      sendFrame(v, 1024, [](int) { return -60.0; });
      EXPECT_NEAR(v.model().peaks()[40], std::max(-10.0 - frame * perFrame, -60.0), 1e-9)
          << perSecond << " dB/s, frame " << frame;
    }
  }
}

// A marker lands on the loudest bin within reach of the click, once; a
// fifth pushes out the oldest.
TEST(Markers, LandOnTheNearbyPeakOnceAndTheOldestGoesFirst) {
  std::vector<double> levels(100, -90.0);
  levels[20] = -10;
  levels[50] = -20;
  levels[52] = -15;
  Markers m;
  for (int click : {18, 23, 49, 70, 99, 150, 0}) m.place(click, levels, 3);
  EXPECT_EQ(m.bins(), (std::vector<int>{52, 70, 99, 0})) << "20 twice, 52 near 49, 150 held to 99";
  m.clear();
  EXPECT_TRUE(m.bins().empty());
}

TEST(PlotAxes, PositionsAndReadoutsAreInverse) {
  const QRectF plot = plotRect(kSize);
  for (bool log : {false, true}) {
    const FrequencyAxis axis{22050, log};
    EXPECT_NEAR(axis.toX(22050, plot), plot.right(), 1e-9);
    for (double hz : {25.0, 1000.0, 15000.0}) EXPECT_NEAR(axis.fromX(axis.toX(hz, plot), plot), hz, 1e-6);
  }
  EXPECT_NEAR((FrequencyAxis{22050, false}.toX(0, plot)), plot.left(), 1e-9);
  const LevelAxis level{10, -130};
  EXPECT_NEAR(level.toY(-130, plot), plot.bottom(), 1e-9);
  EXPECT_NEAR(level.fromY(level.toY(-37.5, plot), plot), -37.5, 1e-9);
  EXPECT_NEAR(yToAmplitude(amplitudeToY(0.25, plot), plot), 0.25, 1e-12);
  const auto ticks = level.ticks();
  EXPECT_EQ(std::count_if(ticks.begin(), ticks.end(), [](const Tick& t) { return !t.label.isEmpty(); }), 7)
      << "every 20 dB from -120 to 0";
}

// 19 kHz at 44100 Hz, 2.3 points per cycle, over a 1 ms screen: drawn
// through its points with sin(x)/x, the line is the sine itself between
// them; straight lines between the points miss it by a third of its peak.
TEST(TraceScaling, AFastToneIsReconstructedBetweenItsPoints) {
  const double w = 2 * std::numbers::pi * 19000 / 44100, peak = 0.5;
  dsp::TraceHistory h(4096);
  for (int i = 0; i < 4096; ++i) h.add(float(peak * std::sin(w * i)));
  const QRectF plot = plotRect(kSize);
  const AmplitudeAxis axis{1};
  const Sweep s{2000.3, 44.1, std::nullopt};
  auto worst = [&](bool reconstruct) {
    QPolygonF line;
    traceLine(h, s, axis, plot, line, reconstruct);
    EXPECT_GT(line.size(), 40);
    // Along the line, between its vertices too.
    double err = 0;
    for (int v = 0; v + 1 < line.size(); ++v)
      for (double f = 0; f < 1; f += 0.125) {
        const QPointF pt = line[v] + (line[v + 1] - line[v]) * f;
        if (pt.x() < plot.left() || pt.x() > plot.right()) continue;
        const double t = s.start + (pt.x() - plot.left()) / plot.width() * s.length;
        err = std::max(err, std::fabs(axis.fromY(pt.y(), plot) - peak * std::sin(w * t)));
      }
    return err;
  };
  EXPECT_LT(worst(true), 0.02 * peak);
  EXPECT_GT(worst(false), 0.3 * peak);
}

TEST(PlotAxes, TimeReadsInSecondsFromOneSecondUp) {
  struct Case {
    double spanMs;
    QString unit, lastLabel, at;
  };
  for (const Case& c :
       {Case{500, "ms", "500", "250.0 ms"}, Case{1000, "s", "1", "0.500 s"}, Case{5000, "s", "5", "2.500 s"}}) {
    EXPECT_EQ(timeUnit(c.spanMs), c.unit) << c.spanMs;
    QString last;
    for (const Tick& t : timeTicks(c.spanMs))
      if (!t.label.isEmpty()) last = t.label;
    EXPECT_EQ(last, c.lastLabel) << c.spanMs;
    EXPECT_EQ(timeText(c.spanMs / 2, c.spanMs, 1000), c.at) << c.spanMs;
  }
}

TEST(ScopeConfig, CreateArgumentsSelectDefaultsAndAreLimited) {
  const ScopeConfig d = ScopeConfig::fromCreate(0, 0, nullptr);
  EXPECT_EQ(d.points, 2048);
  EXPECT_EQ(d.rate, 44100);
  EXPECT_EQ(d.title, "Signal");
  EXPECT_EQ(ScopeConfig::fromCreate(0, 0, "").title, "Signal");
  EXPECT_EQ(ScopeConfig::fromCreate(0, 0, "FFT").title, "FFT");
  EXPECT_DOUBLE_EQ(d.binHz(), 44100.0 / 2048);
  EXPECT_EQ(ScopeConfig::fromCreate(-5, 1, nullptr).points, 16);
  EXPECT_EQ(ScopeConfig::fromCreate(1 << 30, 1 << 30, nullptr).rate, 768000);
}
