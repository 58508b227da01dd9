// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "dsp/LeastSquares.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace dsp {

namespace {

// x . y over n values, in four running sums: a single sum waits on each
// addition before the next, four keep the processor's adders busy.
double dot(const double* x, const double* y, size_t n) {
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    s0 += x[i] * y[i];
    s1 += x[i + 1] * y[i + 1];
    s2 += x[i + 2] * y[i + 2];
    s3 += x[i + 3] * y[i + 3];
  }
  for (; i < n; ++i) s0 += x[i] * y[i];
  return (s0 + s1) + (s2 + s3);
}

}  // namespace

void LeastSquares::reset(size_t rows, size_t columns) {
  rows_ = rows;
  columns_ = columns;
  a_.assign(rows * columns, 0.0);
  y_.assign(rows, 0.0);
  x_.assign(columns, 0.0);
}

double LeastSquares::solve(double tolerance) {
  auto a = [this](size_t r, size_t c) -> double& { return a_[c * rows_ + r]; };
  // Columns are compared by direction, not by size: each is scaled to unit
  // length first (an all-zero column is left out).
  std::vector<double>& scale = scale_;
  scale.assign(columns_, 0.0);
  for (size_t c = 0; c < columns_; ++c) {
    double s = 0;
    for (size_t r = 0; r < rows_; ++r) s += a(r, c) * a(r, c);
    scale[c] = s > 0 ? 1 / std::sqrt(s) : 0;
    for (size_t r = 0; r < rows_; ++r) a(r, c) *= scale[c];
  }
  std::vector<size_t>& order = order_;
  order.resize(columns_);
  std::iota(order.begin(), order.end(), size_t{0});
  // What is left of each column below the rows done, squared: kept up to
  // date by taking off each finished row, and summed afresh where that has
  // taken off nearly all of it (the difference would be mostly rounding).
  std::vector<double> left(columns_);
  for (size_t c = 0; c < columns_; ++c) left[c] = scale[c] > 0 ? 1.0 : 0.0;
  const size_t steps = std::min(rows_, columns_);
  size_t rank = 0;
  for (size_t j = 0; j < steps; ++j) {
    // The column with the most left to explain goes next.
    size_t pivot = j;
    for (size_t c = j; c < columns_; ++c) {
      if (left[c] < 1e-6) left[c] = dot(&a(j, c), &a(j, c), rows_ - j);
      if (left[c] > left[pivot]) pivot = c;
    }
    // What is left of the best column is the sine of its angle to the
    // columns taken so far.
    const double best = left[pivot];
    const double norm = std::sqrt(best);
    if (!(norm > tolerance)) break;
    if (pivot != j) {
      std::swap_ranges(&a(0, j), &a(0, j) + rows_, &a(0, pivot));
      std::swap(order[j], order[pivot]);
      std::swap(left[j], left[pivot]);
    }
    // Reflect column j onto its diagonal: v = x - alpha e_j.
    const double alpha = a(j, j) > 0 ? -norm : norm;
    const double vj = a(j, j) - alpha;
    const double vv = best - a(j, j) * a(j, j) + vj * vj;
    a(j, j) = vj;
    for (size_t c = j + 1; c < columns_; ++c) {
      const double d = dot(&a(j, j), &a(j, c), rows_ - j) * (2 / vv);
      for (size_t r = j; r < rows_; ++r) a(r, c) -= d * a(r, j);
      left[c] -= a(j, c) * a(j, c);
    }
    const double d = dot(&a(j, j), &y_[j], rows_ - j) * (2 / vv);
    for (size_t r = j; r < rows_; ++r) y_[r] -= d * a(r, j);
    a(j, j) = alpha;
    rank = j + 1;
  }
  rank_ = rank;
  std::vector<double> z(rank);
  for (size_t i = rank; i-- > 0;) {
    double s = y_[i];
    for (size_t c = i + 1; c < rank; ++c) s -= a(i, c) * z[c];
    z[i] = s / a(i, i);
  }
  std::fill(x_.begin(), x_.end(), 0.0);
  for (size_t i = 0; i < rank; ++i) x_[order[i]] = z[i] * scale[order[i]];
  double residual = 0;
  for (size_t r = rank; r < rows_; ++r) residual += y_[r] * y_[r];
  return residual;
}

std::vector<double> LeastSquares::varianceFactors() const {
  // (A'A)^-1 = P S R^-1 R^-T S P' for A P S = Q R (P the pivoting, S the
  // scaling): the diagonal is the squared norm of each row of R^-1, scaled.
  auto r = [this](size_t i, size_t j) { return a_[j * rows_ + i]; };
  std::vector<double> inverse(rank_ * rank_, 0.0);  // R^-1, upper triangular, by rows
  for (size_t j = rank_; j-- > 0;) {
    inverse[j * rank_ + j] = 1 / r(j, j);
    for (size_t i = j; i-- > 0;) {
      double s = 0;
      for (size_t k = i + 1; k <= j; ++k) s += r(i, k) * inverse[k * rank_ + j];
      inverse[i * rank_ + j] = -s / r(i, i);
    }
  }
  std::vector<double> factors(columns_, 0.0);
  for (size_t i = 0; i < rank_; ++i) {
    double s = 0;
    for (size_t k = i; k < rank_; ++k) s += inverse[i * rank_ + k] * inverse[i * rank_ + k];
    factors[order_[i]] = s * scale_[order_[i]] * scale_[order_[i]];
  }
  return factors;
}

}  // namespace dsp
