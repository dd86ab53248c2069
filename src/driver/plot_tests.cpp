#include "driver/plot_tests.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/test_description.hpp"
#include "reports/report_files.hpp"
#include "reports/run_notes.hpp"
#include "reports/section_reports.hpp"

namespace quorvel::driver {

randomization::PlotTestData plot_test_data(const PlotSectionTests& tests) {
  randomization::PlotTestData data;
  data.section = &tests.section;
  data.abundances = &tests.data.community.abundances;
  data.data_type = tests.data.community.data_type;
  data.n_categories = tests.data.plots.n_categories;
  data.category_kind = tests.run.settings.pair_selection_mode;
  data.plot_category = &tests.data.plots.plot_category;
  data.n_threads = tests.run.settings.n_threads;
  data.generator = &tests.generator;
  return data;
}

randomization::PhylogenyView phylogeny_view(const DataSet& data) {
  const Phylogeny& tree = data.phylogeny;
  randomization::PhylogenyView view;
  view.nodes = &tree.nodes;
  view.n_tips = tree.n_tips;
  view.n_nodes = tree.n_nodes;
  view.n_species = data.n_species;
  view.leaf_of_species = &tree.leaf_of_species;
  view.species_of_leaf = &tree.species_of_leaf;
  view.divergences = &tree.divergences;
  return view;
}

core::FVector permutation_weights(const PlotSectionTests& tests, float mode, bool by_tip) {
  const Phylogeny& tree = tests.run.data.phylogeny;
  return randomization::permutation_weights(tests.data.community.abundances, plots_in_selection(tests.section),
                                            by_tip ? tree.n_tips : tests.run.codes.n_species,
                                            by_tip ? &tree.species_of_leaf : nullptr, mode);
}

namespace {

using core::format;
using partition::kStatisticI;
using partition::kStatisticP;
using partition::kStatisticPI;
using randomization::TestSummaryMatrix;

// A phylogeny test that the instruction file defines but marks as not to run.
constexpr float kSkippedTest = -2.0f;

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
void write_test(const PlotSectionTests& tests, const TestDescription& test,
                const randomization::PlotTestSummaries& summaries) {
  const PlotSection& section = tests.section;
  const int n_statistics = section.n_statistics;
  core::IVector codes = core::ivector(0, 4);
  for (int code = 1; code <= 4; ++code) codes[code] = code;
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
  record.global = &summaries.global;
  record.pairwise = &summaries.regression;
  record.pairwise_kind = test.pairwise_kind;
  record.all_statistics = tests.data.community.data_type == kPresenceAbsenceData && n_statistics >= 4 ? 0 : 1;
  record.category_kind = tests.run.settings.pair_selection_mode;
  record.first_category = tests.data.pair_key1;
  record.second_category = tests.data.pair_key2;
  record.category_names = &tests.data.plots.category_names;
  record.test_number = test.number;
  reports::append_test_section(tests.run.outputs.main_result_file, reports::report_plot_test(tests.table, record));
}

double mean_plot_richness(const PlotSectionTests& tests) {
  const core::DMatrix& A = tests.data.community.abundances;
  const int n_plots = tests.section.n_plots;
  double present = 0;
  for (int k = 1; k <= n_plots; ++k)
    for (int j = 1; j <= tests.section.n_species; ++j)
      if (A(k, j) != 0.0) present += 1.0;
  return n_plots == 0 ? 0.0 : present / n_plots;
}

// One partition test (phylogeny or trait distances). Every randomization is
// kept: the partition leaves out of each statistic the plots without a
// value of it, so a randomization never empties a statistic that the
// observed data define.
void run_partition_test(const PlotSectionTests& tests, const randomization::MatrixRandomizer& randomizer,
                        const TestDescription& test) {
  const randomization::ValueStore store =
      randomization::run_partition_test(plot_test_data(tests), randomizer, test.n_randomizations);
  write_test(tests, test,
             randomization::summarize_plot_test(store, tests.section.classes.classes, kStatisticP, kStatisticPI, true));
}

void run_spatial_test(const PlotSectionTests& tests, int data_kind) {
  const int n = tests.run.settings.n_spatial_randomizations;
  core::console_print(format("\n\nSpatial randomization test (%i random.)\n", n));
  const randomization::ValueStore store = randomization::run_spatial_test(plot_test_data(tests), n);
  TestDescription test;
  test.n_randomizations = n;
  test.test_type = randomization::kLocationsTest;
  test.pairwise_kind = 2;
  test.data_kind = data_kind;
  write_test(
      tests, test,
      randomization::summarize_plot_test(store, tests.section.classes.classes, kStatisticI, kStatisticPI, false));
}

bool has_tree(const RunInputs& run) {
  return run.codes.phylogeny_kind != kDivergenceFile && run.data.phylogeny.n_nodes > 0;
}

// Time decomposition: for each divergence interval m = 2..R, species are
// permuted within the clades whose stem crosses t[m], which leaves the
// structure older than t[m] intact.
void run_time_decomposition(const PlotSectionTests& tests) {
  const PlotSection& section = tests.section;
  const std::string& main_result_file = tests.run.outputs.main_result_file;
  const int n = tests.run.settings.n_phylogeny_randomizations;
  const int R = section.n_intervals;
  if (!has_tree(tests.run)) {
    reports::write_note(main_result_file, reports::kNoTreeForTimeDecomposition);
    return;
  }
  TestSummaryMatrix p_star = randomization::empty_summaries(0, 3, 0, R);
  TestSummaryMatrix pi = randomization::empty_summaries(0, 2, 0, R);
  randomization::PhylogenyPermutation permutation;
  permutation.mode = randomization::kPermuteSampledSpecies;
  permutation.weights = permutation_weights(tests, randomization::kPermuteSampledSpecies, true);
  const randomization::PhylogenyView view = phylogeny_view(tests.run.data);
  const randomization::PlotTestData data = plot_test_data(tests);
  const auto clade_tree = randomization::clade_tree_of(view, mean_plot_richness(tests));
  for (int m = 2; m <= R; ++m) {
    core::console_print(format("\n\nPhylogeny randomization test for time decomposition: clades age<=%f (%i random.)\n",
                               section.limits[m], n));
    permutation.restriction = static_cast<float>(section.limits[m]);
    const randomization::MatrixRandomizer randomizer =
        randomization::phylogeny_randomizer(view, permutation, clade_tree, tests.generator);
    randomization::summarize_interval_test(randomization::run_interval_test(data, randomizer, n, m), m, p_star, pi);
  }
  // Interval 1 (one species) is never randomized: its observed values alone.
  randomization::summarize_interval_test(randomization::observed_interval_values(section, 1), 1, p_star, pi);
  reports::append_test_section(main_result_file,
                               reports::report_interval_test(tests.table, R, section.limits, n, p_star, pi));
}

void run_phylogeny_tests(const PlotSectionTests& tests) {
  const RunInputs& run = tests.run;
  const instructions::RunSettings& settings = run.settings;
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
    test.pairwise_kind = run.codes.spatial_kind;
    test.data_kind = 1;
    test.number = t;
    if (has_tree(run)) {
      // Species permuted among the tips of the tree; with a tree the
      // partition can climb, the randomizations place species on tips (same
      // values).
      randomization::PhylogenyPermutation permutation;
      permutation.sub_clade_age = settings.test_age_limit[t];
      permutation.restriction = restriction;
      permutation.clade_name = test.clade_name;
      permutation.mode = mode;
      permutation.weights = mode != randomization::kPermuteAllSpecies ? permutation_weights(tests, mode, true)
                                                                      : core::vector(0, run.data.phylogeny.n_tips);
      const randomization::PhylogenyView view = phylogeny_view(run.data);
      run_partition_test(
          tests,
          randomization::phylogeny_randomizer(
              view, permutation, randomization::clade_tree_of(view, mean_plot_richness(tests)), tests.generator),
          test);
    } else if (restriction == randomization::kWholeTree) {
      run_partition_test(tests,
                         randomization::matrix_randomizer(run.data.phylogeny.divergences, run.codes.n_species, mode,
                                                          permutation_weights(tests, mode, false), tests.generator),
                         test);
    } else {
      reports::write_note(run.outputs.main_result_file, reports::no_tree_for_clades_note(t));
    }
  }
}

}  // namespace

