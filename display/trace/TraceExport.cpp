// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/trace/TraceExport.h"

#include "dsp/TraceText.h"

#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

namespace quorvel::display {

QString traceText(const TraceModel& model) {
  const std::optional<Sweep> s = model.sweep();
  if (!s) return {};
  return QString::fromStdString(
      dsp::traceText(model.shownPoints(), s->firstPoint(), s->endPoint(), s->start, model.rate(), model.clipped()));
}

bool writeWav(const QString& path, const dsp::TraceHistory& h, const std::vector<int64_t>& breaks, int rate,
              QString& error) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  if (!file) {
    error = QStringLiteral("cannot write %1: %2").arg(path, QString::fromUtf8(sf_strerror(nullptr)));
    return false;
  }
  SF_CUES cues{};
  for (int64_t at : breaks) {
    if (at <= h.begin() || at >= h.end() || cues.cue_count == std::size(cues.cue_points)) continue;
    SF_CUE_POINT& c = cues.cue_points[cues.cue_count];
    c.indx = int32_t(cues.cue_count + 1);
    c.position = c.sample_offset = uint32_t(at - h.begin());
    c.fcc_chunk = 0x61746164;  // "data"
    std::strcpy(c.name, "break");
    ++cues.cue_count;
  }
  if (cues.cue_count > 0) sf_command(file, SFC_SET_CUE, &cues, sizeof cues);
  // Converted here rather than by the library, which scales floats by 32767.
  std::vector<short> block;
  block.reserve(65536);
  bool ok = true;
  auto flush = [&] {
    ok = ok && sf_write_short(file, block.data(), sf_count_t(block.size())) == sf_count_t(block.size());
    block.clear();
  };
  h.forEachRun(h.begin(), h.end(), [&](const float* v, size_t n, int64_t) {
    for (size_t k = 0; k < n; ++k) {
      block.push_back(short(std::clamp(std::lround(double(v[k]) * 32768), -32768L, 32767L)));
      if (block.size() == block.capacity()) flush();
    }
  });
  flush();
  if (!ok) error = QStringLiteral("cannot write %1: %2").arg(path, QString::fromUtf8(sf_strerror(file)));
  if (const int closed = sf_close(file); closed != 0 && ok) {
    error = QStringLiteral("cannot finish %1: %2").arg(path, QString::fromUtf8(sf_error_number(closed)));
    ok = false;
  }
  return ok;
}

}  // namespace quorvel::display
