#pragma once

#include "core/arrays.hpp"
#include "driver/run_inputs.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// The trait distances of the trait sections: computed from the species
/// traits into `computed`, or the first matrix of the trait distance file;
/// null when the traits give none (no quantitative trait that varies).
const core::FMatrix* section_trait_distances(const RunInputs& run, core::FMatrix& computed);

/// Runs the analysis sections whose data exist, in their fixed order: plots x
/// phylogeny, plots x traits, phylogeny x traits, individual level. Their
/// randomizations draw from `generator` in that order; `slices` (nullptr:
/// every randomization) says which of them are evaluated here.
void run_analysis_sequence(const RunInputs& run, randomization::RandomGenerator& generator,
                           randomization::SliceLedger* slices, reports::ResultsTable& table);

}  // namespace quorvel::driver
