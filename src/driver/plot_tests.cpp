#include "driver/plot_tests.hpp"

#include <algorithm>

#include "core/console.hpp"
#include "core/format.hpp"
#include "randomization/plot_tests.hpp"
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
  data.ledger = tests.slices;
  data.generator = &tests.generator;
  return data;
}

randomization::PhylogenyView phylogeny_view(const DataSet& data, const phylogeny::NodeTable& nodes) {
  randomization::PhylogenyView view;
  view.tree = &data.phylogeny;
  view.nodes = &nodes;
  view.n_species = data.n_species;
  if (!data.divergence_table().empty()) view.divergences = &data.divergence_table();
  return view;
}

namespace {

// A phylogeny test that the instruction file defines but marks as not to run.
constexpr float kSkippedTest = -2.0f;

// The report of a test: what it permuted and on which statistics
// (`data_kind`: 0 plots alone, 1 phylogeny, 2 traits), with its pairwise
// values in the form `pairwise_kind`. A test shows exactly the statistics of
// the section's partition report: without divergences I alone (the others
// would test rounding noise around 0), and with presence/absence data and
// divergences the PI (or TAU) block alone, since the statistics on
// individuals are then those on species.
reports::PlotTestRecord test_record(const PlotSectionTests& tests, int test_type, int data_kind, int pairwise_kind,
                                    int n_randomizations) {
  const PlotSection& section = tests.section;
  reports::PlotTestRecord record;
  record.data_kind = data_kind;
  record.test_type = test_type;
  record.n_randomizations = n_randomizations;
  record.n_classes = section.classes.classes;
  record.class_limits = &section.classes.limit;
  record.n_statistics = section.n_statistics;
  record.pairwise_kind = pairwise_kind;
  record.all_statistics = tests.data.community.data_type == kPresenceAbsenceData && section.n_statistics >= 4 ? 0 : 1;
  record.category_kind = tests.run.settings.pair_selection_mode;
  record.first_category = tests.data.pair_key1;
  record.second_category = tests.data.pair_key2;
  record.category_names = &tests.data.plots.category_names;
  return record;
}

void write_test(const PlotSectionTests& tests, reports::PlotTestRecord record,
                const randomization::PlotTestSummaries& summaries) {
  core::IVector codes = core::ivector(0, 4);
  for (int code = 1; code <= 4; ++code) codes[code] = code;
  record.statistic_codes = &codes;
  record.global = &summaries.global;
  record.pairwise = &summaries.regression;
  reports::append_test_section(tests.run.outputs.main_result_file, reports::report_plot_test(tests.table, record));
}

void run_spatial_test(const PlotSectionTests& tests, int data_kind) {
  const int n = tests.run.settings.n_spatial_randomizations;
  core::console_print(core::format("\n\nSpatial randomization test (%i random.)\n", n));
  write_test(tests, test_record(tests, randomization::kLocationsTest, data_kind, 2, n),
             randomization::run_spatial_plot_test(plot_test_data(tests), n));
}

// The phylogeny (or trait distance) tests the instruction file defines, in
// order, each announced by `banner` and run by `run`.
template <typename Run>
void run_defined_tests(const PlotSectionTests& tests, const char* banner, int test_type, int data_kind, Run run) {
  const instructions::RunSettings& settings = tests.run.settings;
  const int n = settings.n_phylogeny_randomizations;
  for (int t = 1; t <= std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests); ++t) {
    if (settings.test_restriction[t] == kSkippedTest) continue;
    core::console_print(core::format(banner, t));
    const randomization::PlotTestDefinition test{settings.test_age_limit[t], settings.test_restriction[t],
                                                 settings.test_clade_names[t], settings.test_species_pool[t]};
    reports::PlotTestRecord record = test_record(tests, test_type, data_kind, tests.run.codes.spatial_kind, n);
    record.permutation_mode = test.mode;
    record.test_number = t;
    if (test_type == randomization::kPhylogenyTest) {
      record.clade_restriction = test.restriction;
      record.clade_name = test.clade_name;
    }
    randomization::PlotTestSummaries summaries;
    if (run(test, n, summaries)) {
      write_test(tests, record, summaries);
    } else {
      reports::write_note(tests.run.outputs.main_result_file, reports::no_tree_for_clades_note(t));
    }
  }
}

}  // namespace

void run_phylogeny_section_tests(const PlotSectionTests& tests) {
  const RunInputs& run = tests.run;
  const int n = run.settings.n_phylogeny_randomizations;
  const bool has_phylogeny = run.codes.phylogeny_kind != kNoPhylogeny;
  const bool has_tree = run.codes.phylogeny_kind != kDivergenceFile && run.data.phylogeny.has_tree();
  const randomization::PlotTestData data = plot_test_data(tests);
  // The node table as read: what the permutations within clades draw from.
  const phylogeny::NodeTable nodes = has_tree ? phylogeny::node_table(run.data.phylogeny) : phylogeny::NodeTable();
  const randomization::PhylogenyView tree = phylogeny_view(run.data, nodes);
  if (has_phylogeny && n != 0 && tests.section.n_intervals > 2) {
    if (has_tree) {
      const randomization::IntervalTestSummaries summaries = randomization::run_time_decomposition(data, tree, n);
      reports::append_test_section(
          run.outputs.main_result_file,
          reports::report_interval_test(tests.table, tests.section.n_intervals, tests.section.limits, n,
                                        summaries.p_star, summaries.pi));
    } else {
      reports::write_note(run.outputs.main_result_file, reports::kNoTreeForTimeDecomposition);
    }
  }
  if (has_phylogeny && n != 0 && run.settings.n_phylogeny_tests >= 1) {
    run_defined_tests(
        tests, "\n\nPhylogeny randomization test %i\n", randomization::kPhylogenyTest, 1,
        [&](const randomization::PlotTestDefinition& test, int count, randomization::PlotTestSummaries& summaries) {
          return randomization::run_phylogeny_plot_test(data, tree, has_tree, test, count, summaries);
        });
  }
  if (run.settings.n_spatial_randomizations != 0) run_spatial_test(tests, has_phylogeny ? 1 : 0);
}

void run_traits_section_tests(const PlotSectionTests& tests) {
  const instructions::RunSettings& settings = tests.run.settings;
  if (settings.n_phylogeny_randomizations != 0 && settings.n_phylogeny_tests >= 1) {
    const randomization::PlotTestData data = plot_test_data(tests);
    run_defined_tests(
        tests, "\n\nTraits randomization test %i\n", randomization::kTraitDistancesTest, 2,
        [&](const randomization::PlotTestDefinition& test, int count, randomization::PlotTestSummaries& summaries) {
          summaries = randomization::run_trait_plot_test(data, test, count);
          return true;
        });
  }
  if (settings.n_spatial_randomizations != 0) run_spatial_test(tests, 2);
}

}  // namespace quorvel::driver
