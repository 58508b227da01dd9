#include "display/spectrum/SpectrumModel.h"

namespace quorvel::display {

SpectrumModel::SpectrumModel(int bins) : assembler_(bins), peaks_(bins) {}

bool SpectrumModel::consume(const ScopePoint& p, bool afterGap) {
  if (!assembler_.add(p, afterGap))
    return false;
  ++frames_;
  peaks_.update(assembler_.levels());
  strongest_ = strongestBin(assembler_.levels());
  return true;
}

void SpectrumModel::clear() {
  assembler_.reset();
  peaks_.reset();
  strongest_ = -1;
  frames_ = 0;
}

}  // namespace quorvel::display
