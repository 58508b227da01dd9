// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The health line: its figures on given times, and a window's line showing
// the points its ring lost, hidden and shown again by its key.
#include "PrivateConfig.h"
#include "display/PointRing.h"
#include "display/ScopeHealth.h"
#include "display/ui/ScopeWindow.h"
#include "display/ui/TraceView.h"
#include "tests/support/Wait.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <vector>

using namespace quorvel::display;

namespace {

constexpr int64_t kMs = 1'000'000;

int64_t steadyNow() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

void expectNear(std::optional<double> got, std::optional<double> want, const char* what) {
  ASSERT_EQ(got.has_value(), want.has_value()) << what;
  if (want) {
    EXPECT_NEAR(*got, *want, 1e-6) << what;
  }
}

bool hasBox(const PlotView& v, const QString& what) {
  const auto& boxes = v.textBoxes();
  return std::any_of(boxes.begin(), boxes.end(), [&](const TextBox& b) { return b.what == what; });
}

}  // namespace

TEST(ScopeHealth, FiguresOverTheLastTwoSecondsOrWithheld) {
  ScopeHealth h;
  h.clear(0);
  // 3 s of blocks every 50 ms and pictures every 20 ms; each block is shown
  // by the picture after it, 10 ms after its arrival, and was captured 25 ms
  // before it arrived, but for every other one, whose capture time is not known.
  for (int64_t t = 0; t < 3000 * kMs; t += 50 * kMs) {
    h.blockArrived(t);
    h.blockShown(t, (t / (50 * kMs)) % 2 ? 0 : t - 25 * kMs, t + 10 * kMs, 40 * kMs);
  }
  for (int64_t t = 0; t < 3000 * kMs; t += 20 * kMs) h.pictureDrawn(t);

  struct Case {
    int64_t now;
    std::optional<double> blocks, pictures, display, toScreen, oldest;
  };
  for (const Case& c : {
           // Before half a second has passed nothing is said.
           Case{400 * kMs, std::nullopt, std::nullopt, 10.0, 35.0, 75.0},
           // Over the time since the start while it is under two seconds.
           Case{1000 * kMs - 1, 20.0, 50.0, 10.0, 35.0, 75.0},
           Case{3000 * kMs - 1, 20.0, 50.0, 10.0, 35.0, 75.0},
           // Nothing in the last two seconds: rates of 0, times withheld.
           Case{6000 * kMs, 0.0, 0.0, std::nullopt, std::nullopt, std::nullopt},
       }) {
    SCOPED_TRACE(c.now);
    expectNear(h.blocksPerSecond(c.now), c.blocks, "blocks/s");
    expectNear(h.picturesPerSecond(c.now), c.pictures, "pictures/s");
    expectNear(h.displayMs(c.now), c.display, "display");
    expectNear(h.toScreenMs(c.now), c.toScreen, "to screen");
    expectNear(h.oldestToScreenMs(c.now), c.oldest, "oldest to screen");
  }

  // A capture time after the arrival is not a figure; the median of the
  // rest stands.
  ScopeHealth odd;
  odd.clear(0);
  odd.blockShown(100 * kMs, 40 * kMs, 120 * kMs, 0);   // 80 ms
  odd.blockShown(200 * kMs, 150 * kMs, 260 * kMs, 0);  // 110 ms
  odd.blockShown(300 * kMs, 310 * kMs, 330 * kMs, 0);  // captured after it arrived
  expectNear(odd.toScreenMs(400 * kMs), 95.0, "to screen");
  expectNear(odd.displayMs(400 * kMs), 30.0, "display");
}

// Blocks at the program's pace, 2048 frames at 44100 Hz: the rate reads the
// same wherever the span's edges fall between two blocks, and a flow that
// stops reads as slowing down, then as 0.
TEST(ScopeHealth, RatesFollowTheSpacingOfTheEvents) {
  const int64_t period = 2048 * 1'000'000'000LL / 44100;
  const double steady = 1e9 / double(period);
  ScopeHealth h;
  h.clear(0);
  int64_t last = 0;
  for (int64_t t = 0; t < 5000 * kMs; t += period) h.blockArrived(last = t);
  for (int64_t now = 3000 * kMs; now < 3000 * kMs + period; now += 3 * kMs) {
    SCOPED_TRACE(now);
    expectNear(h.blocksPerSecond(now), steady, "blocks/s");
  }
  double before = steady;
  for (int64_t after : {60 * kMs, 200 * kMs, 1000 * kMs, 1990 * kMs}) {
    SCOPED_TRACE(after);
    const std::optional<double> rate = h.blocksPerSecond(last + after);
    ASSERT_TRUE(rate.has_value());
    EXPECT_LT(*rate, before);
    before = *rate;
  }
  expectNear(h.blocksPerSecond(last + ScopeHealth::kSpanNs), 0.0, "blocks/s");
}

