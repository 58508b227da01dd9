#include "display/trace/TraceHistory.h"

#include <algorithm>

namespace quorvel::display {

void TraceHistory::clear() {
  std::fill(values_.begin(), values_.end(), 0.0);
  next_ = 0;
}

void TraceHistory::copyTo(std::vector<double>& out) const {
  out.resize(values_.size());
  const auto oldest = values_.begin() + static_cast<std::ptrdiff_t>(next_);
  std::copy(oldest, values_.end(), out.begin());
  std::copy(values_.begin(), oldest, out.begin() + (values_.end() - oldest));
}

}  // namespace quorvel::display
