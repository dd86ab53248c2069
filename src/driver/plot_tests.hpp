#pragma once

#include <vector>

#include "driver/plot_section_data.hpp"
#include "driver/run_state.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/plot_test_runs.hpp"

namespace quorvel::driver {

/// What the randomizations of a plot-level section read from the run.
randomization::PlotTestData plot_test_data(RunState& state, const PlotSection& section);

/// The run's phylogeny as the randomizations read it.
randomization::PhylogenyView phylogeny_view(const RunState& state);

/// The plots that take part in the analysis: the plot filter of the pair selection.
std::vector<int> plots_in_selection(const RunState& state);

/// Weights of the tips (`by_tip`; tips without a species weigh 0) or of the
/// species for a permutation mode, over the plots of the pair selection.
core::FVector permutation_weights(const RunState& state, float mode, bool by_tip);

/// Randomization tests of the plots x phylogeny section, when phylogeny or
/// spatial randomizations are asked for: time decomposition, phylogeny tests,
/// spatial test, in this order. The observed section is never changed.
void run_phylogeny_section_tests(RunState& state, const PlotSection& section);

/// Randomization tests of the plots x traits section: trait distance tests
/// (the phylogeny test definitions and their count of randomizations), then
/// the spatial test.
void run_traits_section_tests(RunState& state, const PlotSection& section);

}  // namespace quorvel::driver