TEST(ScopeHealth, RingCarriesTheCaptureTimeOfEachBatch) {
  std::atomic<int64_t> captured{111};
  PointRing ring(64, &captured);
  const ScopePoint p{{0.5, 0, 0}};
  ring.push(p);
  captured = 222;
  ring.push(p);  // the same batch: the consumer has not taken the first point
  std::vector<BatchStamp> batches;
  ring.drain([](const QueuedPoint&) {});
  ring.takeBatches([&](const BatchStamp& b) { batches.push_back(b); });
  ring.push(p);  // a new batch
  ring.drain([](const QueuedPoint&) {});
  ring.takeBatches([&](const BatchStamp& b) { batches.push_back(b); });
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].first, 0u);
  EXPECT_EQ(batches[0].capturedNs, 111);
  EXPECT_EQ(batches[1].first, 2u);
  EXPECT_EQ(batches[1].capturedNs, 222);
  EXPECT_LE(batches[0].ns, batches[1].ns);
}

TEST(ScopeHealth, WindowShowsLossesAndHidesAndShowsItsLine) {
  test::PrivateConfig config;  // the window's settings stay out of the user's
  std::atomic<int64_t> captured{0};
  PointRing ring(1024, &captured);
  ScopeWindow w(ScopeConfig::fromCreate(0, 0, "health"), ring, 0);
  w.resize(1280, 500);
  w.show();
  TraceView& v = w.traceView();
  ASSERT_TRUE(w.healthShown()) << "shown at first";

  // Sound captured 30 ms before it reached the scope is on the screen at
  // least 30 ms after its capture.
  captured = steadyNow() - 30 * kMs;
  for (int i = 0; i < 512; ++i) ring.push({{0.1, 0, 0}});
  ASSERT_TRUE(quorvel_test::PumpUntil([&] { return w.health().toScreenMs(steadyNow()).has_value(); }));
  EXPECT_GE(*w.health().toScreenMs(steadyNow()), 30.0);
  EXPECT_GE(*w.health().toScreenMs(steadyNow()), *w.health().displayMs(steadyNow()));
  EXPECT_NEAR(*w.health().oldestToScreenMs(steadyNow()) - *w.health().toScreenMs(steadyNow()), 512e3 / 44100, 1e-6)
      << "the block's 512 points lasted 11.6 ms";

  w.updateNow();
  ASSERT_TRUE(v.health());
  EXPECT_FALSE(v.health()->anyLost);
  EXPECT_EQ(v.health()->lost.toStdString(), "lost 0 points");

  // The GUI thread looks away while 1500 points arrive: 476 are lost.
  for (int i = 0; i < 1500; ++i) ring.push({{0.1, 0, 0}});
  w.updateNow();
  ASSERT_TRUE(v.health());
  EXPECT_TRUE(v.health()->anyLost);
  EXPECT_EQ(v.health()->lost.toStdString(), "lost 476 points");
  EXPECT_TRUE(v.health()->timing.contains(QStringLiteral(" blocks/s"))) << v.health()->timing.toStdString();
  v.render(v.size());
  EXPECT_TRUE(hasBox(v, QStringLiteral("lost")));
  EXPECT_TRUE(hasBox(v, QStringLiteral("health")));

  // Its key hides the line and shows it again; hidden, the losses are
  // still told.
  for (bool shown : {false, true}) {
    QKeyEvent key(QEvent::KeyPress, Qt::Key_I, Qt::NoModifier);
    QApplication::sendEvent(&w, &key);
    EXPECT_EQ(w.healthShown(), shown);
    EXPECT_EQ(v.health().has_value(), shown);
    v.render(v.size());
    EXPECT_EQ(hasBox(v, QStringLiteral("lost")), shown);
    EXPECT_EQ(hasBox(v, QStringLiteral("health")), shown);
    EXPECT_EQ(hasBox(v, QStringLiteral("dropped")), !shown);
  }
}
