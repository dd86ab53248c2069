#include "driver/individual_section.hpp"

#include <algorithm>

#include "core/console.hpp"
#include "individuals/individual_tests.hpp"
#include "individuals/selection_tests.hpp"
#include "reports/report_files.hpp"
#include "reports/run_notes.hpp"
#include "reports/section_reports.hpp"
#include "reports/test_text.hpp"

namespace quorvel::driver {

namespace {

// Tests of the phylogeny whose clade restriction reserves them for other sections.
constexpr float kTestSkippedHere = -2.0f;

individuals::IndividualLists individual_lists(const RunInputs& run) {
  const DataSet& data = run.data;
  individuals::IndividualLists lists;
  lists.n_species = run.codes.n_species;
  lists.species_names = &data.species_names;
  lists.individuals = &data.individuals.list;
  lists.species_of = &data.individuals.species;
  lists.n_columns = data.individuals.n_columns;
  lists.column_names = &data.individuals.column_names;
  lists.column_categories = &data.individuals.column_categories;
  lists.species_list = &data.traits.variables;
  lists.species_traits = data.traits.species_traits;
  lists.variable_category_names = &data.traits.list.category_names;
  lists.species_values = &data.traits.list.values;
  lists.selection_test_counts = &data.individuals.selection_test_counts;
  lists.selection_test_texts = &data.individuals.selection_test_texts;
  return lists;
}

}  // namespace

void run_individual_section(const RunInputs& run, randomization::RandomGenerator& generator,
                            randomization::SliceLedger* slices, reports::ResultsTable& table) {
  const DataSet& data = run.data;
  const instructions::RunSettings& settings = run.settings;
  const std::string& main_result_file = run.outputs.main_result_file;
  core::console_print("\n\n\n\n\nAnalyse INDIVIDUALS data");
  individuals::SelectionTests section;
  individuals::compile_selection_tests(individual_lists(run), section);

  // Distance classes, shared by the analyses of all selection tests. A
  // negative count (classes of equal numbers of pairs) is a plot-level
  // notion: individuals then get one class up to the largest distance.
  individuals::PairDistanceClasses classes;
  classes.n = std::max(data.intervals.distance.n, 0);
  classes.limits = core::dvector(0, classes.n + 2);
  for (int c = 1; c <= classes.n; ++c) classes.limits[c] = data.intervals.distance.limits[c];
  const int m = std::max(data.intervals.regression.n, 0);
  core::DVector regression_bounds = core::dvector(0, m);
  for (int b = 1; b <= m; ++b) regression_bounds[b] = data.intervals.regression.limits[b];
  const bool has_divergences = run.codes.phylogeny_kind != kNoPhylogeny && !data.divergence_table().empty();
  const core::FMatrix no_divergences = core::matrix(0, 0, 0, 0);
  const core::FMatrix& divergences = has_divergences ? data.divergence_table() : no_divergences;

  const int n_selection_tests = section.tests.hi() - section.tests.lo() + 1;
  core::Vector<individuals::IndividualPairResults> results(section.tests.lo(), section.tests.hi());
  for (int q = section.tests.lo(); q <= section.tests.hi(); ++q) {
    individuals::analyse_individual_pairs(section.input, section.tests[q], section.pair_test_counts[q], classes, m,
                                          regression_bounds, divergences, results[q]);
    const reports::IndividualReport report{&data.species_names,          &section.texts[q],         &section.tests[q],
                                           section.individual_variables, section.species_variables, section.logic};
    reports::write_echoed(main_result_file,
                          reports::report_individual(table, results[q], report, q, n_selection_tests));
  }

  if (settings.n_phylogeny_tests != 0 && settings.n_phylogeny_randomizations > 0) {
    if (run.codes.phylogeny_kind != kUltrametricTree) {
      reports::write_note(main_result_file,
                          reports::individual_tests_not_run_note(run.codes.phylogeny_kind == kTaxonomy));
    } else {
      const Phylogeny& tree = data.phylogeny;
      const phylogeny::NodeTable nodes = phylogeny::node_table(tree);
      const int n = settings.n_phylogeny_randomizations;
      for (int t = 1; t <= std::min(settings.n_phylogeny_tests, kMaxPhylogenyTests); ++t) {
        if (settings.test_restriction[t] == kTestSkippedHere) continue;
        reports::IndividualTestRecord test;
        test.level_names = &data.levels.level_names;
        test.sub_clade_age = settings.test_age_limit[t];
        test.restriction = settings.test_restriction[t];
        test.clade_name = settings.test_clade_names[t];
        test.n_randomizations = n;
        test.n_selection_tests = n_selection_tests;
        test.test_number = t;
        reports::write_note(main_result_file,
                            reports::individual_test_heading(test.sub_clade_age, test.restriction, test.clade_name, n));
        for (int q = results.lo(); q <= results.hi(); ++q) {
          if (section.n_selection_tests > 0) {
            reports::write_note(main_result_file, reports::selection_test_heading(q, section.texts[q][0]));
          }
          const individuals::IndividualTestSummaries summaries = individuals::run_individual_tree_test(
              nodes, tree.last_number, tree.n_tips, tree.tip_of_species, results[q], test.sub_clade_age,
              test.restriction, test.clade_name, n, settings.n_threads, slices, generator);
          test.observed = &results[q];
          test.test_texts = &section.texts[q];
          test.summaries = &summaries;
          test.selection_test = q;
          reports::write_echoed(main_result_file, reports::report_individual_test(table, test));
        }
      }
    }
  }
  if (settings.n_spatial_randomizations != 0) {
    reports::write_note(main_result_file, reports::kNoSpatialTestOfIndividuals);
  }
}

}  // namespace quorvel::driver
