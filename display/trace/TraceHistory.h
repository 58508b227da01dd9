// The latest points of value 0, oldest first: what a trace scope draws.
#pragma once

#include <cstddef>
#include <vector>

namespace quorvel::display {

class TraceHistory {
public:
  explicit TraceHistory(size_t width) : values_(width, 0.0) {}

  void add(double v) {
    values_[next_] = v;
    next_ = next_ + 1 == values_.size() ? 0 : next_ + 1;
  }
  void clear();
  size_t width() const { return values_.size(); }
  // Copies the history into out, oldest first (out keeps its capacity).
  void copyTo(std::vector<double>& out) const;

private:
  std::vector<double> values_;
  size_t next_ = 0;  // where the next point goes; also the oldest point
};

}  // namespace quorvel::display
