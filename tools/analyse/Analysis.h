// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One span of sound analysed in one pass, as blocks of interleaved frames
// arrive (from a file or from capture): per chosen channel its sample
// levels, its averaged spectrum (and, when asked, a spectrogram), and for
// the chosen channels together their loudness; when asked, per channel a
// sound level meter's figures and band levels. Every number comes from the
// analysis engine (dsp/); this only routes the samples to it.
//
// Each channel runs through a pipeline of its own (ChannelPipeline): a new
// per-channel reading is a new stage there and a new field in
// ChannelResult. The pipelines and the programme's loudness are separate
// jobs on each block, run side by side on the machine's cores (JobTeam).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dsp/FrameBins.h"
#include "dsp/FrameEstimator.h"
#include "dsp/Loudness.h"
#include "dsp/OctaveFilterBank.h"
#include "dsp/SoundLevelMeter.h"
#include "dsp/SpectrogramColumns.h"
#include "dsp/SpectrumAverage.h"
#include "dsp/TraceMeasurements.h"
#include "tools/analyse/JobTeam.h"

namespace analyse {

// The frames of the averaged spectrum, as the program's analyser takes them.
inline constexpr int kFramePoints = 2048;
inline constexpr int kFrameHop = kFramePoints / 2;

struct ChannelResult {
  int channel = 0;  // counted from 1
  dsp::PointStats levels;
  uint64_t frames = 0;  // of the spectrum; none: no spectrum
  double binHz = 0;
  dsp::FrameBins spectrum;
  std::vector<double> peakLevels;
  dsp::FrameEstimates estimates;
  dsp::FrameEstimates held;  // the tone read from the peak hold
  std::optional<double> truePeakDbtp;
  std::unique_ptr<dsp::SpectrogramColumns> spectrogram;  // when asked for
  // When asked for: the meter measured over the whole span, and the bands
  // with what their filters held let out at its end.
  std::unique_ptr<dsp::SoundLevelMeter> meter;
  std::unique_ptr<dsp::OctaveFilterBank> bands;
};

struct Result {
  long rate = 0;
  uint64_t frames = 0;  // sample frames analysed
  std::optional<double> loudnessLufs, loudnessRangeLu;
  std::vector<ChannelResult> channels;

  double seconds() const { return rate > 0 ? double(frames) / double(rate) : 0; }
};

class Analysis {
 public:
  struct Setup {
    int channels = 1;  // of the blocks pushed
    long rate = 44100;
    std::vector<int> chosen;      // channels to analyse, from 0, in order
    uint64_t expectedFrames = 0;  // the span's length, for the spectrogram's columns
    int spectrogramColumns = 0;   // 0: no spectrogram
    bool meter = false;           // a sound level meter's figures
    int bandsPerOctave = 0;       // 0: no bands
    dsp::Weighting bandsWeighting = dsp::Weighting::Z;
  };
  // Null with the reason in `error` when an engine part cannot be set up.
  static std::unique_ptr<Analysis> create(const Setup& setup, std::string& error);
  ~Analysis();

  // `count` frames of setup.channels interleaved samples, full scale at 1.
  void push(const float* frames, size_t count);
  // The readings; call once, after the last push.
  Result finish();

 private:
  struct ChannelPipeline;
  explicit Analysis(const Setup& setup);

  void measureChannel(ChannelPipeline& p);
  void measureProgramme();

  Setup setup_;
  std::vector<ChannelPipeline> pipelines_;
  std::unique_ptr<dsp::Loudness> loudness_;  // the programme's: the chosen channels together
  std::vector<float> chosenFrames_;          // the chosen channels alone, for it
  std::vector<std::function<void()>> jobs_;
  std::unique_ptr<JobTeam> team_;
  const float* block_ = nullptr;  // the block being analysed
  size_t blockFrames_ = 0;
  uint64_t frames_ = 0;
};

}  // namespace analyse
