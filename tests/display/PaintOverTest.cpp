// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A picture painted over the last one (as on screen, where only what the
// last one drew over the grid is put back) is the picture drawn afresh,
// pixel for pixel, through a run of changes that move, add and remove every
// kind of piece: the data, the pointer's line and read-out, cursors, marks,
// markers, notices, FROZEN, the spectrogram, a new grid; and texts the
// pixels keep from one picture to the next while they stay the same, with
// marks moving under them, changing, growing shorter or going.
#include "analysis/FFT_Unit.h"
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <type_traits>
#include <vector>

using namespace quorvel::display;

namespace {

const QSize kSize(640, 420);

struct Step {
  std::string name;
  std::function<void()> change;
};

// Paints each step over the last in one image and compares it with the
// picture rendered afresh.
void expectSameAsAfresh(PlotView& v, const std::vector<Step>& steps) {
  QImage over(kSize, QImage::Format_ARGB32_Premultiplied);
  over.fill(Qt::magenta);  // what a first picture must cover whole
  for (const Step& step : steps) {
    step.change();
    {
      QPainter p(&over);
      v.paintOver(p, kSize);
    }
    const QImage afresh = v.render(kSize);
    int differ = 0;
    QPoint first;
    for (int y = 0; y < kSize.height(); ++y)
      for (int x = 0; x < kSize.width(); ++x)
        if (over.pixel(x, y) != afresh.pixel(x, y) && differ++ == 0) first = QPoint(x, y);
    EXPECT_EQ(differ, 0) << step.name << ": first at " << first.x() << "," << first.y();
  }
}

void pointAt(PlotView& v, std::optional<QPointF> at) {
  if (!at) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&v, &leave);
    return;
  }
  QMouseEvent move(QEvent::MouseMove, *at, v.mapToGlobal(*at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&v, &move);
}

// The view's action with this key, in its menus too.
QAction* withKey(const QList<QAction*>& actions, const QKeySequence& key) {
  for (QAction* a : actions) {
    if (a->shortcuts().contains(key)) return a;
    if (a->menu())
      if (QAction* inMenu = withKey(a->menu()->actions(), key)) return inMenu;
  }
  return nullptr;
}

void press(PlotView& v, const QKeySequence& key) {
  QAction* a = withKey(v.actions(), key);
  ASSERT_NE(a, nullptr) << key.toString().toStdString();
  a->trigger();
}

double sample(double peak, double hz, long n) {
  return std::round(peak * std::sin(2 * std::numbers::pi * hz * double(n) / 44100) * 32767) / 32768;
}

void sendTone(TraceView& v, double peak, double hz, int points) {
  static long n = 0;
  for (int i = 0; i < points; ++i, ++n) v.consume({{sample(peak, hz, n), 0, 0}}, false);
}

SpectrumView* fed = nullptr;

// A tone with its second harmonic at a share of its peak.
void sendFrames(SpectrumView& v, double peak, double hz, int frames, double second = 1.0 / 50) {
  fed = &v;
  static long n = 0;
  for (int f = 0; f < frames; ++f) {
    for (int i = 0; i < 2048; ++i, ++n)
      analysis::StoreSample(i, float(sample(peak, hz, n) + sample(peak * second, 2 * hz, n)));
    analysis::FFT_Spectrum();
    ScopePoint point{};
    analysis::SpectrumFrame(
        analysis::PowerBuffer, 2048, [](int32_t, const ScopePoint* p) { fed->consume(*p, false); }, 1, point);
  }
}

}  // namespace

