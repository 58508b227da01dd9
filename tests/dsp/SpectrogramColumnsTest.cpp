// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A span's frames into a picture's columns: each column the mean of the
// frames that fall in it, in order, whatever the span's length.
#include "dsp/SpectrogramColumns.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dsp;

TEST(SpectrogramColumns, FramesFallIntoColumnsInOrderAndAreAveraged) {
  struct Case {
    uint64_t expected;  // frames the span was to give
    int columns;
    uint64_t added;            // frames it gave
    std::vector<float> means;  // per column: frame n has power n in every bin
  };
  for (const Case& c : {
           Case{10, 4, 10, {1, 3.5, 6, 8.5}},  // 10 frames: columns of 3, 2, 3, 2
           Case{3, 8, 3, {0, 1, 2}},           // fewer frames than columns: a column each
           Case{12, 4, 5, {1, 3.5}},           // ended early: the columns reached
           Case{4, 2, 6, {0.5, 3.5}},          // frames past the expected go to the last column
       }) {
    SpectrogramColumns s(3, c.expected, c.columns);
    for (uint64_t n = 0; n < c.added; ++n) {
      const std::vector<float> powers(3, float(n));
      s.add(powers.data());
    }
    s.finish();
    ASSERT_EQ(s.columns(), int(c.means.size())) << c.expected << " into " << c.columns;
    for (int col = 0; col < s.columns(); ++col)
      for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(s.column(col)[k], c.means[size_t(col)]) << "column " << col;
  }
}
