#include "individuals/individual_tests.hpp"

#include <vector>

#include "randomization/clade_permutation.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/value_store.hpp"

namespace quorvel::individuals {

namespace {

// Records of one row of a store: -1 the value of the whole base population
// ("Dp", the total), 0 the row's value over all pairs, 1 the average of its
// distance classes, 2..C+1 the classes 1..C.
int records_per_row(int n_classes) { return n_classes + 3; }

using randomization::store_value;

// Fills `values` [statistic][row][record] (flattened) from one turnover.
void turnover_values(const SpeciesTurnover& turnover, int rows, int n_classes, float* values) {
  const int width = records_per_row(n_classes);
  for (int statistic = 0; statistic < kIndividualTestStatistics; ++statistic) {
    const double total = statistic == 0 ? turnover.total_D : turnover.total_R;
    for (int r = 0; r <= rows; ++r) {
      const core::DVector& row = statistic == 0 ? turnover.rows[r].P : turnover.rows[r].R;
      float* out = values + (statistic * (rows + 1) + r) * width;
      out[0] = store_value(total);
      out[1] = store_value(row[0]);
      double sum = 0;
      int count = 0;
      for (int c = 1; c <= n_classes; ++c) {
        out[c + 2] = store_value(row[c]);
        if (row[c] != MISSING_VALUE) {
          sum += row[c];
          ++count;
        }
      }
      out[2] = count > 0 ? static_cast<float>(sum / count) : MISSING_VALUE_F;
    }
  }
}

}  // namespace

IndividualTestSummaries run_individual_tree_test(const phylogeny::NodeTable& nodes, int n_nodes, int n_tips,
                                                 const core::IVector& leaf_of_species,
                                                 const IndividualPairResults& observed, float sub_clade_age,
                                                 float restriction, const std::string& clade_name, int n, int n_threads,
                                                 randomization::SliceLedger* ledger,
                                                 randomization::RandomGenerator& generator) {
  const int rows = observed.pair_counts.hi();
  const int C = observed.n_classes;
  const int S = observed.n_species;
  const int width = records_per_row(C);
  const int block = kIndividualTestStatistics * (rows + 1) * width;

  randomization::ValueStore store(block, n);
  turnover_values(observed.turnover, rows, C, store.values(0));
  const randomization::RandomizationRunner runner = randomization::RandomizationRunner::for_test(n_threads, n, ledger);
  std::vector<phylogeny::NodeTable> trees(static_cast<std::size_t>(runner.batch_size()), nodes);
  std::vector<core::FMatrix> worker_divergences(static_cast<std::size_t>(runner.workers()), core::matrix(0, S, 0, S));
  std::vector<std::vector<int>> worker_marks(static_cast<std::size_t>(runner.workers()));
  randomization::RandomizationSteps steps;
  steps.n_values = block;
  steps.draw = [&](int slot) {
    randomization::permute_clades(sub_clade_age, restriction, clade_name, nodes, n_nodes, n_tips,
                                  trees[static_cast<std::size_t>(slot)], generator);
  };
  steps.evaluate = [&](int slot, int worker, float* values) {
    core::FMatrix& divergences = worker_divergences[static_cast<std::size_t>(worker)];
    randomization::randomized_tree_divergences(trees[static_cast<std::size_t>(slot)], S, leaf_of_species, divergences,
                                               worker_marks[static_cast<std::size_t>(worker)]);
    turnover_values(compute_species_turnover(divergences, observed.pair_counts, S, C), rows, C, values);
  };
  runner.run(steps, store);

  // One summary per record; a record without observed value, or without any
  // valid randomized value, has none.
  IndividualTestSummaries summaries;
  for (int statistic = 0; statistic < kIndividualTestStatistics; ++statistic) {
    randomization::TestSummaryMatrix& table = summaries.statistics[statistic];
    table = randomization::resample_stat_type_matrix(0, rows, -1, C + 3);
    for (int r = 0; r <= rows; ++r) {
      for (int record = 0; record < width; ++record) {
        const int offset = (statistic * (rows + 1) + r) * width + record;
        table(r, record - 1) = randomization::summarize_value(store, offset, n, randomization::UndefinedRule::kNothing);
        table(r, record - 1).object = r;
      }
    }
  }
  return summaries;
}

}  // namespace quorvel::individuals
