// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "measure/ResultFiles.h"

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

namespace measure {

std::string Figure(double value, int decimals) {
  if (std::isnan(value)) return "none";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  // "-0.00" says no more than "0.00".
  if (std::strtod(text, nullptr) == 0 && text[0] == '-') return text + 1;
  return text;
}

std::string ResponseCsv(const Result& r) {
  std::string out;
  out += "# delay_samples: " + Figure(r.delaySamples, 2) + "\n";
  out += "# delay_ms: " + Figure(r.delayMs, 4) + "\n";
  out += "# snr_db: " + Figure(r.snrDb, 1) + "\n";
  out += "# drift_ppm: " + Figure(r.driftPpm, 2) + "\n";
  out += "# stimulus: " + r.stimulus + "\n";
  out += "# level_dbfs: " + Figure(r.levelDbfs, 2) + "\n";
  out += "# rate_hz: " + std::to_string(r.rate) + "\n";
  out += "frequency_hz,magnitude_db,phase_deg,group_delay_ms,coherence\n";
  for (const ResponsePoint& p : r.response)
    out += Figure(p.hz, 3) + "," + Figure(p.magnitudeDb, 3) + "," + Figure(p.phaseDeg, 2) + "," +
           Figure(p.groupDelayMs, 4) + "," + Figure(p.coherence, 4) + "\n";
  return out;
}

std::string DistortionCsv(const Result& r) {
  std::string out = "frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_percent\n";
  for (const DistortionPoint& d : r.distortion) {
    out += Figure(d.hz, 3);
    for (double h : d.harmonicDb) out += "," + Figure(h, 2);
    out += "," + Figure(d.thdPercent, 4) + "\n";
  }
  return out;
}

namespace {

// Writes `path` through `write` (given a temporary path beside it), then
// renames it into place.
bool WriteWhole(const std::string& path, const std::function<bool(const std::string&, std::string&)>& write,
                std::string& why) {
  const std::string temporary = path + ".part" + std::to_string(::getpid());
  if (!write(temporary, why)) {
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    why = "cannot put " + path + " in place: " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool WriteText(const std::string& path, const std::string& text, std::string& why) {
  return WriteWhole(
      path,
      [&](const std::string& to, std::string& reason) {
        std::FILE* f = std::fopen(to.c_str(), "w");
        if (f == nullptr) {
          reason = "cannot write " + path + ": " + std::strerror(errno);
          return false;
        }
        const bool wrote = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        const int error = errno;
        if (std::fclose(f) != 0 || !wrote) {
          reason = "cannot write " + path + ": " + std::strerror(wrote ? errno : error);
          return false;
        }
        return true;
      },
      why);
}

}  // namespace

bool WriteResultFiles(const Result& r, const std::string& dir, std::string& why) {
  const std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  if (!WriteText(base + "response.csv", ResponseCsv(r), why)) return false;
  if (!WriteText(base + "distortion.csv", DistortionCsv(r), why)) return false;
  return WriteWhole(
      base + "impulse.wav",
      [&](const std::string& to, std::string& reason) {
        SF_INFO info{};
        info.samplerate = static_cast<int>(r.rate);
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open(to.c_str(), SFM_WRITE, &info);
        if (f == nullptr) {
          reason = "cannot write " + base + "impulse.wav: " + sf_strerror(nullptr);
          return false;
        }
        const auto frames = static_cast<sf_count_t>(r.impulse.size());
        const bool wrote = sf_writef_float(f, r.impulse.data(), frames) == frames;
        if (!wrote) reason = "cannot write " + base + "impulse.wav: " + sf_strerror(f);
        if (sf_close(f) != 0 && wrote) {
          reason = "cannot write " + base + "impulse.wav";
          return false;
        }
        return wrote;
      },
      why);
}

}  // namespace measure