void run_phylogeny_section_tests(const PlotSectionTests& tests) {
  const instructions::RunSettings& settings = tests.run.settings;
  const int n_phylogeny = settings.n_phylogeny_randomizations;
  const bool has_phylogeny = tests.run.codes.phylogeny_kind != kNoPhylogeny;
  if (has_phylogeny && n_phylogeny != 0 && tests.section.n_intervals > 2) run_time_decomposition(tests);
  if (has_phylogeny && n_phylogeny != 0 && settings.n_phylogeny_tests >= 1) run_phylogeny_tests(tests);
  if (settings.n_spatial_randomizations != 0) run_spatial_test(tests, has_phylogeny ? 1 : 0);
}

void run_traits_section_tests(const PlotSectionTests& tests) {
  const instructions::RunSettings& settings = tests.run.settings;
  const int n_species = tests.run.codes.n_species;
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
      test.pairwise_kind = tests.run.codes.spatial_kind;
      test.data_kind = 2;
      test.number = t;
      core::FVector weights = mode != randomization::kPermuteAllSpecies ? permutation_weights(tests, mode, false)
                                                                        : core::vector(0, n_species);
      run_partition_test(tests,
                         randomization::matrix_randomizer(*tests.section.distances, n_species, mode, std::move(weights),
                                                          tests.generator),
                         test);
    }
  }
  if (settings.n_spatial_randomizations != 0) run_spatial_test(tests, 2);
}

}  // namespace quorvel::driver
