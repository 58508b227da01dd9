// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/ScopeTimingLog.h"

#include <QDir>

#include <cinttypes>
#include <cstdlib>

namespace quorvel::display {

std::unique_ptr<ScopeTimingLog> ScopeTimingLog::open(const QString& title) {
  const char* dir = std::getenv("QUORVEL_SCOPE_TIMING");
  if (dir == nullptr || *dir == '\0') return nullptr;
  QString name = title;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(name + QStringLiteral(".timing"));
  FILE* file = std::fopen(path.toLocal8Bit().constData(), "w");
  if (file == nullptr) return nullptr;
  return std::unique_ptr<ScopeTimingLog>(new ScopeTimingLog(file));
}

ScopeTimingLog::~ScopeTimingLog() { std::fclose(file_); }

void ScopeTimingLog::batch(const BatchStamp& b) {
  std::fprintf(file_, "batch %" PRIu64 " %" PRId64 " %" PRId64 "\n", b.first, b.ns, b.capturedNs);
}

void ScopeTimingLog::taken(uint64_t first, uint64_t count, uint64_t peak, double largest) {
  std::fprintf(file_, "taken %" PRIu64 " %" PRIu64 " %" PRIu64 " %.6f\n", first, count, peak, largest);
}

void ScopeTimingLog::picture(int64_t drawnNs) { std::fprintf(file_, "picture %" PRId64 "\n", drawnNs); }

}  // namespace quorvel::display
