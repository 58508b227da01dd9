// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Small dense linear least squares: the x that minimises |A x - y|, by
// Householder QR with column pivoting. A column that adds nothing new (the
// sine of its angle to the columns already taken is below the tolerance) is
// left out and gets 0: the fits carry terms that vanish for some tones, and
// must not let them turn into noise amplifiers.
#pragma once

#include <cstddef>
#include <vector>

namespace dsp {

class LeastSquares {
 public:
  LeastSquares() = default;
  LeastSquares(size_t rows, size_t columns) { reset(rows, columns); }
  // A new, all-zero problem of this size, in the storage of the last.
  void reset(size_t rows, size_t columns);

  double& at(size_t row, size_t column) { return a_[column * rows_ + row]; }
  double& target(size_t row) { return y_[row]; }

  // Solves, destroying the matrix and the target. Returns the squared norm
  // of the residual; solution() then holds x.
  double solve(double tolerance = 1e-10);
  const std::vector<double>& solution() const { return x_; }
  // After solve: the diagonal of (A'A)^-1, what a unit variance of each
  // target makes the variance of each x; 0 for a column left out.
  std::vector<double> varianceFactors() const;

 private:
  size_t rows_ = 0, columns_ = 0, rank_ = 0;
  std::vector<double> a_, y_, x_;  // a_ by columns: the solver walks down them
  std::vector<double> scale_;      // of each column, to unit length
  std::vector<size_t> order_;      // the columns in the order taken
};

}  // namespace dsp
