#pragma once

#include "core/arrays.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::driver {

/// First column kept from a trait signal table: the summary columns -9..-1
/// (and one spare column before them), then the divergence intervals.
inline constexpr int kSignalStoreFirstColumn = -10;

/// Values of every cell of the trait signal table over the randomizations of
/// one test (single precision): values(v, c, 0) is the observed value of row
/// v (1..n_rows), column c (kSignalStoreFirstColumn..n_intervals);
/// values(v, c, i) the value of randomization i.
struct SignalTestStore {
  core::F3Tensor values;
  int n_rows = 0;
  int n_intervals = 0;
};

/// A store for up to `n_randomizations` randomizations, with the observed
/// table (rows 1..n_rows, columns kSignalStoreFirstColumn..n_intervals of
/// `observed`) at index 0 and every other value MISSING_VALUE.
SignalTestStore make_signal_test_store(int n_rows, int n_intervals, int n_randomizations,
                                       const core::FMatrix& observed);

/// Copies rows 1..n_rows of `table` into the store at `index` (1..capacity).
void store_signal_values(SignalTestStore& store, int index, const core::FMatrix& table);

/// Zeroed summaries over rows 0..n_rows and columns
/// kSignalStoreFirstColumn..n_intervals, one per cell of the store.
randomization::TestSummaryMatrix make_signal_summaries(const SignalTestStore& store);

/// Summarizes each cell over randomizations 1..n_randomizations. A
/// randomization whose value of the cell is undefined (MISSING_VALUE: an
/// interval left without pairs, a variable without spread) is left out of
/// that cell's summary; valid_count receives the number kept. A cell whose
/// observed value is undefined keeps its summary with observed MISSING_VALUE.
void summarize_signal_test(const SignalTestStore& store, int n_randomizations,
                           randomization::TestSummaryMatrix& summaries);

}  // namespace quorvel::driver
