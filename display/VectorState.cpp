// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "display/VectorState.h"

namespace quorvel::display {

#if defined(__x86_64__) || defined(__i386__)
namespace {
__attribute__((target("avx"))) void zeroUpper() { __builtin_ia32_vzeroupper(); }
// Read while the library loads, so the processor's model is read first.
const bool kHasAvx = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
}();
}  // namespace

void clearUpperVectorState() {
  if (kHasAvx) zeroUpper();
}
#else
void clearUpperVectorState() {}
#endif

}  // namespace quorvel::display
