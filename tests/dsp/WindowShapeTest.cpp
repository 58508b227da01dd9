// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's kernel along runs of bins, as the estimators take it, against
// its value bin by bin: at and near its peaks at every multiple of the
// transform's length, where the tone's image folds back, and far from them.
#include "dsp/WindowShape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace dsp;

TEST(WindowShape, RunsAndPairsMatchTheKernelBinByBin) {
  const struct {
    int points;
    double centre;
    int first, count;
  } cases[] = {
      {2048, 57.3, 54, 7},         // a tone's bins: all near its peak
      {2048, 57.3, 9, 97},         // the floor around it
      {2048, 300, 297, 7},         // on a bin: through the peak itself
      {2048, 300 + 1e-9, 297, 7},  // a hair beside it
      {2048, 1023.6, 1017, 7},     // near the top: the image near 2048
      {2048, 1.2, 0, 1025},        // a whole frame, from below the lowest bin
      {2048, -2048, 0, 7},         // on the multiple above: an odd m
      {2048, 2047.5, 0, 9},        // 2048 + 0.5 away at bin 0
      {16, 3.3, 0, 49},            // a short transform: peaks 16 bins apart, the series within a bin of each
      {16, 4, 0, 49},              // and on one, at each multiple
      {2048, 700.25, 0, 1025},     // far from any peak but one
  };
  for (const auto& c : cases) {
    const WindowShape shape(c.points);
    std::vector<double> run(size_t(c.count)), minus(run.size()), plus(run.size());
    shape.run(c.centre, c.first, c.count, run.data());
    shape.pair(c.centre, c.first, c.count, minus.data(), plus.data());
    for (int i = 0; i < c.count; ++i) {
      const int k = c.first + i;
      const double tolerance = 1e-11 * c.points;
      EXPECT_NEAR(run[size_t(i)], shape.at(k - c.centre), tolerance) << c.points << " " << c.centre << " bin " << k;
      EXPECT_NEAR(minus[size_t(i)], shape.at(k - c.centre), tolerance) << c.points << " " << c.centre << " bin " << k;
      EXPECT_NEAR(plus[size_t(i)], shape.at(k + c.centre), tolerance) << c.points << " " << c.centre << " bin " << k;
    }
  }
}
