#include "driver/phylogeny_traits_store.hpp"

#include <cmath>

#include "core/constants.hpp"
#include "randomization/permutation_summary.hpp"

namespace quorvel::driver {

SignalTestStore make_signal_test_store(int n_rows, int n_intervals, int n_randomizations,
                                       const core::FMatrix& observed) {
  SignalTestStore store;
  store.n_rows = n_rows;
  store.n_intervals = n_intervals;
  store.values = core::f3tensor(1, n_rows, kSignalStoreFirstColumn, n_intervals, 0, n_randomizations);
  store.values.fill(MISSING_VALUE_F);
  for (int v = 1; v <= n_rows; ++v) {
    for (int c = kSignalStoreFirstColumn; c <= n_intervals; ++c) store.values(v, c, 0) = observed[v][c];
  }
  return store;
}

void store_signal_values(SignalTestStore& store, int index, const core::FMatrix& table) {
  for (int v = 1; v <= store.n_rows; ++v) {
    for (int c = kSignalStoreFirstColumn; c <= store.n_intervals; ++c) store.values(v, c, index) = table[v][c];
  }
}

randomization::TestSummaryMatrix make_signal_summaries(const SignalTestStore& store) {
  return randomization::resample_stat_type_matrix(0, store.n_rows, kSignalStoreFirstColumn, store.n_intervals);
}

void summarize_signal_test(const SignalTestStore& store, int n_randomizations,
                           randomization::TestSummaryMatrix& summaries) {
  core::FVector kept = core::vector(1, n_randomizations > 0 ? n_randomizations : 1);
  for (int v = 1; v <= store.n_rows; ++v) {
    for (int c = kSignalStoreFirstColumn; c <= store.n_intervals; ++c) {
      // Only defined values describe the null distribution; a missing
      // (infinite) marker would turn the mean and the envelopes into nonsense.
      int n_kept = 0;
      for (int i = 1; i <= n_randomizations; ++i) {
        const float value = store.values(v, c, i);
        if (std::isfinite(value)) kept[++n_kept] = value;
      }
      randomization::TestSummary& summary = summaries(v, c);
      randomization::summarize_permutations(kept, 1, n_kept, summary, store.values(v, c, 0));
      summary.valid_count = n_kept;
    }
  }
}

}  // namespace quorvel::driver
