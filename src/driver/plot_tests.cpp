#include "driver/plot_tests.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/plot_test_runs.hpp"
#include "randomization/test_description.hpp"
#include "reports/report_files.hpp"
#include "reports/section_reports.hpp"

namespace quorvel::driver {

// What the randomizations of a section read from the run.
randomization::PlotTestData plot_test_data(RunState& state, const PlotSection& section) {
  randomization::PlotTestData data;
  data.section = &section;
  data.abundances = &state.abundances;
  data.data_type = state.data_type;
  data.n_categories = state.n_categories;
  data.category_kind = state.settings.pair_selection_mode;
  data.plot_category = &state.plot_category;
  data.n_threads = state.settings.n_threads;
  data.ledger = &state.slices;
  data.generator = &state.generator;
  return data;
}

randomization::PhylogenyView phylogeny_view(const RunState& state) {
  randomization::PhylogenyView view;
  view.nodes = &state.nodes;
  view.n_tips = state.n_tips;
  view.n_nodes = state.n_tree_nodes;
  view.n_species = state.codes.n_species;
  view.leaf_of_species = &state.leaf_of_species;
  view.species_of_leaf = &state.species_of_leaf;
  view.divergences = &state.divergences;
  return view;
}

// The plots that take part in the analysis: the plot filter of the pair selection.
std::vector<int> plots_in_selection(const RunState& state) {
  std::vector<int> plots;
  for (int k = 1; k <= state.settings.n_matrix_plots; ++k)
    if (plot_in_selection(state, k)) plots.push_back(k);
  return plots;
}

// Weights of the tips (`by_tip`) or of the species for a permutation mode.
core::FVector permutation_weights(const RunState& state, float mode, bool by_tip) {
  return randomization::permutation_weights(state.abundances, plots_in_selection(state),
                                            by_tip ? state.n_tips : state.codes.n_species,
                                            by_tip ? &state.species_of_leaf : nullptr, mode);
}

namespace {

using core::format;
using partition::kStatisticI;
using partition::kStatisticP;
using partition::kStatisticPI;
using partition::kStatisticPStar;
using randomization::TestSummaryMatrix;

// A phylogeny test that the instruction file defines but marks as not to run.
constexpr float kSkippedTest = -2.0f;

// The run's plot-level statistic codes, in report order.
core::IVector statistic_codes() {
  core::IVector codes = core::ivector(0, 4);
  for (int code = 1; code <= 4; ++code) codes[code] = code;
  return codes;
}

// What a test of the section writes, besides its summaries.
struct TestDescription {
  int n_randomizations = 0;
  int test_type = randomization::kLocationsTest;
  float restriction = 0;
  std::string clade_name;
  float mode = 0;
  int pairwise_kind = 0;
  int data_kind = 0;
  int number = 0;  // the phylogeny test's number in the instruction file; 0 for the spatial test
};

// A test shows exactly the statistics of the section's partition report:
// without divergences I alone (the others would test rounding noise around
// 0), and with presence/absence data and divergences the PI (or TAU) block
// alone, since the statistics on individuals are then those on species.
void write_test(RunState& state, const PlotSection& section, const TestDescription& test,
                const TestSummaryMatrix& global, const TestSummaryMatrix& regression) {
  const int n_statistics = section.n_statistics;
  const int all_statistics = state.data_type == 0 && n_statistics >= 4 ? 0 : 1;
  const core::IVector codes = statistic_codes();
  reports::PlotTestRecord record;
  record.data_kind = test.data_kind;
  record.test_type = test.test_type;
  record.n_randomizations = test.n_randomizations;
  record.clade_restriction = test.restriction;
  record.clade_name = test.clade_name;
  record.permutation_mode = test.mode;
  record.n_classes = section.classes.classes;
  record.class_limits = &section.classes.limit;
  record.n_statistics = n_statistics;
  record.statistic_codes = &codes;
  record.global = &global;
  record.pairwise = &regression;
  record.pairwise_kind = test.pairwise_kind;
  record.all_statistics = all_statistics;
  record.category_kind = state.settings.pair_selection_mode;
  record.first_category = state.pair_key1;
  record.second_category = state.pair_key2;
  record.category_names = &state.category_names;
  record.test_number = test.number;
  reports::append_test_section(state.settings.main_result_file, reports::report_plot_test(state.reports.table, record));
}

double mean_plot_richness(const RunState& state) {
  const int n_plots = state.settings.n_matrix_plots;
  const int n_species = state.codes.n_species;
  double present = 0;
  for (int k = 1; k <= n_plots; ++k)
    for (int j = 1; j <= n_species; ++j)
      if (state.abundances(k, j) != 0.0) present += 1.0;
  return n_plots == 0 ? 0.0 : present / n_plots;
}

// One partition test (phylogeny or trait distances). Every randomization is
// kept: the partition leaves out of each statistic the plots without a
// value of it, so a randomization never empties a statistic that the
// observed data define.
void run_partition_test(RunState& state, const PlotSection& section, const randomization::MatrixRandomizer& randomizer,
                        const TestDescription& test) {
  const randomization::ValueStore store =
      randomization::run_partition_test(plot_test_data(state, section), randomizer, test.n_randomizations);
  const randomization::PlotTestSummaries summaries =
      randomization::summarize_plot_test(store, section.classes.classes, kStatisticP, kStatisticPI, true);
  write_test(state, section, test, summaries.global, summaries.regression);
}

void run_spatial_test(RunState& state, const PlotSection& section, int data_kind) {
  const int n = state.settings.n_spatial_randomizations;
  core::console_print(format("\n\nSpatial randomization test (%i random.)\n", n));
  const randomization::ValueStore store = randomization::run_spatial_test(plot_test_data(state, section), n);
  const randomization::PlotTestSummaries summaries =
      randomization::summarize_plot_test(store, section.classes.classes, kStatisticI, kStatisticPI, false);
  TestDescription test;
  test.n_randomizations = n;
  test.test_type = randomization::kLocationsTest;
  test.pairwise_kind = 2;
  test.data_kind = data_kind;
  write_test(state, section, test, summaries.global, summaries.regression);
}

bool has_tree(const RunState& state) { return state.codes.phylogeny_kind != kDivergenceFile && state.n_tree_nodes > 0; }

// Species permuted among the tips of the tree; with a tree the partition
// can climb, the randomizations place species on tips (same values).
randomization::MatrixRandomizer phylogeny_randomizer(RunState& state, const randomization::PhylogenyView& view,
                                                     const randomization::PhylogenyPermutation& permutation) {
  return randomization::phylogeny_randomizer(
      view, permutation, randomization::clade_tree_of(view, mean_plot_richness(state)), state.generator);
}

// Time decomposition: for each divergence interval m = 2..R, species are
// permuted within the clades whose stem crosses t[m], which leaves the
// structure older than t[m] intact.
void run_time_decomposition(RunState& state, const PlotSection& section) {
  const int n = state.settings.n_phylogeny_randomizations;
  const int R = section.n_intervals;
  if (!has_tree(state)) {
    core::echo_to_file(
        state.settings.main_result_file,
        "\n\nNo phylogeny randomization test for time decomposition: divergences read from a file have no tree\n");
    return;
  }
  TestSummaryMatrix p_star_summaries = randomization::empty_summaries(0, 3, 0, R);
  TestSummaryMatrix pi_summaries = randomization::empty_summaries(0, 2, 0, R);
  // Interval m of the stores: P* rows 0..3 at values 0..3, PI rows 0..2 at 4..6.
  auto summarize_interval = [&](const randomization::ValueStore& store, int m) {
    using randomization::UndefinedRule;
    const int kept = store.n_randomizations();
    for (int row = 0; row <= 3; ++row)
      p_star_summaries(row, m) = randomization::summarize_value(store, row, kept, UndefinedRule::kNoPValues);
    for (int row = 0; row <= 2; ++row)
      pi_summaries(row, m) = randomization::summarize_value(store, 4 + row, kept, UndefinedRule::kNoPValues);
  };
  randomization::PhylogenyPermutation permutation;
  permutation.mode = randomization::kPermuteSampledSpecies;
  permutation.weights = permutation_weights(state, randomization::kPermuteSampledSpecies, true);
  const randomization::PhylogenyView view = phylogeny_view(state);
  const randomization::PlotTestData data = plot_test_data(state, section);
  const auto clade_tree = randomization::clade_tree_of(view, mean_plot_richness(state));
  for (int m = 2; m <= R; ++m) {
    core::console_print(format("\n\nPhylogeny randomization test for time decomposition: clades age<=%f (%i random.)\n",
                               section.limits[m], n));
    permutation.restriction = static_cast<float>(section.limits[m]);
    const randomization::MatrixRandomizer randomizer =
        randomization::phylogeny_randomizer(view, permutation, clade_tree, state.generator);
    summarize_interval(randomization::run_interval_test(data, randomizer, n, m), m);
  }
  // Interval 1 (one species) is never randomized: its observed values alone.
  summarize_interval(randomization::observed_interval_values(section, 1), 1);
  reports::append_test_section(
      state.settings.main_result_file,
      reports::report_interval_test(state.reports.table, R, section.limits, n, p_star_summaries, pi_summaries));
}

void run_phylogeny_tests(RunState& state, const PlotSection& section) {
  const RunSettings& settings = state.settings;
  const int n_tests = std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests);
  for (int t = 1; t <= n_tests; ++t) {
    const float restriction = settings.test_restriction[t];
    if (restriction == kSkippedTest) continue;
    core::console_print(format("\n\nPhylogeny randomization test %i\n", t));
    const float mode = settings.test_species_pool[t];
    TestDescription test;
    test.n_randomizations = settings.n_phylogeny_randomizations;
    test.test_type = randomization::kPhylogenyTest;
    test.restriction = restriction;
    test.clade_name = settings.test_clade_names[t];
    test.mode = mode;
    test.pairwise_kind = state.codes.spatial_kind;
    test.data_kind = 1;
    test.number = t;
    if (has_tree(state)) {
      randomization::PhylogenyPermutation permutation;
      permutation.sub_clade_age = settings.test_age_limit[t];
      permutation.restriction = restriction;
      permutation.clade_name = test.clade_name;
      permutation.mode = mode;
      permutation.weights = mode != randomization::kPermuteAllSpecies ? permutation_weights(state, mode, true)
                                                                      : core::vector(0, state.n_tips);
      const randomization::PhylogenyView view = phylogeny_view(state);
      run_partition_test(state, section, phylogeny_randomizer(state, view, permutation), test);
    } else if (restriction == randomization::kWholeTree) {
      run_partition_test(state, section,
                         randomization::matrix_randomizer(state.divergences, state.codes.n_species, mode,
                                                          permutation_weights(state, mode, false), state.generator),
                         test);
    } else {
      core::echo_to_file(settings.main_result_file,
                         format("\n\nPhylogeny randomization test %i not run: permutations within clades need a "
                                "phylogenetic tree\n",
                                t));
    }
  }
}

}  // namespace

