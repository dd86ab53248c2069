#include "driver/individual_section.hpp"

#include <algorithm>
#include <cstdlib>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "individuals/individual_tests.hpp"
#include "reports/report_files.hpp"
#include "reports/run_notes.hpp"
#include "reports/section_reports.hpp"
#include "reports/test_text.hpp"

namespace quorvel::driver {

using individuals::LogicTestTable;

namespace {

// Tests of the phylogeny whose clade restriction reserves them for other sections.
constexpr float kTestSkippedHere = -2.0f;

// A variable name in both lists would make the tests ambiguous.
void check_variable_names(const DataSet& data) {
  const input::SpeciesListHeader& species = data.traits.variables;
  const Individuals& individuals = data.individuals;
  for (int v = 0; v <= species.n_variables && v <= species.variable_names.hi(); ++v) {
    for (int j = 0; j < individuals.n_columns; ++j) {
      if (species.variable_names[v] == individuals.column_names[j]) {
        core::stop_run(core::format("\n\nERROR: The same variable name \"%s\" appears in both the species and "
                                    "individual lists. Use different names.",
                                    species.variable_names[v].c_str()),
                       core::kStoppedStatus);
      }
    }
  }
}

}  // namespace

void prepare_individual_data(const RunInputs& run, IndividualSectionData& section) {
  const DataSet& data = run.data;
  const Individuals& individuals = data.individuals;
  const Traits& traits = data.traits;
  const int S = run.codes.n_species;
  section.individual_variables =
      individuals::VariableSet{individuals.n_columns, &individuals.column_names, &individuals.column_categories,
                               &individuals.list.category_names};
  // Species variables: the columns of the species list, the species column
  // itself a qualitative variable whose categories are the species.
  const int V = traits.species_traits ? traits.variables.n_variables : -1;
  section.species_category_names = core::Vector<core::NameTable>(0, std::max(V, 0));
  section.species_category_names[0] = data.species_names;
  for (int v = 1; v <= V; ++v) {
    if (v <= traits.list.category_names.hi()) section.species_category_names[v] = traits.list.category_names[v];
  }
  section.species_variables = individuals::VariableSet{
      V + 1, &traits.variables.variable_names, &traits.variables.variable_categories, &section.species_category_names};
  section.species_values = V >= 0 ? traits.list.values : core::matrix(0, 0, 0, S);
  for (int s = 0; s <= S; ++s) section.species_values(0, s) = static_cast<float>(s);
  section.logic = individuals::LogicData{&individuals.list.values, &section.species_values, &individuals.species};
  section.input = individuals::IndividualInput{
      individuals.n_individuals(), S, &individuals.species, &individuals.list.x, &individuals.list.y, section.logic};

  // The selection tests: without any, one analysis of every pair ("[]").
  const core::IVector& counts = individuals.selection_test_counts;
  const int n_tests = std::max(counts[0], 0);
  section.n_selection_tests = n_tests;
  const int first = n_tests == 0 ? 0 : 1;
  section.tests = core::Vector<LogicTestTable>(first, n_tests);
  section.texts = core::Vector<core::NameTable>(first, n_tests);
  section.pair_test_counts = core::ivector(first, n_tests);
  if (n_tests == 0) {
    section.texts[0] = core::name_table(0, 0);
    section.texts[0][0] = "[]";
    section.tests[0] = individuals::logic_test_matrix(0, 0, 0, 101);
    individuals::parse_logic_test("[]", section.tests[0], 0, 0, section.individual_variables,
                                  section.species_variables);
    return;
  }
  const individuals::VariableSet no_individual_variables{0, &individuals.column_names, &individuals.column_categories,
                                                         &individuals.list.category_names};
  for (int q = 1; q <= n_tests; ++q) {
    const int count = counts[q];
    section.pair_test_counts[q] = count;
    section.texts[q] = individuals.selection_test_texts[q];
    section.tests[q] = individuals::logic_test_matrix(0, std::abs(count), 0, 101);
    for (int k = 0; k <= std::abs(count); ++k) {
      // Species-pair tests may name species variables only.
      const individuals::VariableSet& individual_set =
          count < 0 && k > 0 ? no_individual_variables : section.individual_variables;
      individuals::parse_logic_test(section.texts[q][k], section.tests[q], k, k, individual_set,
                                    section.species_variables);
    }
  }
}

void run_individual_section(const RunInputs& run, randomization::RandomGenerator& generator,
                            reports::ResultsTable& table) {
  const DataSet& data = run.data;
  const instructions::RunSettings& settings = run.settings;
  const std::string& main_result_file = run.outputs.main_result_file;
  core::console_print("\n\n\n\n\nAnalyse INDIVIDUALS data");
  check_variable_names(data);
  IndividualSectionData section;
  prepare_individual_data(run, section);

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
  const bool has_divergences = run.codes.phylogeny_kind != kNoPhylogeny && !data.phylogeny.divergences.empty();
  const core::FMatrix no_divergences = core::matrix(0, 0, 0, 0);
  const core::FMatrix& divergences = has_divergences ? data.phylogeny.divergences : no_divergences;

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
              tree.nodes, tree.n_nodes, tree.n_tips, tree.leaf_of_species, results[q], test.sub_clade_age,
              test.restriction, test.clade_name, n, settings.n_threads, generator);
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
