#pragma once

#include "core/arrays.hpp"
#include "driver/run_state.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/logic_test.hpp"

namespace quorvel::driver {

/// The compiled selection tests of the individual level and the observed
/// analysis of each. Selection tests are numbered 1..n, or 0 alone ("[]")
/// when the instruction file gives none. Holds pointers into itself: filled
/// in place, never copied.
struct IndividualSectionData {
  individuals::VariableSet individual_variables;
  individuals::VariableSet species_variables;
  core::Vector<core::NameTable> species_category_names;  // [0..V], 0 = the species
  core::FMatrix species_values;                          // [0..V][0..S], row 0 = species number
  individuals::LogicData logic;
  individuals::IndividualInput input;
  int n_selection_tests = 0;
  core::Vector<individuals::LogicTestTable> tests;           // [q]: rows 0..|T_q|
  core::Vector<core::NameTable> texts;                       // [q]: texts 0..|T_q|
  core::IVector pair_test_counts;                            // [q]: T_q
  core::Vector<individuals::IndividualPairResults> results;  // [q]: observed analyses
};

/// Fills `data` from the run: variables of both lists, compiled tests.
void prepare_individual_data(RunState& state, IndividualSectionData& data);

/// Phylogeny permutation tests of the individual level: for each test of the
/// instruction file and each selection test in order, randomized trees give
/// the distributions of the turnover statistics P and R of the base
/// population and of every individual-pair test.
void run_individual_phylogeny_tests(RunState& state, const IndividualSectionData& data);

}  // namespace quorvel::driver
