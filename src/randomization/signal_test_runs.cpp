#include "randomization/signal_test_runs.hpp"

#include <vector>

#include "core/console.hpp"
#include "randomization/permutation_summary.hpp"

namespace quorvel::randomization {

namespace {

void put_table(const SignalTestLayout& cells, const core::FMatrix& table, float* values) {
  for (int v = 1; v <= cells.n_rows; ++v)
    for (int c = kSignalStoreFirstColumn; c <= cells.n_intervals; ++c) values[cells.cell(v, c)] = table[v][c];
}

}  // namespace

ValueStore run_signal_test(const RandomizationRunner& runner, const SignalTestLayout& layout,
                           const core::FMatrix& observed, int n, const SignalTest& test) {
  ValueStore store(layout.width(), n);
  put_table(layout, observed, store.values(0));
  store.values(0)[layout.unmapped()] = 0;
  std::vector<core::FMatrix> tables(static_cast<std::size_t>(runner.workers()),
                                    core::matrix(-1, layout.n_rows, kSignalStoreFirstColumn, layout.n_intervals));
  RandomizationSteps steps;
  steps.n_values = layout.width();
  steps.draw = test.draw;
  steps.evaluate = [&](int slot, int worker, float* values) {
    core::FMatrix& table = tables[static_cast<std::size_t>(worker)];
    const core::FMatrix* traits = nullptr;
    const core::FMatrix* divergences = nullptr;
    values[layout.unmapped()] = static_cast<float>(test.inputs(slot, worker, traits, divergences));
    test.signal(*traits, *divergences, table);
    put_table(layout, table, values);
  };
  steps.kept = [&](int, const float* values) {
    for (int k = 0; k < static_cast<int>(values[layout.unmapped()]); ++k) core::console_print("\ntrouble");
  };
  runner.run(steps, store);
  return store;
}

TestSummaryMatrix summarize_signal_test(const ValueStore& store, const SignalTestLayout& layout) {
  TestSummaryMatrix summaries =
      resample_stat_type_matrix(0, layout.n_rows, kSignalStoreFirstColumn, layout.n_intervals);
  for (int v = 1; v <= layout.n_rows; ++v)
    for (int c = kSignalStoreFirstColumn; c <= layout.n_intervals; ++c)
      summaries(v, c) =
          summarize_value(store, layout.cell(v, c), store.n_randomizations(), UndefinedRule::kSummarizeAll);
  return summaries;
}

}  // namespace quorvel::randomization
