// The trace scope's picture: the latest points of value 0 against time, as
// a signal scope shows a sampled waveform.
#pragma once

#include "display/trace/TraceHistory.h"
#include "display/ui/PlotGrid.h"
#include "display/ui/PlotView.h"

#include <QPolygonF>

#include <vector>

namespace quorvel::display {

class TraceView : public PlotView {
public:
  explicit TraceView(const ScopeConfig& config, QWidget* parent = nullptr);

  void consume(const ScopePoint& p, bool afterGap) override;
  void clear() override;

  const TraceHistory& history() const { return history_; }

protected:
  void paintContent(QPainter& p, QSize size, bool overlays) override;
  void frozenChanged() override;

private:
  GridLayout gridLayout(const QRectF& plot) const;

  TraceHistory history_;
  std::vector<double> shown_;  // what is drawn: the history, or its copy while frozen
  PlotGrid grid_;
  QPolygonF line_;  // reused between pictures
};

}  // namespace quorvel::display
