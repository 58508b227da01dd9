// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ScopeConfig.h"

#include <algorithm>

namespace quorvel::display {

ScopeConfig ScopeConfig::fromCreate(int32_t points, int32_t rate, const char* name) {
  ScopeConfig c;
  if (points != 0) c.points = std::clamp(points, 16, 65536);
  if (rate != 0) c.rate = std::clamp(rate, 1000, 768000);
  if (name && *name) c.title = QString::fromUtf8(name);
  c.framesFromStart = c.title.compare(QStringLiteral("FFT"), Qt::CaseInsensitive) == 0;
  return c;
}

}  // namespace quorvel::display
