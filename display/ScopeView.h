// Everything one picture of a scope shows; the renderer draws only this.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel::display {

enum class ScopeMode { Trace, Spectrum };

struct ScopeView {
  ScopeMode mode = ScopeMode::Trace;
  std::vector<double> trace;   // value 0 of the latest points, oldest first
  std::vector<double> levels;  // dB per bin of the latest frame
  std::vector<double> peaks;   // peak hold per bin, -infinity where none
  int strongest = -1;          // bin index into levels, -1 for none
  uint64_t frames = 0;         // frames drawn since the last clean
  uint64_t dropped = 0;        // points dropped since the last clean
};

}  // namespace quorvel::display
