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

/// Weights of the permuted units for a permutation mode: for each plot that
/// takes part in the analysis (the plot filter of the pair selection), every
/// species present adds its relative abundance (mode > 1) or 1 (otherwise)
/// to the weight of its unit. Units are tips (`by_tip`: weight [1..tips],
/// tips without a species weigh 0) or species (weight [1..species]).
core::FVector permutation_weights(const RunState& state, float mode, bool by_tip);

}  // namespace quorvel::driver
