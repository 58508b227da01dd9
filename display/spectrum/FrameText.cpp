// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/spectrum/FrameText.h"

#include <cmath>

namespace quorvel::display {

namespace {

QString number(double v, int decimals) {
  if (!std::isfinite(v)) return QStringLiteral("none");
  QString s = QString::number(v, 'f', decimals);                          // never localised
  if (s.startsWith('-') && s.count('0') == s.size() - 2) s.remove(0, 1);  // no "-0.00"
  return s;
}

QString number(const std::optional<double>& v, int decimals) {
  return v ? number(*v, decimals) : QStringLiteral("none");
}

double at(const std::vector<double>& v, size_t k) { return k < v.size() ? v[k] : std::nan(""); }

}  // namespace

QString FrameText::csv() const {
  const size_t bins = frame.levels.size();
  QString s;
  s.reserve(int(bins) * 40 + 200);
  s += QStringLiteral("# peak_hz: ") + number(peak ? std::optional(peak->hz(binHz)) : std::nullopt, 2) + '\n';
  s += QStringLiteral("# peak_dbfs: ") + number(peak ? std::optional(peak->dbfs()) : std::nullopt, 2) + '\n';
  s += QStringLiteral("# thd_percent: ") + number(thdPercent, 4) + '\n';
  s += QStringLiteral("# bins: ") + QString::number(bins) + '\n';
  s += QStringLiteral("# bin_hz: ") + number(binHz, 4) + '\n';
  s += QStringLiteral("frequency_hz,level_db,amplitude_percent,peak_hold_db\n");
  for (size_t k = 0; k < bins; ++k) {
    s += number(double(k) * binHz, 2) + ',' + number(frame.levels[k], 2) + ',' + number(at(frame.amplitudes, k), 4) +
         ',' + number(at(peakHold, k), 2) + '\n';
  }
  return s;
}

}  // namespace quorvel::display
