#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "partition/distance_regression.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::driver {

/// The values of one plot-level randomization test, single precision: for
/// each quantity a vector [0..N] whose index 0 holds the observed value and
/// 1..N the randomized values kept. Global quantities are [statistic 1..4]
/// [component 1 within, 2 among, 3 st]; regression quantities [statistic
/// 1..4][entry -20..C+3] of the regression rows.
class PlotTestStore {
 public:
  PlotTestStore(int n_classes, int n_randomizations);

  int n_classes() const { return n_classes_; }
  core::FVector& global(int statistic, int component);
  core::FVector& regression(int statistic, int entry);

  /// Puts within, among and st of a statistic at `index`.
  void put_global(int index, int statistic, double within, double among, float st);
  /// Puts every entry of a regression row at `index`.
  void put_row(int index, int statistic, const partition::RegressionRow& row);

  /// Summaries of statistics first..last over the kept values 1..kept:
  /// components 1..3 into global(statistic, 1..3) when `with_globals`, and
  /// entries -20..C+2 into regression(statistic, entry).
  void summarize(int first, int last, int kept, bool with_globals, randomization::TestSummaryMatrix& global,
                 randomization::TestSummaryMatrix& regression);

 private:
  int n_classes_;
  std::vector<core::FVector> global_;      // 5 x 5
  std::vector<core::FVector> regression_;  // 5 x (C + 24)
};

/// Summary of the values v[1..kept] with observed v[0]. Undefined values
/// (MISSING_VALUE or not a number) are left out, so the summary describes
/// the randomizations that gave a value; an undefined observed value has no
/// P-values. v is reordered.
void summarize_values(core::FVector& v, int kept, randomization::TestSummary& summary);

/// A float store value of a double result (MISSING_VALUE stays missing).
float store_value(double value);

/// 1 - a / b, or MISSING_VALUE when an operand is undefined or b is 0.
double one_minus_ratio(double a, double b);

}  // namespace quorvel::driver
