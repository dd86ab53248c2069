#pragma once

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::partition::testing {

/// True when two doubles agree to `relative` (or 1e-12 absolute), both missing included.
inline bool close(double a, double b, double relative = 1e-9) {
  if (is_missing(a) || is_missing(b)) return is_missing(a) && is_missing(b);
  if (std::isnan(a) || std::isnan(b)) return false;
  return std::fabs(a - b) <= relative * std::fmax(std::fabs(a), std::fabs(b)) + 1e-12;
}

/// Compares every output of two partitions over plots 0..n and columns 0..R;
/// float pairwise values agree to float rounding.
inline ::testing::AssertionResult same_partition(const PartitionTables& a, const PartitionTables& b, int n, int R) {
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    for (int k = 0; k <= n; ++k)
      for (int l = 0; l <= n; ++l) {
        const double x = a.pairwise[code][k][l], y = b.pairwise[code][k][l];
        if (std::isnan(x) || std::isnan(y) || !close(x, y, 3e-7))
          return ::testing::AssertionFailure()
                 << "pairwise statistic " << code << " [" << k << "][" << l << "]: " << x << " vs " << y;
      }
  }
  const IntervalPartition* ta[5] = {&a.interval[1], &a.interval[2], &a.interval[3], &a.interval[4], &a.species_pairs};
  const IntervalPartition* tb[5] = {&b.interval[1], &b.interval[2], &b.interval[3], &b.interval[4], &b.species_pairs};
  for (int q = 0; q < 5; ++q)
    for (int row = 0; row <= 2; ++row)
      for (int m = 0; m <= R; ++m) {
        const double x = (*ta[q])[row][m], y = (*tb[q])[row][m];
        if (!close(x, y))
          return ::testing::AssertionFailure()
                 << "table " << q << " [" << row << "][" << m << "]: " << x << " vs " << y;
      }
  for (int q = 0; q < kPartitionQuantities; ++q)
    for (int m = 0; m <= R; ++m)
      if (a.left_out.plots(q, m) != b.left_out.plots(q, m))
        return ::testing::AssertionFailure() << "plots left out of quantity " << q << " in column " << m;
  return ::testing::AssertionSuccess();
}

}  // namespace quorvel::partition::testing
