#include "individuals/selection_tests.hpp"

#include <algorithm>
#include <cstdlib>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::individuals {

namespace {

void check_variable_names(const IndividualLists& lists) {
  const core::NameTable& species = lists.species_list->variable_names;
  for (int v = 0; v <= lists.species_list->n_variables && v <= species.hi(); ++v) {
    for (int j = 0; j < lists.n_columns; ++j) {
      if (species[v] == (*lists.column_names)[j]) {
        core::stop_run(core::format("\n\nERROR: The same variable name \"%s\" appears in both the species and "
                                    "individual lists. Use different names.",
                                    species[v].c_str()),
                       core::kStoppedStatus);
      }
    }
  }
}

}  // namespace

void compile_selection_tests(const IndividualLists& lists, SelectionTests& tests) {
  check_variable_names(lists);
  const int S = lists.n_species;
  tests.individual_variables =
      VariableSet{lists.n_columns, lists.column_names, lists.column_categories, &lists.individuals->category_names};
  // Species variables: the columns of the species list, the species column
  // itself a qualitative variable whose categories are the species.
  const int V = lists.species_traits ? lists.species_list->n_variables : -1;
  tests.species_category_names = core::Vector<core::NameTable>(0, std::max(V, 0));
  tests.species_category_names[0] = *lists.species_names;
  for (int v = 1; v <= V; ++v) {
    if (v <= lists.variable_category_names->hi()) tests.species_category_names[v] = (*lists.variable_category_names)[v];
  }
  tests.species_variables = VariableSet{V + 1, &lists.species_list->variable_names,
                                        &lists.species_list->variable_categories, &tests.species_category_names};
  tests.species_values = V >= 0 ? *lists.species_values : core::matrix(0, 0, 0, S);
  for (int s = 0; s <= S; ++s) tests.species_values(0, s) = static_cast<float>(s);
  tests.logic = LogicData{&lists.individuals->values, &tests.species_values, lists.species_of};
  const int n_individuals = std::max(lists.species_of->hi(), 0);
  tests.input =
      IndividualInput{n_individuals, S, lists.species_of, &lists.individuals->x, &lists.individuals->y, tests.logic};

  // The selection tests: without any, one analysis of every pair ("[]").
  const core::IVector& counts = *lists.selection_test_counts;
  const int n_tests = std::max(counts[0], 0);
  tests.n_selection_tests = n_tests;
  const int first = n_tests == 0 ? 0 : 1;
  tests.tests = core::Vector<LogicTestTable>(first, n_tests);
  tests.texts = core::Vector<core::NameTable>(first, n_tests);
  tests.pair_test_counts = core::ivector(first, n_tests);
  if (n_tests == 0) {
    tests.texts[0] = core::name_table(0, 0);
    tests.texts[0][0] = "[]";
    tests.tests[0] = logic_test_matrix(0, 0, 0, 101);
    parse_logic_test("[]", tests.tests[0], 0, 0, tests.individual_variables, tests.species_variables);
    return;
  }
  const VariableSet no_individual_variables{0, lists.column_names, lists.column_categories,
                                            &lists.individuals->category_names};
  for (int q = 1; q <= n_tests; ++q) {
    const int count = counts[q];
    tests.pair_test_counts[q] = count;
    tests.texts[q] = (*lists.selection_test_texts)[q];
    tests.tests[q] = logic_test_matrix(0, std::abs(count), 0, 101);
    for (int k = 0; k <= std::abs(count); ++k) {
      // Species-pair tests may name species variables only.
      const VariableSet& individual_set = count < 0 && k > 0 ? no_individual_variables : tests.individual_variables;
      parse_logic_test(tests.texts[q][k], tests.tests[q], k, k, individual_set, tests.species_variables);
    }
  }
}

}  // namespace quorvel::individuals
