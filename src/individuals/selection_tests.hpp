#pragma once

#include "core/arrays.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/logic_test.hpp"
#include "input/individual_list.hpp"
#include "input/species_lists.hpp"

namespace quorvel::individuals {

/// The lists of a run as its selection tests read them. Borrowed tables.
struct IndividualLists {
  int n_species = 0;                                   ///< S
  const core::NameTable* species_names = nullptr;      ///< [0..S]
  const input::IndividualList* individuals = nullptr;  ///< values, coordinates, category labels
  const core::IVector* species_of = nullptr;           ///< [0..n]: species of each individual (0 none)
  int n_columns = 0;                                   ///< C: group, x, y, species, then the variables
  const core::NameTable* column_names = nullptr;       ///< [0..C-1]
  const core::IVector* column_categories = nullptr;    ///< [0..C-1]: categories announced (0 quantitative)
  /// The variables of the species list the run reads (names and categories
  /// [0..V], 0 the species column); the tests read them when it is a species
  /// trait list (`species_traits`), with their labels and values [0..V][0..S].
  const input::SpeciesListHeader* species_list = nullptr;
  bool species_traits = false;
  const core::Vector<core::NameTable>* variable_category_names = nullptr;
  const core::FMatrix* species_values = nullptr;
  const core::IVector* selection_test_counts = nullptr;                 ///< [0..T], entry 0 = T
  const core::Vector<core::NameTable>* selection_test_texts = nullptr;  ///< [1..T]
};

/// The compiled selection tests of the individual level and the variables
/// they read. Selection tests are numbered 1..n, or 0 alone ("[]") when the
/// instruction file gives none. Holds pointers into itself and into the
/// lists: filled in place, never copied.
struct SelectionTests {
  VariableSet individual_variables;
  VariableSet species_variables;
  core::Vector<core::NameTable> species_category_names;  ///< [0..V], 0 = the species
  core::FMatrix species_values;                          ///< [0..V][0..S], row 0 = species number
  LogicData logic;
  IndividualInput input;
  int n_selection_tests = 0;
  core::Vector<LogicTestTable> tests;   ///< [q]: rows 0..|T_q|
  core::Vector<core::NameTable> texts;  ///< [q]: texts 0..|T_q|
  core::IVector pair_test_counts;       ///< [q]: T_q
};

/// Compiles every selection test of `lists` into `tests`: each text k =
/// 0..|T_q| of test q over the variables of both lists, the species-pair
/// tests (T_q < 0, k >= 1) over species variables only. A variable name in
/// both lists would make the tests ambiguous: it stops the run (status 3)
/// first.
void compile_selection_tests(const IndividualLists& lists, SelectionTests& tests);

}  // namespace quorvel::individuals
