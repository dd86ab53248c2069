#pragma once

#include "driver/run_inputs.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// The individual-level section: the selection tests compiled over the
/// variables of both lists, the analysis of the pairs of individuals and its
/// report for each selection test, then the phylogeny permutation tests,
/// which draw from `generator`: for each test of the instruction file and
/// each selection test in order, randomized trees give the distributions of
/// the turnover statistics P and R.
void run_individual_section(const RunInputs& run, randomization::RandomGenerator& generator,
                            randomization::SliceLedger* slices, reports::ResultsTable& table);

}  // namespace quorvel::driver
