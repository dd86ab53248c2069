#pragma once

#include "core/arrays.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::randomization {

/// Sorts a[1..n] ascending in place (Shell's method, increments 1, 4, 13, 40, ...).
void shell_sort(int n, core::FVector& a);

/// Fills `summary` from the permuted values v[first..last] (callers pass
/// first = 1, last = N) and the observed value: mean, SD (divisor N - 1),
/// 95% envelope (N >= 40), 99% envelope (N >= 200), the three P-values
/// (one-sided (c + 1)/(N + 1), c the permuted values at least as extreme,
/// ties counting on both sides; two-sided 1 - max + min, at most 1) and the
/// number of distinct values. v[first..last] is left sorted ascending.
/// valid_count receives N; the field object is not touched. Values that
/// cannot be computed (every statistic when N = 0, the SD when N = 1) are
/// MISSING_VALUE.
void summarize_permutations(core::FVector& v, int first, int last, TestSummary& summary, float observed);

/// A table of zeroed summaries over rows row_lo..row_hi and columns
/// col_lo..col_hi. Ends the run (status 1) when it cannot be allocated.
TestSummaryMatrix resample_stat_type_matrix(int row_lo, int row_hi, int col_lo, int col_hi);

}  // namespace quorvel::randomization
