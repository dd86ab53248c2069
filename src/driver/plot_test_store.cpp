#include "driver/plot_test_store.hpp"

#include <algorithm>
#include <cmath>

#include "core/constants.hpp"
#include "randomization/permutation_summary.hpp"

namespace quorvel::driver {

namespace {

constexpr int kFirstEntry = -20;

bool is_defined(float value) { return value != MISSING_VALUE_F && !std::isnan(value); }

}  // namespace

PlotTestStore::PlotTestStore(int n_classes, int n_randomizations) : n_classes_(std::max(n_classes, 0)) {
  global_.assign(5 * 5, core::vector(0, n_randomizations));
  regression_.assign(static_cast<std::size_t>(5 * (n_classes_ + 24)), core::vector(0, n_randomizations));
}

core::FVector& PlotTestStore::global(int statistic, int component) {
  return global_[static_cast<std::size_t>(statistic * 5 + component)];
}

core::FVector& PlotTestStore::regression(int statistic, int entry) {
  return regression_[static_cast<std::size_t>(statistic * (n_classes_ + 24) + entry - kFirstEntry)];
}

void PlotTestStore::put_global(int index, int statistic, double within, double among, float st) {
  global(statistic, 1)[index] = store_value(within);
  global(statistic, 2)[index] = store_value(among);
  global(statistic, 3)[index] = st;
}

void PlotTestStore::put_row(int index, int statistic, const partition::RegressionRow& row) {
  for (int entry = kFirstEntry; entry <= n_classes_ + 3; ++entry) regression(statistic, entry)[index] = row[entry];
}

void PlotTestStore::summarize(int first, int last, int kept, bool with_globals,
                              randomization::TestSummaryMatrix& global_summaries,
                              randomization::TestSummaryMatrix& regression_summaries) {
  for (int statistic = first; statistic <= last; ++statistic) {
    if (with_globals) {
      for (int component = 1; component <= 3; ++component) {
        summarize_values(global(statistic, component), kept, global_summaries(statistic, component));
      }
    }
    for (int entry = kFirstEntry; entry <= n_classes_ + 2; ++entry) {
      summarize_values(regression(statistic, entry), kept, regression_summaries(statistic, entry));
    }
  }
}

void summarize_values(core::FVector& v, int kept, randomization::TestSummary& summary) {
  const float observed = v[0];
  int defined = 0;
  for (int i = 1; i <= kept; ++i) {
    if (is_defined(v[i])) v[++defined] = v[i];
  }
  randomization::summarize_permutations(v, 1, defined, summary, observed);
  if (!is_defined(observed)) {
    summary.observed = MISSING_VALUE_F;
    summary.p_lower = summary.p_upper = summary.p_two_sided = MISSING_VALUE;
  }
}

float store_value(double value) { return is_missing(value) ? MISSING_VALUE_F : static_cast<float>(value); }

double one_minus_ratio(double a, double b) {
  if (is_missing(a) || is_missing(b) || std::isnan(a) || std::isnan(b) || b == 0.0) return MISSING_VALUE;
  return 1.0 - a / b;
}

}  // namespace quorvel::driver
