// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/SpectrogramPicture.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "dsp/ColourMap.h"
#include "dsp/FrameScale.h"

namespace analyse {

namespace {

constexpr int kPlotHeight = 600;
constexpr int kLeft = 74, kRight = 96, kTop = 36, kBottom = 48;
constexpr int kBarWidth = 16;

// A step of 1, 2 or 5 times a power of ten (or of whole minutes and hours
// for times), giving at most `most` steps over `span`.
double NiceStep(double span, int most, bool time) {
  static constexpr std::array<double, 12> times{1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800};
  if (time && span / most >= 1) {
    for (double t : times)
      if (span / t <= most) return t;
    return 3600 * std::ceil(span / most / 3600);
  }
  const double raw = span / most;
  const double unit = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (raw <= m * unit) return m * unit;
  return 10 * unit;
}

QString TimeText(double s, double step) {
  if (step >= 1 && s >= 60) {
    const long total = std::lround(s);
    const long h = total / 3600, m = total / 60 % 60, sec = total % 60;
    return h ? QString::asprintf("%ld:%02ld:%02ld", h, m, sec) : QString::asprintf("%ld:%02ld", m, sec);
  }
  const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : 2;
  return QString::number(s, 'f', decimals) + QStringLiteral(" s");
}

QString HzText(double hz, double step) {
  if (step >= 1000) return QString::number(hz / 1000, 'f', step >= 1000 && std::fmod(step, 1000) == 0 ? 0 : 1) + " kHz";
  return QString::number(hz, 'f', 0) + " Hz";
}

// The level of a mean power of the unscaled transform, as the frame scope reads it.
double LevelDb(float power, int points) { return double(dsp::frameLevelDb(dsp::frameAmplitude(power, points))); }

QRgb Colour(double db) { return dsp::levelColour((db - kBottomDb) / (kTopDb - kBottomDb)); }

}  // namespace

QByteArray SpectrogramPng(const dsp::SpectrogramColumns& columns, int points, const SpectrogramTitle& title) {
  const int plotWidth = kSpectrogramColumns;
  QImage image(kLeft + plotWidth + kRight, kTop + kPlotHeight + kBottom, QImage::Format_RGB32);
  image.fill(Qt::white);

  // The plot, pixel by pixel: a row shows the loudest of the bins it
  // covers, or the nearest bin where rows are finer than bins.
  const int bins = columns.bins();
  std::vector<std::pair<int, int>> rowBins(kPlotHeight);
  for (int r = 0; r < kPlotHeight; ++r) {
    const double from = double(kPlotHeight - 1 - r) * bins / kPlotHeight,
                 to = double(kPlotHeight - r) * bins / kPlotHeight;
    int first = int(std::ceil(from)), last = int(std::ceil(to)) - 1;
    if (first > last) first = last = int(std::lround((from + to) / 2));
    rowBins[size_t(r)] = {std::clamp(first, 0, bins - 1), std::clamp(last, 0, bins - 1)};
  }
  auto* pixels = reinterpret_cast<QRgb*>(image.bits());
  const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
  auto pixel = [&](int x, int y) -> QRgb& { return pixels[y * stride + x]; };
  std::vector<QRgb> columnColours(kPlotHeight);
  for (int x = 0; x < plotWidth; ++x) {
    const int c = int(int64_t(x) * columns.columns() / plotWidth);
    if (x == 0 || c != int(int64_t(x - 1) * columns.columns() / plotWidth)) {
      const float* powers = columns.column(c);
      for (int r = 0; r < kPlotHeight; ++r) {
        float loudest = 0;
        for (int k = rowBins[size_t(r)].first; k <= rowBins[size_t(r)].second; ++k)
          loudest = std::max(loudest, powers[k]);
        columnColours[size_t(r)] = Colour(LevelDb(loudest, points));
      }
    }
    for (int r = 0; r < kPlotHeight; ++r) pixel(kLeft + x, kTop + r) = columnColours[size_t(r)];
  }
  const int barLeft = kLeft + plotWidth + 14;
  for (int r = 0; r < kPlotHeight; ++r) {
    const QRgb c = Colour(kTopDb - (kTopDb - kBottomDb) * (r + 0.5) / kPlotHeight);
    for (int x = 0; x < kBarWidth; ++x) pixel(barLeft + x, kTop + r) = c;
  }

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  QFont font = p.font();
  font.setPixelSize(12);
  p.setFont(font);
  const QColor ink(0x20, 0x20, 0x20), rule(0x70, 0x70, 0x70);
  p.setPen(rule);
  p.setBrush(Qt::NoBrush);
  // A frame one pixel outside the plot and the colour bar.
  p.drawRect(QRect(kLeft - 1, kTop - 1, plotWidth + 1, kPlotHeight + 1));
  p.drawRect(QRect(barLeft - 1, kTop - 1, kBarWidth + 1, kPlotHeight + 1));

  // Frequency up the left edge.
  const double nyquist = double(title.rate) / 2;
  const double hzStep = NiceStep(nyquist, 8, false);
  for (double hz = 0; hz <= nyquist + 1e-9; hz += hzStep) {
    const int y = kTop + kPlotHeight - int(std::lround(hz / nyquist * kPlotHeight));
    p.setPen(rule);
    p.drawLine(kLeft - 5, y, kLeft - 1, y);
    p.setPen(ink);
    p.drawText(QRect(0, y - 8, kLeft - 8, 16), Qt::AlignRight | Qt::AlignVCenter, HzText(hz, hzStep));
  }
  // Time along the bottom, from the span's start in the file.
  const double span = std::max(title.seconds, 1e-3);
  const double tStep = NiceStep(span, 10, true);
  for (double t = std::ceil(title.fromSeconds / tStep) * tStep; t <= title.fromSeconds + span + 1e-9; t += tStep) {
    const int x = kLeft + int(std::lround((t - title.fromSeconds) / span * plotWidth));
    p.setPen(rule);
    p.drawLine(x, kTop + kPlotHeight, x, kTop + kPlotHeight + 4);
    p.setPen(ink);
    p.drawText(QRect(x - 50, kTop + kPlotHeight + 6, 100, 16), Qt::AlignCenter, TimeText(t, tStep));
  }
  p.drawText(QRect(kLeft, kTop + kPlotHeight + 26, plotWidth, 16), Qt::AlignCenter, QStringLiteral("time"));
  // The colour bar's levels.
  for (double db = kTopDb; db >= kBottomDb - 1e-9; db -= 20) {
    const int y = kTop + int(std::lround((kTopDb - db) / (kTopDb - kBottomDb) * kPlotHeight));
    p.setPen(rule);
    p.drawLine(barLeft + kBarWidth, y, barLeft + kBarWidth + 4, y);
    p.setPen(ink);
    p.drawText(QRect(barLeft + kBarWidth + 7, y - 8, 60, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QString::number(db, 'f', 0).replace('-', QChar(0x2212)));
  }
  p.drawText(QRect(barLeft - 10, kTop - 22, 80, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("dBFS"));
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(kLeft, 8, plotWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("%1  \u00b7  channel %2  \u00b7  %3 Hz")
                 .arg(QString::fromStdString(title.source))
                 .arg(title.channel)
                 .arg(title.rate));
  p.end();

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // Quality 85 asks zlib for its fastest compression: the noise of a
  // spectrogram hardly compresses anyway, and level 6 took as long as
  // analysing the sound.
  if (!image.save(&buffer, "PNG", 85)) return {};
  return bytes;
}

}  // namespace analyse
