#pragma once

#include "core/arrays.hpp"
#include "driver/run_inputs.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// The plots x phylogeny section (plots alone without a phylogeny): the
/// observed partition of its own data, its report and optional tables, then
/// its randomization tests, which draw from `generator`.
void run_plots_phylogeny_section(const RunInputs& run, randomization::RandomGenerator& generator,
                                 randomization::SliceLedger* slices, reports::ResultsTable& table);

/// The plots x traits section: the same partition with `trait_distances`
/// [0..S][0..S] in place of divergences, its report, its tests and its block
/// of pairwise values.
void run_plots_traits_section(const RunInputs& run, const core::FMatrix& trait_distances,
                              randomization::RandomGenerator& generator, randomization::SliceLedger* slices,
                              reports::ResultsTable& table);

}  // namespace quorvel::driver
