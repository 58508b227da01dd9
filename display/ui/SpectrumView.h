// The frame scope's picture: the latest spectrum frame's levels against
// frequency, with its peak hold and its strongest bin marked.
#pragma once

#include "display/spectrum/SpectrumModel.h"
#include "display/ui/PlotGrid.h"
#include "display/ui/PlotView.h"

#include <QAction>
#include <QImage>
#include <QPolygonF>

#include <vector>

namespace quorvel::display {

class SpectrumView : public PlotView {
public:
  explicit SpectrumView(const ScopeConfig& config, QWidget* parent = nullptr);

  void consume(const ScopePoint& p, bool afterGap) override;
  void clear() override;

  void setLogFrequency(bool log);
  bool logFrequency() const { return log_; }
  void resetPeaks();

  const SpectrumModel& model() const { return model_; }

protected:
  void paintContent(QPainter& p, QSize size, bool overlays) override;
  void frozenChanged() override;

private:
  // What is drawn: the model's state, or its copy while frozen.
  struct Shown {
    std::vector<double> levels, peaks;
    int strongest = -1;
    uint64_t frames = 0;
  };
  void takeShown();
  GridLayout gridLayout(const QRectF& plot, const FrequencyAxis& axis) const;
  void paintSpectrum(QPainter& p, const QRectF& plot, const Shown& s, const FrequencyAxis& axis);

  SpectrumModel model_;
  Shown shown_;
  bool log_ = false;
  QAction logAction_;
  QAction resetPeaksAction_;
  PlotGrid grid_;
  QPolygonF line_;    // reused between pictures
  QImage fillStrip_;  // the gradient under the spectrum, one pixel wide
};

}  // namespace quorvel::display