TEST(PaintOver, TracePictureIsThePictureDrawnAfresh) {
  TraceView v(ScopeConfig{});
  v.resize(kSize);
  const QRectF plot = TraceView::plotArea(kSize);
  expectSameAsAfresh(v, {
                            {"nothing yet", [] {}},
                            {"a tone", [&] { sendTone(v, 0.5, 997, 4096); }},
                            {"nothing changed", [] {}},
                            {"louder", [&] { sendTone(v, 0.9, 997, 4096); }},
                            {"a health line",
                             [&] {
                               v.setHealth(PlotView::Health{"lost 0", false, "21.5 fps"});
                             }},
                            {"its timing changed, its losses not",
                             [&] {
                               v.setHealth(PlotView::Health{"lost 0", false, "21.6 fps, latency 31 ms"});
                             }},
                            {"its timing shorter",
                             [&] {
                               v.setHealth(PlotView::Health{"lost 0", false, "9 fps"});
                             }},
                            {"its losses in another colour",
                             [&] {
                               v.setHealth(PlotView::Health{"lost 0", true, "9 fps"});
                             }},
                            {"the health line gone", [&] { v.setHealth(std::nullopt); }},
                            {"the trigger's mark moved under the title",
                             [&] {
                               for (int i = 0; i < 5; ++i) press(v, Qt::SHIFT | Qt::Key_Left);
                             }},
                            {"and back",
                             [&] {
                               for (int i = 0; i < 5; ++i) press(v, Qt::SHIFT | Qt::Key_Right);
                             }},
                            {"softer, lower", [&] { sendTone(v, 0.1, 211, 4096); }},
                            {"pointer over the plot", [&] { pointAt(v, plot.center()); }},
                            {"pointer moved", [&] { pointAt(v, plot.center() + QPointF(-150, 40)); }},
                            {"pointer gone", [&] { pointAt(v, std::nullopt); }},
                            {"cursors",
                             [&] {
                               v.setTimeCursor(0, 10);
                               v.setTimeCursor(1, 30);
                               sendTone(v, 0.6, 1500, 4096);
                             }},
                            {"cursors moved", [&] { v.setTimeCursor(1, 20); }},
                            {"cursors gone",
                             [&] {
                               v.setTimeCursor(0, std::nullopt);
                               v.setTimeCursor(1, std::nullopt);
                             }},
                            {"level moved (its line shows)", [&] { press(v, Qt::Key_Up); }},
                            {"clipped, lost points, a notice",
                             [&] {
                               sendTone(v, 1.5, 997, 4096);
                               v.setDropped(77);
                               v.showNotice(QStringLiteral("copied to the clipboard"));
                             }},
                            {"frozen", [&] { v.setFrozen(true); }},
                            {"still frozen", [&] { sendTone(v, 0.4, 997, 4096); }},
                            {"thawed",
                             [&] {
                               v.setFrozen(false);
                               sendTone(v, 0.3, 440, 4096);
                             }},
                            {"a short span: samples as dots",
                             [&] {
                               for (int i = 0; i < 12; ++i) press(v, Qt::Key_Left);
                               press(v, Qt::Key_D);
                               sendTone(v, 0.7, 997, 4096);
                             }},
                            {"dots gone",
                             [&] {
                               press(v, Qt::Key_D);
                               sendTone(v, 0.2, 997, 4096);
                             }},
                        });
}