void run_phylogeny_section_tests(RunState& state, const PlotSection& section) {
  const RunSettings& settings = state.settings;
  const int n_phylogeny = settings.n_phylogeny_randomizations;
  const bool has_phylogeny = state.codes.phylogeny_kind != kNoPhylogeny;
  if (has_phylogeny && n_phylogeny != 0 && section.n_intervals > 2) run_time_decomposition(state, section);
  if (has_phylogeny && n_phylogeny != 0 && settings.n_phylogeny_tests >= 1) run_phylogeny_tests(state, section);
  if (settings.n_spatial_randomizations != 0) run_spatial_test(state, section, has_phylogeny ? 1 : 0);
}

void run_traits_section_tests(RunState& state, const PlotSection& section) {
  const RunSettings& settings = state.settings;
  if (settings.n_phylogeny_randomizations != 0 && settings.n_phylogeny_tests >= 1) {
    const int n_tests = std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests);
    for (int t = 1; t <= n_tests; ++t) {
      if (settings.test_restriction[t] == kSkippedTest) continue;
      core::console_print(format("\n\nTraits randomization test %i\n", t));
      const float mode = settings.test_species_pool[t];
      TestDescription test;
      test.n_randomizations = settings.n_phylogeny_randomizations;
      test.test_type = randomization::kTraitDistancesTest;
      test.mode = mode;
      test.pairwise_kind = state.codes.spatial_kind;
      test.data_kind = 2;
      test.number = t;
      core::FVector weights = mode != randomization::kPermuteAllSpecies ? permutation_weights(state, mode, false)
                                                                        : core::vector(0, state.codes.n_species);
      run_partition_test(state, section,
                         randomization::matrix_randomizer(*section.distances, state.codes.n_species, mode,
                                                          std::move(weights), state.generator),
                         test);
    }
  }
  if (settings.n_spatial_randomizations != 0) run_spatial_test(state, section, 2);
}

}  // namespace quorvel::driver
