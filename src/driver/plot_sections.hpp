#pragma once

#include "driver/run_state.hpp"

namespace quorvel::driver {

/// The plots x phylogeny section (plots alone without a phylogeny): observed
/// partition, its report, then its randomization tests.
void run_plots_phylogeny_section(RunState& state);

/// The plots x traits section: the same partition with trait distances in
/// place of divergences, its report and its tests.
void run_plots_traits_section(RunState& state);

}  // namespace quorvel::driver