TEST(PaintOver, FramePictureIsThePictureDrawnAfresh) {
  ASSERT_TRUE(analysis::FFT_Init());
  SpectrumView v(ScopeConfig::fromCreate(0, 0, "FFT"));
  v.resize(kSize);
  auto with = [&](const std::function<void(SpectrumSettings&)>& change) {
    SpectrumSettings s = v.settings();
    change(s);
    v.setSettings(s);
  };
  expectSameAsAfresh(v, {
                            {"waiting for frames", [] {}},
                            {"a tone", [&] { sendFrames(v, 0.5, 1000, 2); }},
                            {"another tone", [&] { sendFrames(v, 0.05, 3000, 2); }},
                            {"nothing changed", [] {}},
                            {"harmonics and markers",
                             [&] {
                               with([](SpectrumSettings& s) { s.harmonics = true; });
                               v.placeMarker(1000);
                               v.placeMarker(5000);
                               sendFrames(v, 0.4, 1500, 2);
                             }},
                            {"the level range lowered",
                             [&] {
                               for (int i = 0; i < 3; ++i) press(v, Qt::Key_Down);
                             }},
                            {"a harmonic's number up under the title", [&] { sendFrames(v, 0.5, 300, 2, 0.9); }},
                            {"and down again", [&] { sendFrames(v, 0.5, 300, 2); }},
                            {"pointer over the spectrum", [&] { pointAt(v, v.panes(kSize).spectrum.center()); }},
                            {"pointer moved, new frame",
                             [&] {
                               pointAt(v, v.panes(kSize).spectrum.center() + QPointF(120, -30));
                               sendFrames(v, 0.4, 2500, 1);
                             }},
                            {"pointer gone", [&] { pointAt(v, std::nullopt); }},
                            {"average, no hold",
                             [&] {
                               with([](SpectrumSettings& s) {
                                 s.averageFrames = 4;
                                 s.peakHold = false;
                               });
                               sendFrames(v, 0.2, 700, 2);
                             }},
                            {"spectrogram below",
                             [&] {
                               with([](SpectrumSettings& s) { s.layout = SpectrumLayout::SpectrumAndSpectrogram; });
                               sendFrames(v, 0.3, 4000, 3);
                             }},
                            {"pointer over the spectrogram", [&] { pointAt(v, v.panes(kSize).spectrogram.center()); }},
                            {"frozen, a notice",
                             [&] {
                               pointAt(v, std::nullopt);
                               v.setFrozen(true);
                               v.showNotice(QStringLiteral("nothing to copy yet"));
                             }},
                            {"thawed, spectrum alone, log axis",
                             [&] {
                               v.setFrozen(false);
                               with([](SpectrumSettings& s) {
                                 s.layout = SpectrumLayout::Spectrum;
                                 s.logFrequency = true;
                               });
                               sendFrames(v, 0.6, 200, 2);
                             }},
                            {"silence", [&] { sendFrames(v, 0, 1000, 2); }},
                            {"a tone again", [&] { sendFrames(v, 0.5, 1000, 2); }},
                            {"cleared: waiting again", [&] { v.clear(); }},
                            {"frames again", [&] { sendFrames(v, 0.5, 6000, 2); }},
                        });
  analysis::FFT_Free();
}

// A view's grid follows its settings: changed a step at a time, a view
// draws what a new view given the same settings draws.
TEST(PaintOver, GridFollowsTheSettings) {
  ASSERT_TRUE(analysis::FFT_Init());
  TraceView trace(ScopeConfig{});
  SpectrumView spectrum(ScopeConfig::fromCreate(0, 0, "FFT"));
  auto fresh = [](auto& v) {
    std::remove_reference_t<decltype(v)> other(v.config());
    other.resize(kSize);
    other.setSettings(v.settings());
    return other.render(kSize);
  };
  struct Case {
    std::string name;
    PlotView& view;
    std::function<void()> change;
    std::function<QImage()> afresh;
  };
  const std::vector<Case> cases{
      {"a longer span", trace, [&] { press(trace, Qt::Key_Right); }, [&] { return fresh(trace); }},
      {"zoomed in", trace, [&] { press(trace, Qt::Key_Plus); }, [&] { return fresh(trace); }},
      {"the level range zoomed", spectrum, [&] { press(spectrum, Qt::Key_Plus); }, [&] { return fresh(spectrum); }},
      {"a log axis", spectrum, [&] { press(spectrum, Qt::Key_L); }, [&] { return fresh(spectrum); }},
      {"a spectrogram", spectrum, [&] { press(spectrum, Qt::Key_G); }, [&] { return fresh(spectrum); }},
  };
  for (PlotView* v : {static_cast<PlotView*>(&trace), static_cast<PlotView*>(&spectrum)}) {
    v->resize(kSize);
    v->render(kSize);
  }
  for (const Case& c : cases) {
    c.change();
    EXPECT_TRUE(c.view.render(kSize) == c.afresh()) << c.name;
  }
  analysis::FFT_Free();
}
