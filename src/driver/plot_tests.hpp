#pragma once

#include "driver/plot_section_data.hpp"
#include "driver/run_state.hpp"

namespace quorvel::driver {

/// Randomization tests of the plots x phylogeny section, when phylogeny or
/// spatial randomizations are asked for: time decomposition, phylogeny tests,
/// spatial test, in this order. The observed section is never changed.
void run_phylogeny_section_tests(RunState& state, const PlotSection& section);

/// Randomization tests of the plots x traits section: trait distance tests
/// (the phylogeny test definitions and their count of randomizations), then
/// the spatial test.
void run_traits_section_tests(RunState& state, const PlotSection& section);

}  // namespace quorvel::driver
