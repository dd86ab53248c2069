#pragma once

#include "driver/run_state.hpp"

namespace quorvel::driver {

/// Runs the analysis sections whose data exist, in their fixed order: plots x
/// phylogeny, plots x traits, phylogeny x traits.
void run_analysis_sequence(RunState& state);

}  // namespace quorvel::driver
