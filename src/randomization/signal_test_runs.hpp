#pragma once

#include <functional>

#include "core/arrays.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/test_summary.hpp"
#include "randomization/value_store.hpp"

namespace quorvel::randomization {

/// First column kept from a trait signal table: the summary columns -9..-1
/// (and one spare column before them), then the divergence intervals.
inline constexpr int kSignalStoreFirstColumn = -10;

/// Where cell (v, c) of a trait signal table (rows 1..n_rows, columns
/// kSignalStoreFirstColumn..n_intervals) stands in a randomization's values;
/// the last value counts the permuted tips that held no species.
struct SignalTestLayout {
  int n_rows = 0;
  int n_intervals = 0;
  int columns() const { return n_intervals - kSignalStoreFirstColumn + 1; }
  int cell(int v, int c) const { return (v - 1) * columns() + c - kSignalStoreFirstColumn; }
  int unmapped() const { return n_rows * columns(); }
  int width() const { return unmapped() + 1; }
};

/// A test of the trait signal: `draw(slot)` draws a randomization (a
/// permutation of the species on the tree, or simulated traits) from the
/// run's stream; `inputs(slot, worker, traits, divergences)` points at the
/// slot's trait values and divergences and returns the count of unmapped
/// tips; `signal(traits, divergences, table)` fills a signal table [-1..n_rows]
/// [kSignalStoreFirstColumn..n_intervals] afresh. Index 0 of the store holds
/// `observed` (a table of the same shape).
struct SignalTest {
  std::function<void(int slot)> draw;
  std::function<int(int slot, int worker, const core::FMatrix*& traits, const core::FMatrix*& divergences)> inputs;
  std::function<void(const core::FMatrix& traits, const core::FMatrix& divergences, core::FMatrix& table)> signal;
};

/// Runs n randomizations of a signal test with `runner`.
ValueStore run_signal_test(const RandomizationRunner& runner, const SignalTestLayout& layout,
                           const core::FMatrix& observed, int n, const SignalTest& test);

/// Each cell summarized over the randomizations that gave it a value:
/// summaries [0..n_rows][kSignalStoreFirstColumn..n_intervals].
TestSummaryMatrix summarize_signal_test(const ValueStore& store, const SignalTestLayout& layout);

}  // namespace quorvel::randomization
