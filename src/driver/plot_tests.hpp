#pragma once

#include <memory>
#include <string>

#include "driver/plot_randomization_loops.hpp"
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

/// The tree of the run as clade divergences, when the partition can work
/// from it: the divergences are ages of common ancestors (an ultrametric tree
/// or a classification), ages grow strictly toward the root, the observed
/// divergence matrix is exactly the one the tree stands for, and climbing from
/// the tips costs less than the loops over the species of a plot. Null
/// otherwise.
std::shared_ptr<const partition::CladeTree> clade_tree_of(const RunState& state);

/// Species permuted among the tips of the tree (or of the classification),
/// over the whole tree, within clades younger than an age or within a named
/// clade. Mode -1 recomputes the divergences for the new placement of every
/// species; the other modes exchange rows of the observed matrix. With
/// `use_clades` and a tree that clade_tree_of accepts, the randomizations
/// place species on tips instead of building matrices (same values).
MatrixRandomizer phylogeny_randomizer(RunState& state, float sub_clade_age, float restriction,
                                      const std::string& clade_name, float mode, const core::FVector& weights,
                                      bool use_clades);

/// Weights of the permuted units for a permutation mode: for each plot that
/// takes part in the analysis (the plot filter of the pair selection), every
/// species present adds its relative abundance (mode > 1) or 1 (otherwise)
/// to the weight of its unit. Units are tips (`by_tip`: weight [1..tips],
/// tips without a species weigh 0) or species (weight [1..species]).
core::FVector permutation_weights(const RunState& state, float mode, bool by_tip);

}  // namespace quorvel::driver
