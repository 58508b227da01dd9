// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// From dBFS to dB SPL: one offset, dB SPL = dBFS + offset, for every level
// (dBFS as AES17: a full-scale sine reads 0 dBFS). Peaks are read as 20 lg
// of the largest magnitude, which for a sine is 3.01 dB below its RMS level
// in these dBFS; in dB SPL a peak is the peak pressure, so it takes the
// offset and those 3.01 dB: a 94 dB SPL sine (1 Pa RMS) peaks at 97.0 dB.
// A microphone's correction file, when there is one, takes its response at
// each band's mid-band frequency off the band's level, calibrated or not.
#pragma once

#include "dsp/MicrophoneCorrection.h"
#include "dsp/SoundLevelMeter.h"

#include <cstddef>
#include <optional>
#include <string>

namespace dsp {

inline constexpr double kPascalDbSpl = 93.979400086720375;  // 1 Pa re 20 uPa
inline constexpr double kSinePeakDb = 3.0102999566398120;   // a sine's peak over its RMS, 20 lg sqrt 2

struct Calibration {
  std::optional<double> offsetDb;  // none: levels stay in dBFS
  std::optional<MicrophoneCorrection> microphone;
  std::string microphoneName;  // the file's, for the notes

  bool calibrated() const { return offsetDb.has_value(); }
  const char* unit() const { return offsetDb ? "dB SPL" : "dBFS"; }
  double level(double dbfs) const { return dbfs + offsetDb.value_or(0); }
  double peak(double dbfs) const { return offsetDb ? dbfs + *offsetDb + kSinePeakDb : dbfs; }
  // A meter's figure: its peak as a peak, the others as levels.
  double figure(Figure f, double dbfs) const { return f == Figure::Peak ? peak(dbfs) : level(dbfs); }
  double band(double dbfs, double midHz) const {
    return level(dbfs) - (microphone ? microphone->responseDb(midHz) : 0);
  }
  // How the exports state it: "no", "offset 94.00 dB", "offset 94.00 dB;
  // microphone umik.txt" or "no; microphone umik.txt" (no comma, so that it
  // stands in a CSV field as it is).
  std::string note() const;
};

// The offset that makes a calibrator's tone, which reads `measuredDbfs`,
// read `calibratorDbSpl` (94 or 114 dB SPL).
double offsetFromCalibrator(double calibratorDbSpl, double measuredDbfs);
// The offset for a microphone of `millivoltsPerPascal` on an input whose
// full-scale sine is `fullScaleVolts` RMS: 1 Pa reads
// 20 lg(sensitivity / full scale) dBFS.
double offsetFromSensitivity(double millivoltsPerPascal, double fullScaleVolts);

// What a stretch of samples holds of a calibrator's tone: its level, if it
// is a steady, clean tone near 1 kHz, or why it is not one.
struct CalibratorReading {
  bool ok = false;
  double levelDbfs = 0;  // unweighted
  double hz = 0;
  std::string why;
};
// At least half a second of samples. The tone must be within 5 % of 1 kHz,
// hold its level within 0.5 dB over eight parts of the stretch, and stand
// 20 dB above whatever else there is.
CalibratorReading readCalibrator(const float* samples, std::size_t n, double rate);

}  // namespace dsp
