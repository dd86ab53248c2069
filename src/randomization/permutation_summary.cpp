#include "randomization/permutation_summary.hpp"

#include <algorithm>
#include <cmath>

#include "core/constants.hpp"

namespace quorvel::randomization {

namespace {

// Shell's method over a[first..last].
void shell_sort_range(core::FVector& a, int first, int last) {
  const int n = last - first + 1;
  int h = 1;
  while (h <= n) h = 3 * h + 1;
  do {
    h /= 3;
    for (int i = h + 1; i <= n; ++i) {
      const float x = a[first - 1 + i];
      int j = i;
      while (a[first - 1 + j - h] > x) {
        a[first - 1 + j] = a[first - 1 + j - h];
        j -= h;
        if (j <= h) break;
      }
      a[first - 1 + j] = x;
    }
  } while (h > 1);
}

// Envelope bound at first + offset, offset = floor(numerator * n / denominator)
// (+1 for the upper bound), never past the last value.
float envelope_value(const core::FVector& v, int first, int last, double numerator, double denominator, bool upper) {
  const int n = last - first + 1;
  int k = static_cast<int>(numerator * n / denominator);
  if (upper) {
    k += 1;
    if (first + k > last) k = last - first;
  }
  return v[first + k];
}

// One-sided P-value from the count of permuted values at least as extreme.
// The observed arrangement is one of the n + 1 equally likely ones, so it
// counts on its own side: a permutation P-value is never below 1/(n + 1).
double one_sided_p(int count, int n) { return static_cast<double>(count + 1) / static_cast<double>(n + 1); }

}  // namespace

void shell_sort(int n, core::FVector& a) {
  if (n > 1) shell_sort_range(a, 1, n);
}

void summarize_permutations(core::FVector& v, int first, int last, TestSummary& summary, float observed) {
  const int n = last - first + 1;
  summary.observed = observed;
  summary.valid_count = n < 1 ? 0 : n;
  if (n < 1) {
    // No randomization was kept: nothing can be said about the distribution.
    summary.mean = summary.sd = MISSING_VALUE_F;
    summary.ci95_low = summary.ci95_high = summary.ci99_low = summary.ci99_high = MISSING_VALUE_F;
    summary.p_lower = summary.p_upper = summary.p_two_sided = MISSING_VALUE;
    summary.distinct_count = 0;
    return;
  }

  long double sum = 0;  // extended precision, so that long runs lose nothing
  for (int i = first; i <= last; ++i) sum += v[i];
  const double mean = static_cast<double>(sum / n);
  summary.mean = static_cast<float>(mean);
  if (n > 1) {
    double squares = 0;
    for (int i = first; i <= last; ++i) squares += (v[i] - mean) * (v[i] - mean);
    summary.sd = static_cast<float>(std::sqrt(squares / (n - 1)));
  } else {
    summary.sd = MISSING_VALUE_F;
  }

  if (n > 1) shell_sort_range(v, first, last);

  int distinct = 1;
  for (int i = first + 1; i <= last; ++i) {
    if (!(v[i] == v[i - 1])) ++distinct;  // a NaN differs from everything
  }
  summary.distinct_count = distinct;

  if (n >= kEnvelopeMinimum) {
    summary.ci95_low = envelope_value(v, first, last, 1.0, 40.0, false);
    summary.ci95_high = envelope_value(v, first, last, 39.0, 40.0, true);
  } else {
    summary.ci95_low = summary.ci95_high = 0;
  }
  if (n >= kEnvelope99Minimum) {
    summary.ci99_low = envelope_value(v, first, last, 1.0, 200.0, false);
    summary.ci99_high = envelope_value(v, first, last, 199.0, 200.0, true);
  } else {
    summary.ci99_low = summary.ci99_high = 0;
  }

  // Ties count on both sides.
  int at_most = 0;
  while (at_most < n && v[first + at_most] <= observed) ++at_most;
  int at_least = 0;
  while (at_least < n && v[last - at_least] >= observed) ++at_least;
  summary.p_lower = one_sided_p(at_most, n);
  summary.p_upper = one_sided_p(at_least, n);
  const double two_sided =
      1.0 - std::max(summary.p_lower, summary.p_upper) + std::min(summary.p_lower, summary.p_upper);
  summary.p_two_sided = two_sided > 1.0 ? 1.0 : two_sided;
}

TestSummaryMatrix resample_stat_type_matrix(int row_lo, int row_hi, int col_lo, int col_hi) {
  return TestSummaryMatrix(row_lo, row_hi, col_lo, col_hi, "\nallocation failure 2 in resample_stat_type_matrix()");
}

}  // namespace quorvel::randomization
