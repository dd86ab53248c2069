#pragma once

#include "driver/run_inputs.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// The phylogeny x traits section: trait conservatism by divergence interval,
/// its phylogeny randomization tests and the Brownian evolution test, which
/// draw from `generator`. With species traits, `has_trait_distances` says
/// whether some quantitative trait gives distances (without, the section has
/// no signal to measure).
void run_phylogeny_traits_section(const RunInputs& run, bool has_trait_distances,
                                  randomization::RandomGenerator& generator, randomization::SliceLedger* slices,
                                  reports::ResultsTable& table);

}  // namespace quorvel::driver
