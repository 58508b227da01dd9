// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// No text of a scope picture covers another, at 400 x 300, a middle size and
// a large one: both views with everything on (cursors, the pointer's
// read-out, a notice, FROZEN, lost points, markers, harmonics, a clipped
// tone, the deepest zoom), every text inside the picture. The pictures are
// kept for a person to look at.
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"
#include "analysis/FFT_Unit.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>

using namespace quorvel::display;

namespace {

const QSize kSizes[] = {{400, 300}, {640, 420}, {1280, 800}};

void pointAt(PlotView& v, QPointF at) {
  QMouseEvent move(QEvent::MouseMove, at, v.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&v, &move);
}

// Every pair of the picture's texts apart, and each inside the picture.
void expectApart(PlotView& v, QSize size, const std::string& scene) {
  const QImage picture = v.render(size);
  QDir().mkpath(QUORVEL_SCREENSHOT_DIR);
  picture.save(QStringLiteral(QUORVEL_SCREENSHOT_DIR "/layout-%1-%2x%3.png")
                   .arg(QString::fromStdString(scene))
                   .arg(size.width())
                   .arg(size.height()));
  const std::vector<TextBox>& boxes = v.textBoxes();
  ASSERT_GT(boxes.size(), 8u) << scene;
  const QRectF whole(QPointF(0, 0), QSizeF(size));
  for (size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_TRUE(whole.contains(boxes[i].rect)) << scene << " " << size.width() << "x" << size.height() << ": "
                                               << boxes[i].what.toStdString() << " leaves the picture";
    for (size_t j = i + 1; j < boxes.size(); ++j)
      EXPECT_FALSE(boxes[i].rect.intersects(boxes[j].rect))
          << scene << " " << size.width() << "x" << size.height() << ": " << boxes[i].what.toStdString() << " covers "
          << boxes[j].what.toStdString();
  }
}

double tone(double peak, double hz, long n) {
  return std::round(std::clamp(peak * std::sin(2 * std::numbers::pi * hz * double(n) / 44100), -1.0, 32767.0 / 32768) *
                    32768) /
         32768;
}

SpectrumView* fed = nullptr;

void sendFrames(SpectrumView& v, int frames) {
  fed = &v;
  long n = 0;
  for (int f = 0; f < frames; ++f) {
    for (int i = 0; i < 2048; ++i, ++n)
      analysis::StoreSample(i, float(tone(0.5, 1000, n) + tone(0.01, 2000, n) + tone(0.003, 3000, n)));
    analysis::FFT_Spectrum();
    ScopePoint point{};
    analysis::SpectrumFrame(
        analysis::PowerBuffer, 2048, [](int32_t, const ScopePoint* p) { fed->consume(*p, false); }, 1, point);
  }
}

}  // namespace

TEST(Layout, TraceTextsNeverCoverEachOther) {
  struct Scene {
    std::string name;
    std::function<void(TraceView&)> set;
  };
  const Scene scenes[] = {
      {"trace-busy",
       [](TraceView& v) {
         // A clipped tone, two cursors, lost points, a notice, frozen.
         for (long n = 0; n < 44100; ++n) v.consume({{tone(1.2, 997, n), 0, 0}}, false);
         v.setTimeCursor(0, 10);
         v.setTimeCursor(1, 30);
         v.setDropped(123456);
         v.showNotice(QStringLiteral("saved 60.0 s in /home/someone/Music/Signal-20260101-120000.wav"));
         v.setFrozen(true);
       }},
      {"trace-small-x64",
       [](TraceView& v) {
         // A tone too small for the level, at the deepest zoom: the long state text and labels.
         TraceSettings s = v.settings();
         s.zoom = kMaxZoom;
         s.level = -0.0123;
         s.mode = TriggerMode::Normal;
         v.setSettings(s);
         for (long n = 0; n < 44100; ++n) v.consume({{tone(0.001, 440, n), 0, 0}}, false);
       }},
  };
  for (const Scene& scene : scenes)
    for (QSize size : kSizes) {
      TraceView v(ScopeConfig{});
      v.resize(size);
      scene.set(v);
      pointAt(v, QPointF(size.width() * 0.6, size.height() * 0.5));
      expectApart(v, size, scene.name);
    }
}

TEST(Layout, FrameTextsNeverCoverEachOther) {
  ASSERT_TRUE(analysis::FFT_Init());
  struct Scene {
    std::string name;
    SpectrumLayout layout;
    bool log;
  };
  for (const Scene& scene : {Scene{"spectrum-busy", SpectrumLayout::Spectrum, false},
                             Scene{"spectrum-both-log", SpectrumLayout::SpectrumAndSpectrogram, true}})
    for (QSize size : kSizes) {
      SpectrumView v(ScopeConfig::fromCreate(0, 0, "FFT"));
      v.resize(size);
      SpectrumSettings s;
      s.layout = scene.layout;
      s.logFrequency = scene.log;
      s.harmonics = true;
      s.averageFrames = 4;
      v.setSettings(s);
      sendFrames(v, 8);
      for (double hz : {1000.0, 3000.0, 9000.0}) v.placeMarker(hz);
      v.setDropped(2048);
      v.showNotice(QStringLiteral("saved /home/someone/Documents/FFT-20260101-120000.csv"));
      v.setFrozen(true);
      const QRectF pane = v.panes(size).spectrum;
      pointAt(v, QPointF(pane.left() + pane.width() * 0.3, pane.center().y()));
      expectApart(v, size, scene.name);
    }
  analysis::FFT_Free();
}
