#pragma once

#include <string>

#include "core/arrays.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/logic_test.hpp"

namespace quorvel::individuals {

/// What the result block of one selection test shows besides the analysis.
struct IndividualReport {
  const core::NameTable* species_names = nullptr;  // [1..S]
  const core::NameTable* test_texts = nullptr;     // [0..|T|]: 0 the base-population test
  const LogicTestTable* tests = nullptr;           // compiled texts, rows 0..|T|
  VariableSet individual_variables;
  VariableSet species_variables;
  LogicData logic;  // for the species-pair tests, evaluated at species level
};

/// Appends the individual-level block of one selection test to `file_name`:
/// base population, distance classes and regression intervals, then the
/// pair tests (individual pairs for T > 0, species pairs for T < 0) or the
/// statistics within each species (T = 0), each followed by the species
/// turnover when divergences exist. Headings are also shown on the console.
void write_individual_results(const std::string& file_name, const IndividualPairResults& results,
                              const IndividualReport& report);

}  // namespace quorvel::individuals
