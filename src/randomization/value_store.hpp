#pragma once

#include <cstddef>
#include <vector>

#include "core/arrays.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::randomization {

/// The values of one randomization test, single precision: `width` values
/// per randomization, index 0 the observed values and 1..N the values of
/// randomization i, kept in order. A slice of randomizations computed
/// elsewhere fills the same indices; the summaries need nothing else.
class ValueStore {
 public:
  ValueStore(int width, int n_randomizations);

  int width() const { return width_; }
  int n_randomizations() const { return n_randomizations_; }

  /// The `width` values of randomization i (0 = observed).
  float* values(int i) { return values_.data() + offset(i); }
  const float* values(int i) const { return values_.data() + offset(i); }
  /// Copies `values` (width floats) to index i.
  void keep(int i, const float* values);

  /// Value j over indices 0..N, as a vector [0..N].
  core::FVector column(int j) const;

 private:
  std::size_t offset(int i) const { return static_cast<std::size_t>(i) * static_cast<std::size_t>(width_); }
  int width_;
  int n_randomizations_;
  std::vector<float> values_;
};

/// What a summary says when the observed value or every randomized value
/// is undefined (MISSING_VALUE, infinite or not a number). Randomized values
/// that are undefined are always left out, so a summary describes the
/// randomizations that gave a value (valid_count of them).
enum class UndefinedRule {
  /// An undefined observed value keeps the null distribution but has no
  /// P-values (plot-level tests).
  kNoPValues,
  /// Every value is summarized; the report hides what it cannot show
  /// (trait signal tests).
  kSummarizeAll,
  /// No summary at all without an observed value or a randomized value
  /// (individual-level tests).
  kNothing,
};

/// Summary of value j of `store` over randomizations 1..kept.
TestSummary summarize_value(const ValueStore& store, int j, int kept, UndefinedRule rule);

/// Summary of v[1..kept] with observed v[0] (v is reordered).
TestSummary summarize_values(core::FVector& v, int kept, UndefinedRule rule);

/// A float store value of a double result (MISSING_VALUE stays missing).
float store_value(double value);

/// 1 - a / b, or MISSING_VALUE when an operand is undefined or b is 0.
double one_minus_ratio(double a, double b);

}  // namespace quorvel::randomization
