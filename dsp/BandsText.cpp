// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/BandsText.h"

#include "dsp/NumberText.h"

namespace dsp {

std::string bandsCsv(const OctaveFilterBank& bank, const Calibration& c) {
  std::string s;
  s += "# dbfs: AES17: a full-scale sine is 0 dBFS RMS; sample peaks are relative to full scale\n";
  s += std::string("# weighting: ") + weightingLetter(bank.weighting()) + '\n';
  s += "# bands_per_octave: " + std::to_string(bank.bandsPerOctave()) + '\n';
  s += "# calibrated: " + c.note() + '\n';
  s += std::string("# level_db: the band's Leq, ") + c.unit() +
       (c.microphone ? ", less the microphone's response at its mid-band frequency" : "") + '\n';
  s += "band_hz,level_db\n";
  for (const auto& [hz, db] : bandRows(bank, c)) s += hz + ',' + db + '\n';
  return s;
}

std::vector<std::pair<std::string, std::string>> bandRows(const OctaveFilterBank& bank, const Calibration& c) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (std::size_t j = 0; j < bank.bands().size(); ++j) {
    const double mid = bank.bands()[j].midHz;
    rows.emplace_back(fixedText(mid, 2), fixedOrNone(c.band(bank.leqDb(j), mid), 2));
  }
  return rows;
}

}  // namespace dsp
