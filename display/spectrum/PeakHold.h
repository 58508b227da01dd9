// Per-bin maximum level since the last reset, and the strongest bin of a frame.
#pragma once

#include <vector>

namespace quorvel::display {

class PeakHold {
public:
  explicit PeakHold(int bins);

  void update(const std::vector<double>& levels);
  void reset();
  // -infinity where no finite level has been seen.
  const std::vector<double>& levels() const { return peaks_; }

private:
  std::vector<double> peaks_;
};

// Index of the loudest finite level, or -1 when there is none.
int strongestBin(const std::vector<double>& levels);

}  // namespace quorvel::display
