// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A clock drift found and undone: `find` reads it on a capture; the capture
// is resampled by it (about the origin) and `find` asked again what is
// left, until that moves nothing by a hundredth of a sample over `span`
// samples (three readings at most). Each analysis brings its own `find`.
#pragma once

#include <functional>
#include <vector>

namespace measure {

// False when `find` fails. `drift` is the whole drift found (+: the input
// runs fast), `corrected` the capture with it undone.
bool CorrectDrift(const std::vector<float>& captured, double origin, double span,
                  const std::function<bool(const std::vector<float>&, double&)>& find, double& drift,
                  std::vector<float>& corrected);

}  // namespace measure
