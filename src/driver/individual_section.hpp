#pragma once

#include "core/arrays.hpp"
#include "driver/run_inputs.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/logic_test.hpp"
#include "randomization/random_generator.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// The compiled selection tests of the individual level and the variables
/// they read. Selection tests are numbered 1..n, or 0 alone ("[]") when the
/// instruction file gives none. Holds pointers into itself and into the
/// data set: filled in place, never copied.
struct IndividualSectionData {
  individuals::VariableSet individual_variables;
  individuals::VariableSet species_variables;
  core::Vector<core::NameTable> species_category_names;  // [0..V], 0 = the species
  core::FMatrix species_values;                          // [0..V][0..S], row 0 = species number
  individuals::LogicData logic;
  individuals::IndividualInput input;
  int n_selection_tests = 0;
  core::Vector<individuals::LogicTestTable> tests;  // [q]: rows 0..|T_q|
  core::Vector<core::NameTable> texts;              // [q]: texts 0..|T_q|
  core::IVector pair_test_counts;                   // [q]: T_q
};

/// Fills `section` from the data set: variables of both lists, compiled tests.
void prepare_individual_data(const RunInputs& run, IndividualSectionData& section);

/// The individual-level section: the check that no variable name is shared
/// by the species and individual lists, the compilation of every selection
/// test, the analysis of the pairs of individuals and its report for each
/// selection test, then the phylogeny permutation tests, which draw from
/// `generator`: for each test of the instruction file and each selection
/// test in order, randomized trees give the distributions of the turnover
/// statistics P and R.
void run_individual_section(const RunInputs& run, randomization::RandomGenerator& generator,
                            reports::ResultsTable& table);

}  // namespace quorvel::driver
