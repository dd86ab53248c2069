#include "driver/phylogeny_traits_section.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/signal_test_runs.hpp"
#include "randomization/value_store.hpp"
#include "reports/report_files.hpp"
#include "reports/section_reports.hpp"
#include "traits/brownian_traits.hpp"
#include "traits/trait_signal.hpp"

namespace quorvel::driver {

namespace {

// Tests of the phylogeny whose clade restriction marks them as meant for
// other sections only.
constexpr float kTestSkippedHere = -2.0f;
// Phylogeny randomizations of this section always permute the species of
// the run among their own tips.
constexpr float kSampledSpecies = 0.0f;

// The signal analysis reads either the species trait values (row v = trait
// variable v) or, when trait distance matrices were given, one row per
// distance variable.
struct SignalVariables {
  int n_trait_variables = 0;
  int n_distance_variables = 0;  // W: 0 when the signal is measured on trait values
  int n_rows = 0;                // V
  const core::NameTable* names = nullptr;

  // What the results table needs to name the rows of the signal table.
  reports::TraitSignalRecord record(const RunState& state) const {
    return {n_rows, n_distance_variables > 0, names, state.n_divergence_intervals, &state.divergence_limits};
  }
};

SignalVariables signal_layout(const RunState& state) {
  const RunSettings& settings = state.settings;
  SignalVariables layout;
  layout.n_trait_variables = settings.n_trait_variables;
  layout.n_distance_variables = std::abs(settings.trait_distance_layout);
  if (layout.n_distance_variables > 0) {
    layout.n_rows = layout.n_distance_variables;
    layout.names = &state.trait_distance_names;
  } else {
    layout.n_rows = settings.n_trait_variables;
    layout.names = &settings.trait_variable_names;
  }
  return layout;
}

// Fills the conservatism table afresh (every cell MISSING_VALUE first) from
// `trait_values` (observed or simulated) and `divergences` (observed or
// randomized).
void compute_signal(const RunState& state, const SignalVariables& layout, const core::FMatrix& trait_values,
                    const core::FMatrix& divergences, core::FMatrix& table) {
  table.fill(MISSING_VALUE_F);
  traits::analyse_trait_signal(state.codes.n_species, state.n_divergence_intervals, state.divergence_limits,
                               layout.n_trait_variables, state.settings.trait_variable_categories, trait_values,
                               state.trait_distances, layout.n_distance_variables, divergences, table);
}

// Weight 1 at the tip of every species of the run: the permutations move
// the sampled species among their own tips.
core::FVector sampled_leaf_weights(const RunState& state) {
  core::FVector weights = core::vector(1, std::max(state.n_tips, 1));
  for (int s = 1; s <= state.codes.n_species; ++s) {
    const int leaf = state.leaf_of_species[s];
    if (leaf >= 1 && leaf <= state.n_tips) weights[leaf] = 1.0f;
  }
  return weights;
}

// Whether test t of the instruction file runs in this section: not reserved
// for other sections, and without an abundance or occurrence ratio (this
// section has no plots to weigh the species by).
bool runs_in_this_section(const RunSettings& settings, int t) {
  if (settings.test_restriction[t] == kTestSkippedHere) return false;
  const float pool = settings.test_species_pool[t];
  return pool >= -1.0f && pool <= 1.0f;
}

using randomization::kSignalStoreFirstColumn;

// A signal test of the run: its randomizations drawn by `draw`, their
// inputs pointed at by `inputs`, the signal computed as for the observed data.
randomization::ValueStore run_signal_test(RunState& state, const SignalVariables& layout, const core::FMatrix& observed,
                                          int n, randomization::SignalTest test) {
  test.signal = [&state, &layout](const core::FMatrix& traits, const core::FMatrix& divergences, core::FMatrix& table) {
    compute_signal(state, layout, traits, divergences, table);
  };
  return randomization::run_signal_test(
      randomization::RandomizationRunner::for_test(state.settings.n_threads, n, &state.slices),
      {layout.n_rows, state.n_divergence_intervals}, observed, n, test);
}

// Phylogeny randomization tests of trait conservatism: the species of the
// run are permuted among their tips (within the test's clades), the
// divergence matrix follows, and the signal is recomputed each time.
void run_phylogeny_tests(RunState& state, const SignalVariables& layout, const core::FMatrix& observed) {
  const RunSettings& settings = state.settings;
  const int n_randomizations = settings.n_phylogeny_randomizations;
  const int n_species = state.codes.n_species;
  const core::FVector weights = sampled_leaf_weights(state);
  const int batch = randomization::kRandomizationBatchSize;
  std::vector<core::IVector> permutations(static_cast<std::size_t>(batch));
  std::vector<core::FMatrix> randomized;
  for (int t = 1; t <= settings.n_phylogeny_tests; ++t) {
    if (!runs_in_this_section(settings, t)) continue;
    core::console_print(core::format("\n\nPhylogeny randomization test %i\n", t));
    auto draw = [&](int slot) {
      randomization::draw_phylogeny_permutation(settings.test_age_limit[t], settings.test_restriction[t],
                                                settings.test_clade_names[t], kSampledSpecies, state.nodes,
                                                state.n_tree_nodes, state.n_tips, weights,
                                                permutations[static_cast<std::size_t>(slot)], state.generator);
    };
    // Mode 0 exchanges rows of the observed matrix: no tree is needed.
    auto inputs = [&](int slot, int worker, const core::FMatrix*& trait_values, const core::FMatrix*& divergences) {
      core::FMatrix& matrix = randomized[static_cast<std::size_t>(worker)];
      trait_values = &state.traits;
      divergences = &matrix;
      return randomization::apply_phylogeny_permutation(
          n_species, state.n_tips, state.leaf_of_species, state.species_of_leaf,
          permutations[static_cast<std::size_t>(slot)], state.divergences, matrix);
    };
    // One matrix per worker the runner may start.
    randomized.assign(static_cast<std::size_t>(randomization::randomization_workers(settings.n_threads)),
                      core::matrix(0, n_species, 0, n_species));
    const randomization::ValueStore store =
        run_signal_test(state, layout, observed, n_randomizations, {draw, inputs, {}});
    const randomization::TestSummaryMatrix summaries =
        randomization::summarize_signal_test(store, {layout.n_rows, state.n_divergence_intervals});
    core::console_print("\nWriting permutation results. Please, wait.");
    reports::append_section(
        settings.main_result_file,
        reports::report_trait_signal_test(state.reports.table, layout.record(state), false, kSampledSpecies,
                                          settings.test_restriction[t], settings.test_clade_names[t], n_randomizations,
                                          summaries, t));
  }
}

// Brownian evolution test: the traits are simulated along the tree (with
// the observed missing values and, when given, measurement errors) and the
// signal recomputed on the observed divergences. A simulation draws from
// the run's stream: it is the randomization's draw.
void run_brownian_test(RunState& state, const SignalVariables& layout, const core::FMatrix& observed) {
  const RunSettings& settings = state.settings;
  const int n_replicates = settings.n_brownian_replicates;
  const int n_species = state.codes.n_species;
  core::console_print("\n\nBrownian evolution test\n");
  std::vector<core::FMatrix> simulated(static_cast<std::size_t>(randomization::kRandomizationBatchSize),
                                       core::matrix(0, settings.n_trait_variables, 0, n_species));
  auto draw = [&](int slot) {
    traits::simulate_brownian_traits(state.generator, state.nodes, state.n_tree_nodes, state.n_tips,
                                     state.species_of_leaf, settings.n_trait_variables, n_species, state.traits,
                                     state.trait_se, simulated[static_cast<std::size_t>(slot)],
                                     settings.species_se_traits_file);
  };
  auto inputs = [&](int slot, int, const core::FMatrix*& trait_values, const core::FMatrix*& divergences) {
    trait_values = &simulated[static_cast<std::size_t>(slot)];
    divergences = &state.divergences;
    return 0;
  };
  const randomization::ValueStore store = run_signal_test(state, layout, observed, n_replicates, {draw, inputs, {}});
  const randomization::TestSummaryMatrix summaries =
      randomization::summarize_signal_test(store, {layout.n_rows, state.n_divergence_intervals});
  core::console_print("\nWriting permutation results. Please, wait.");
  reports::append_section(settings.main_result_file,
                          reports::report_trait_signal_test(state.reports.table, layout.record(state), true, 0, 0,
                                                            std::string(), n_replicates, summaries, 0));
}

}  // namespace

void run_phylogeny_traits_section(RunState& state) {
  const RunSettings& settings = state.settings;
  const SignalVariables layout = signal_layout(state);
  // Species traits without a quantitative variable that varies carry no
  // signal to measure; the driver has already said that the trait analyses
  // are skipped.
  if (state.codes.trait_kind == kSpeciesTraits && !state.has_trait_distances && layout.n_distance_variables == 0) {
    return;
  }
  if (layout.n_distance_variables > 0 && state.trait_distances.hi() < layout.n_distance_variables) return;

  core::console_print("\n\n\n\n\nAnalyse PHYLO x TRAITS data");
  const int K = state.n_divergence_intervals;
  core::FMatrix table = core::matrix(-1, layout.n_rows, kSignalStoreFirstColumn, K);
  compute_signal(state, layout, state.traits, state.divergences, table);
  reports::append_section(settings.main_result_file,
                          reports::report_trait_signal(state.reports.table, layout.record(state), table));
  // The observed table stays as it is; the tests work on their own copy.
  const core::FMatrix observed = table;

  const bool phylogeny_tests = settings.n_phylogeny_tests > 0 && settings.n_phylogeny_randomizations > 0;
  // The simulated traits replace trait values; a signal measured on trait
  // distance matrices does not read them.
  const bool brownian_test = settings.n_brownian_replicates > 0 && state.codes.trait_kind == kSpeciesTraits &&
                             layout.n_distance_variables == 0;
  if (!phylogeny_tests && !brownian_test) return;
  if (state.n_tips < 2 || state.n_tree_nodes <= state.n_tips) {
    // Divergences read from a file come without a tree: there are no tips to
    // permute species among and no branches to simulate evolution along.
    core::echo_to_file(
        settings.main_result_file,
        "\n\nNo phylogenetic tree: the phylogeny randomization and Brownian evolution tests of trait conservatism "
        "are not run\n");
    return;
  }
  if (phylogeny_tests) run_phylogeny_tests(state, layout, observed);
  if (brownian_test) run_brownian_test(state, layout, observed);
}

}  // namespace quorvel::driver
