#include "traits/signal_tests.hpp"

#include <algorithm>
#include <vector>

#include "core/constants.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/signal_test_runs.hpp"
#include "traits/brownian_traits.hpp"
#include "traits/trait_signal.hpp"

namespace quorvel::traits {

namespace {

using randomization::kSignalStoreFirstColumn;

// Phylogeny randomizations of the signal always permute the species of the
// run among their own tips.
constexpr float kSampledSpecies = 0.0f;

// The randomizations of a signal test, the signal computed for each as for
// the observed data, then summarized.
randomization::TestSummaryMatrix run_test(const SignalData& data, const core::FMatrix& observed, int n, int n_threads,
                                          randomization::SliceLedger* ledger, randomization::SignalTest test) {
  test.signal = [&data](const core::FMatrix& trait_values, const core::FMatrix& divergences, core::FMatrix& table) {
    compute_signal(data, trait_values, divergences, table);
  };
  const randomization::SignalTestLayout layout{data.n_rows(), data.n_intervals};
  const randomization::ValueStore store = randomization::run_signal_test(
      randomization::RandomizationRunner::for_test(n_threads, n, ledger), layout, observed, n, test);
  return randomization::summarize_signal_test(store, layout);
}

}  // namespace

core::FMatrix signal_table(const SignalData& data) {
  return core::matrix(-1, data.n_rows(), kSignalStoreFirstColumn, data.n_intervals);
}

void compute_signal(const SignalData& data, const core::FMatrix& trait_values, const core::FMatrix& divergences,
                    core::FMatrix& table) {
  table.fill(MISSING_VALUE_F);
  analyse_trait_signal(data.n_species, data.n_intervals, *data.limits, data.n_trait_variables,
                       *data.variable_categories, trait_values, *data.distances, data.n_distance_variables, divergences,
                       table);
}

randomization::TestSummaryMatrix signal_phylogeny_test(const SignalData& data, const randomization::PhylogenyView& tree,
                                                       const core::FMatrix& observed, float sub_clade_age,
                                                       float restriction, const std::string& clade_name, int n,
                                                       int n_threads, randomization::SliceLedger* ledger,
                                                       randomization::RandomGenerator& generator) {
  // Weight 1 at the tip of every species of the run: the permutations move
  // the sampled species among their own tips.
  core::FVector weights = core::vector(1, std::max(tree.n_tips(), 1));
  for (int s = 1; s <= data.n_species; ++s) {
    const int leaf = tree.tree->tip_of(s);
    if (leaf >= 1 && leaf <= tree.n_tips()) weights[leaf] = 1.0f;
  }
  std::vector<core::IVector> permutations(static_cast<std::size_t>(randomization::kRandomizationBatchSize));
  // One matrix per worker the runner may start.
  std::vector<core::FMatrix> randomized(static_cast<std::size_t>(randomization::randomization_workers(n_threads)),
                                        core::matrix(0, data.n_species, 0, data.n_species));
  auto draw = [&](int slot) {
    randomization::draw_phylogeny_permutation(sub_clade_age, restriction, clade_name, kSampledSpecies, *tree.nodes,
                                              tree.tree->last_number, tree.n_tips(), weights,
                                              permutations[static_cast<std::size_t>(slot)], generator);
  };
  // Mode 0 exchanges rows of the observed matrix: no tree is needed.
  auto inputs = [&](int slot, int worker, const core::FMatrix*& trait_values, const core::FMatrix*& divergences) {
    core::FMatrix& matrix = randomized[static_cast<std::size_t>(worker)];
    trait_values = data.traits;
    divergences = &matrix;
    return randomization::apply_phylogeny_permutation(
        data.n_species, tree.n_tips(), tree.tree->tip_of_species, tree.tree->species_of_tip,
        permutations[static_cast<std::size_t>(slot)], *tree.divergences, matrix);
  };
  return run_test(data, observed, n, n_threads, ledger, {draw, inputs, {}});
}

randomization::TestSummaryMatrix brownian_signal_test(const SignalData& data, const randomization::PhylogenyView& tree,
                                                      const core::FMatrix& observed, const core::FMatrix& se,
                                                      const std::string& se_file, int n, int n_threads,
                                                      randomization::SliceLedger* ledger,
                                                      randomization::RandomGenerator& generator) {
  // A simulation draws from the run's stream: it is the randomization's draw.
  std::vector<core::FMatrix> simulated(static_cast<std::size_t>(randomization::kRandomizationBatchSize),
                                       core::matrix(0, data.n_trait_variables, 0, data.n_species));
  auto draw = [&](int slot) {
    simulate_brownian_traits(generator, *tree.nodes, tree.tree->last_number, tree.n_tips(), tree.tree->species_of_tip,
                             data.n_trait_variables, data.n_species, *data.traits, se,
                             simulated[static_cast<std::size_t>(slot)], se_file);
  };
  auto inputs = [&](int slot, int, const core::FMatrix*& trait_values, const core::FMatrix*& divergences) {
    trait_values = &simulated[static_cast<std::size_t>(slot)];
    divergences = tree.divergences;
    return 0;
  };
  return run_test(data, observed, n, n_threads, ledger, {draw, inputs, {}});
}

}  // namespace quorvel::traits
