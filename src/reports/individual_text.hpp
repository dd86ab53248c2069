#pragma once

#include <string>

#include "core/arrays.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/logic_test.hpp"
#include "reports/report_files.hpp"

namespace quorvel::reports {

using individuals::IndividualPairResults;
using individuals::LogicData;
using individuals::LogicTestTable;
using individuals::VariableSet;

/// What the result block of one selection test shows besides the analysis.
struct IndividualReport {
  const core::NameTable* species_names = nullptr;  // [1..S]
  const core::NameTable* test_texts = nullptr;     // [0..|T|]: 0 the base-population test
  const LogicTestTable* tests = nullptr;           // compiled texts, rows 0..|T|
  VariableSet individual_variables;
  VariableSet species_variables;
  LogicData logic;  // for the species-pair tests, evaluated at species level
};

/// The individual-level block of one selection test:
/// base population, distance classes and regression intervals, then the
/// pair tests (individual pairs for T > 0, species pairs for T < 0) or the
/// statistics within each species (T = 0), each followed by the species
/// turnover when divergences exist. Headings are also shown on the console.
EchoedText individual_text(const IndividualPairResults& results, const IndividualReport& report);

}  // namespace quorvel::reports
