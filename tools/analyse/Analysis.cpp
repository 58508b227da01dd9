// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Analysis.h"

namespace analyse {

struct Analysis::ChannelPipeline {
  int channel;  // from 0
  dsp::PointStats levels;
  std::unique_ptr<dsp::SpectrumAverage> spectrum;
  std::unique_ptr<dsp::SpectrogramColumns> spectrogram;
};

Analysis::Analysis(const Setup& setup) : setup_(setup) {}
Analysis::~Analysis() = default;

std::unique_ptr<Analysis> Analysis::create(const Setup& setup, std::string& error) {
  std::unique_ptr<Analysis> a(new Analysis(setup));
  for (int c : setup.chosen) {
    ChannelPipeline p{c, {}, dsp::SpectrumAverage::create(kFramePoints, kFrameHop), nullptr};
    if (!p.spectrum) {
      error = "the transform could not be set up";
      return nullptr;
    }
    if (setup.spectrogramColumns > 0) {
      const uint64_t frames =
          setup.expectedFrames >= uint64_t(kFramePoints) ? (setup.expectedFrames - kFramePoints) / kFrameHop + 1 : 0;
      auto* columns = new dsp::SpectrogramColumns(p.spectrum->bins(), frames, setup.spectrogramColumns);
      p.spectrogram.reset(columns);
      p.spectrum->onFrame([columns](const float* powers) { columns->add(powers); });
    }
    a->pipelines_.push_back(std::move(p));
  }
  a->loudness_ = dsp::Loudness::create(int(setup.chosen.size()), setup.rate);
  if (!a->loudness_) {
    error = "the loudness meter could not be set up for " + std::to_string(setup.chosen.size()) + " channels at " +
            std::to_string(setup.rate) + " Hz";
    return nullptr;
  }
  return a;
}

void Analysis::push(const float* frames, size_t count) {
  const size_t stride = size_t(setup_.channels);
  for (ChannelPipeline& p : pipelines_) {
    p.levels.add(frames + p.channel, count, stride);
    p.spectrum->push(frames + p.channel, count, stride);
  }
  if (setup_.chosen.size() == stride) {
    loudness_->push(frames, count);
  } else {
    const size_t chosen = setup_.chosen.size();
    chosenFrames_.resize(count * chosen);
    for (size_t f = 0; f < count; ++f)
      for (size_t c = 0; c < chosen; ++c) chosenFrames_[f * chosen + c] = frames[f * stride + size_t(setup_.chosen[c])];
    loudness_->push(chosenFrames_.data(), count);
  }
  frames_ += count;
}

Result Analysis::finish() {
  Result r;
  r.rate = setup_.rate;
  r.frames = frames_;
  r.loudnessLufs = loudness_->integratedLufs();
  r.loudnessRangeLu = loudness_->rangeLu();
  const double binHz = double(setup_.rate) / kFramePoints;
  dsp::FrameEstimator estimator(kFramePoints, binHz);
  for (size_t i = 0; i < pipelines_.size(); ++i) {
    ChannelPipeline& p = pipelines_[i];
    ChannelResult c;
    c.channel = p.channel + 1;
    c.levels = p.levels;
    c.frames = p.spectrum->frames();
    c.binHz = binHz;
    c.spectrum = p.spectrum->average();
    c.peakLevels = p.spectrum->peakLevels();
    if (c.frames > 0) c.estimates = estimator.estimate(c.spectrum.amplitudes, true);
    c.truePeakDbtp = loudness_->truePeakDbtp(int(i));
    if (p.spectrogram) p.spectrogram->finish();
    c.spectrogram = std::move(p.spectrogram);
    r.channels.push_back(std::move(c));
  }
  return r;
}

}  // namespace analyse
