#pragma once

#include "driver/run_state.hpp"

namespace quorvel::driver {

/// The phylogeny x traits section: trait conservatism by divergence interval,
/// its phylogeny randomization tests and the Brownian evolution test.
void run_phylogeny_traits_section(RunState& state);

}  // namespace quorvel::driver
