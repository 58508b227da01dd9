// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/analyse/Analysis.h"

#include <algorithm>
#include <limits>
#include <thread>

namespace analyse {

struct Analysis::ChannelPipeline {
  int channel;                 // from 0
  std::vector<float> samples;  // this channel's part of the block
  dsp::PointStats levels;
  std::unique_ptr<dsp::SpectrumAverage> spectrum;
  std::unique_ptr<dsp::SpectrogramColumns> spectrogram;
  std::unique_ptr<dsp::Loudness> truePeak;
  std::unique_ptr<dsp::SoundLevelMeter> meter;
  std::unique_ptr<dsp::OctaveFilterBank> bands;
};

Analysis::Analysis(const Setup& setup) : setup_(setup) {}
Analysis::~Analysis() = default;

std::unique_ptr<Analysis> Analysis::create(const Setup& setup, std::string& error) {
  std::unique_ptr<Analysis> a(new Analysis(setup));
  auto meter = [&](int channels, dsp::Loudness::Parts parts) {
    std::unique_ptr<dsp::Loudness> m = dsp::Loudness::create(channels, setup.rate, parts);
    if (!m)
      error = "the loudness meter could not be set up for " + std::to_string(channels) + " channels at " +
              std::to_string(setup.rate) + " Hz";
    return m;
  };
  a->pipelines_.reserve(setup.chosen.size());
  for (int c : setup.chosen) {
    ChannelPipeline p{c,       {},
                      {},      dsp::SpectrumAverage::create(kFramePoints, kFrameHop),
                      nullptr, meter(1, dsp::Loudness::kTruePeak),
                      nullptr, nullptr};
    if (!p.spectrum) error = "the transform could not be set up";
    if (!p.spectrum || !p.truePeak) return nullptr;
    if (setup.spectrogramColumns > 0) {
      const uint64_t frames =
          setup.expectedFrames >= uint64_t(kFramePoints) ? (setup.expectedFrames - kFramePoints) / kFrameHop + 1 : 0;
      auto* columns = new dsp::SpectrogramColumns(p.spectrum->bins(), frames, setup.spectrogramColumns);
      p.spectrogram.reset(columns);
      p.spectrum->onFrame([columns](const float* powers) { columns->add(powers); });
    }
    // The meter measures for as long as the span lasts.
    if (setup.meter)
      p.meter = std::make_unique<dsp::SoundLevelMeter>(double(setup.rate), std::numeric_limits<double>::infinity());
    if (setup.bandsPerOctave > 0)
      p.bands = std::make_unique<dsp::OctaveFilterBank>(setup.bandsPerOctave, double(setup.rate), setup.bandsWeighting);
    a->pipelines_.push_back(std::move(p));
  }
  a->loudness_ = meter(int(setup.chosen.size()), dsp::Loudness::kProgramme);
  if (!a->loudness_) return nullptr;
  // The channels take longest (the true peak above all): they go first.
  for (ChannelPipeline& p : a->pipelines_) a->jobs_.push_back([&p, a = a.get()] { a->measureChannel(p); });
  a->jobs_.push_back([a = a.get()] { a->measureProgramme(); });
  a->team_ = std::make_unique<JobTeam>(
      std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, unsigned(a->jobs_.size())));
  return a;
}

void Analysis::push(const float* frames, size_t count) {
  block_ = frames;
  blockFrames_ = count;
  team_->run(jobs_);
  frames_ += count;
}

void Analysis::measureChannel(ChannelPipeline& p) {
  const size_t stride = size_t(setup_.channels);
  p.samples.resize(blockFrames_);
  for (size_t f = 0; f < blockFrames_; ++f) p.samples[f] = block_[f * stride + size_t(p.channel)];
  p.levels.add(p.samples.data(), blockFrames_);
  p.spectrum->push(p.samples.data(), blockFrames_);
  p.truePeak->push(p.samples.data(), blockFrames_);
  if (p.meter) p.meter->process(p.samples.data(), blockFrames_);
  if (p.bands) p.bands->process(p.samples.data(), blockFrames_);
}

void Analysis::measureProgramme() {
  const size_t stride = size_t(setup_.channels), chosen = setup_.chosen.size();
  if (chosen == stride) {
    loudness_->push(block_, blockFrames_);
    return;
  }
  chosenFrames_.resize(blockFrames_ * chosen);
  for (size_t f = 0; f < blockFrames_; ++f)
    for (size_t c = 0; c < chosen; ++c) chosenFrames_[f * chosen + c] = block_[f * stride + size_t(setup_.chosen[c])];
  loudness_->push(chosenFrames_.data(), blockFrames_);
}

Result Analysis::finish() {
  Result r;
  r.rate = setup_.rate;
  r.frames = frames_;
  r.loudnessLufs = loudness_->integratedLufs();
  r.loudnessRangeLu = loudness_->rangeLu();
  const double binHz = double(setup_.rate) / kFramePoints;
  dsp::FrameEstimator estimator(kFramePoints, binHz);
  for (ChannelPipeline& p : pipelines_) {
    ChannelResult c;
    c.channel = p.channel + 1;
    c.levels = p.levels;
    c.frames = p.spectrum->frames();
    c.binHz = binHz;
    c.spectrum = p.spectrum->average();
    c.peakLevels = p.spectrum->peakLevels();
    if (c.frames > 0) {
      c.estimates = estimator.estimate(c.spectrum.amplitudes, true);
      c.held = estimator.estimate(p.spectrum->peakAmplitudes(), false);
    }
    c.truePeakDbtp = p.truePeak->truePeakDbtp(0);
    if (p.spectrogram) p.spectrogram->finish();
    c.spectrogram = std::move(p.spectrogram);
    c.meter = std::move(p.meter);
    if (p.bands) p.bands->flush();
    c.bands = std::move(p.bands);
    r.channels.push_back(std::move(c));
  }
  return r;
}

}  // namespace analyse
