#include "randomization/value_store.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/constants.hpp"
#include "randomization/permutation_summary.hpp"

namespace quorvel::randomization {

ValueStore::ValueStore(int width, int n_randomizations)
    : width_(std::max(width, 0)),
      n_randomizations_(std::max(n_randomizations, 0)),
      values_(offset(n_randomizations_ + 1), MISSING_VALUE_F) {}

void ValueStore::keep(int i, const float* values) {
  std::memcpy(this->values(i), values, sizeof(float) * static_cast<std::size_t>(width_));
}

core::FVector ValueStore::column(int j) const {
  core::FVector v = core::vector(0, n_randomizations_);
  for (int i = 0; i <= n_randomizations_; ++i) v[i] = values(i)[j];
  return v;
}

TestSummary summarize_value(const ValueStore& store, int j, int kept, UndefinedRule rule) {
  core::FVector v = store.column(j);
  return summarize_values(v, kept, rule);
}

TestSummary summarize_values(core::FVector& v, int kept, UndefinedRule rule) {
  const float observed = v[0];
  int defined = 0;
  for (int i = 1; i <= kept; ++i) {
    if (std::isfinite(v[i])) v[++defined] = v[i];
  }
  TestSummary summary;
  summary.valid_count = defined;
  if (rule == UndefinedRule::kNothing && (observed == MISSING_VALUE_F || defined == 0)) {
    summary.observed = summary.mean = summary.sd = MISSING_VALUE_F;
    summary.ci95_low = summary.ci95_high = summary.ci99_low = summary.ci99_high = MISSING_VALUE_F;
    summary.p_lower = summary.p_upper = summary.p_two_sided = MISSING_VALUE;
    return summary;
  }
  summarize_permutations(v, 1, defined, summary, observed);
  if (rule == UndefinedRule::kNoPValues && !std::isfinite(observed)) {
    summary.observed = MISSING_VALUE_F;
    summary.p_lower = summary.p_upper = summary.p_two_sided = MISSING_VALUE;
  }
  return summary;
}

float store_value(double value) { return is_missing(value) ? MISSING_VALUE_F : static_cast<float>(value); }

double one_minus_ratio(double a, double b) {
  if (is_missing(a) || is_missing(b) || std::isnan(a) || std::isnan(b) || b == 0.0) return MISSING_VALUE;
  return 1.0 - a / b;
}

}  // namespace quorvel::randomization
