#include "driver/individual_section.hpp"

#include <cstdlib>
#include <vector>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "driver/individual_tests.hpp"
#include "individuals/individual_pairs.hpp"
#include "reports/report_files.hpp"
#include "reports/section_reports.hpp"

namespace quorvel::driver {

using individuals::LogicTestTable;

namespace {

// A variable name in both lists would make the tests ambiguous.
void check_variable_names(const RunSettings& settings) {
  for (int v = 0; v <= settings.n_trait_variables && v <= settings.trait_variable_names.hi(); ++v) {
    for (int j = 0; j < settings.n_individual_columns; ++j) {
      if (settings.trait_variable_names[v] == settings.individual_column_names[j]) {
        core::stop_run(core::format("\n\nERROR: The same variable name \"%s\" appears in both the species and "
                                    "individual lists. Use different names.",
                                    settings.trait_variable_names[v].c_str()),
                       core::kStoppedStatus);
      }
    }
  }
}

}  // namespace

void prepare_individual_data(RunState& state, IndividualSectionData& data) {
  const RunSettings& settings = state.settings;
  const int S = state.codes.n_species;
  data.individual_variables =
      individuals::VariableSet{settings.n_individual_columns, &settings.individual_column_names,
                               &settings.individual_column_categories, &state.individuals.category_names};
  // Species variables: the columns of the species list, the species column
  // itself a qualitative variable whose categories are the species.
  const int V = settings.n_trait_species != 0 ? settings.n_trait_variables : -1;
  data.species_category_names = core::Vector<core::NameTable>(0, std::max(V, 0));
  data.species_category_names[0] = state.species_names;
  for (int v = 1; v <= V; ++v) {
    if (v <= state.trait_category_names.hi()) data.species_category_names[v] = state.trait_category_names[v];
  }
  data.species_variables = individuals::VariableSet{V + 1, &settings.trait_variable_names,
                                                    &settings.trait_variable_categories, &data.species_category_names};
  if (V >= 0) {
    data.species_values = state.traits;
  } else {
    data.species_values = core::matrix(0, 0, 0, S);
  }
  for (int s = 0; s <= S; ++s) data.species_values(0, s) = static_cast<float>(s);
  data.logic = individuals::LogicData{&state.individuals.values, &data.species_values, &state.individual_species};
  data.input = individuals::IndividualInput{
      settings.n_individuals, S, &state.individual_species, &state.individuals.x, &state.individuals.y, data.logic};

  // The selection tests: without any, one analysis of every pair ("[]").
  const int n_tests = std::max(settings.selection_test_counts[0], 0);
  data.n_selection_tests = n_tests;
  const int first = n_tests == 0 ? 0 : 1;
  data.tests = core::Vector<LogicTestTable>(first, n_tests);
  data.texts = core::Vector<core::NameTable>(first, n_tests);
  data.pair_test_counts = core::ivector(first, n_tests);
  if (n_tests == 0) {
    data.texts[0] = core::name_table(0, 0);
    data.texts[0][0] = "[]";
    data.tests[0] = individuals::logic_test_matrix(0, 0, 0, 101);
    individuals::parse_logic_test("[]", data.tests[0], 0, 0, data.individual_variables, data.species_variables);
    return;
  }
  const individuals::VariableSet no_individual_variables{
      0, &settings.individual_column_names, &settings.individual_column_categories, &state.individuals.category_names};
  for (int q = 1; q <= n_tests; ++q) {
    const int count = settings.selection_test_counts[q];
    data.pair_test_counts[q] = count;
    data.texts[q] = state.selection_test_texts[q];
    data.tests[q] = individuals::logic_test_matrix(0, std::abs(count), 0, 101);
    for (int k = 0; k <= std::abs(count); ++k) {
      // Species-pair tests may name species variables only.
      const individuals::VariableSet& individual_set =
          count < 0 && k > 0 ? no_individual_variables : data.individual_variables;
      individuals::parse_logic_test(data.texts[q][k], data.tests[q], k, k, individual_set, data.species_variables);
    }
  }
}

void run_individual_section(RunState& state) {
  const RunSettings& settings = state.settings;
  core::console_print("\n\n\n\n\nAnalyse INDIVIDUALS data");
  check_variable_names(settings);
  IndividualSectionData data;
  prepare_individual_data(state, data);

  // Distance classes, shared by the analyses of all selection tests. A
  // negative count (classes of equal numbers of pairs) is a plot-level
  // notion: individuals then get one class up to the largest distance.
  individuals::PairDistanceClasses classes;
  classes.n = std::max(state.n_distance_intervals, 0);
  classes.limits = core::dvector(0, classes.n + 2);
  for (int c = 1; c <= classes.n; ++c) classes.limits[c] = state.distance_limits[c];
  const int m = std::max(state.n_regression_intervals, 0);
  core::DVector regression_bounds = core::dvector(0, m);
  for (int b = 1; b <= m; ++b) regression_bounds[b] = state.regression_limits[b];
  const bool has_divergences = state.codes.phylogeny_kind != kNoPhylogeny && !state.divergences.empty();
  const core::FMatrix no_divergences = core::matrix(0, 0, 0, 0);
  const core::FMatrix& divergences = has_divergences ? state.divergences : no_divergences;

  data.results = core::Vector<individuals::IndividualPairResults>(data.tests.lo(), data.tests.hi());
  for (int q = data.tests.lo(); q <= data.tests.hi(); ++q) {
    individuals::analyse_individual_pairs(data.input, data.tests[q], data.pair_test_counts[q], classes, m,
                                          regression_bounds, divergences, data.results[q]);
    const reports::IndividualReport report{&state.species_names,      &data.texts[q],         &data.tests[q],
                                           data.individual_variables, data.species_variables, data.logic};
    reports::write_echoed(settings.main_result_file,
                          reports::report_individual(state.reports.table, data.results[q], report, q,
                                                     data.tests.hi() - data.tests.lo() + 1));
  }

  if (settings.n_phylogeny_tests != 0 && settings.n_phylogeny_randomizations > 0) {
    run_individual_phylogeny_tests(state, data);
  }
  if (settings.n_spatial_randomizations != 0) {
    core::echo_to_file(settings.main_result_file,
                       "\n\nSPATIAL RANDOMIZATION TEST: the positions of individuals are not permuted at the "
                       "individual level; the test is not run.");
  }
}

}  // namespace quorvel::driver
