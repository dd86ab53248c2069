#pragma once

#include <functional>
#include <string>

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::traits {

/// Most passes of the loop that matches the variance of simulated traits to
/// the observed variance; the last values are kept (with a warning) after it.
inline constexpr int kMaxVarianceMatchingPasses = 10000;

/// One Brownian realisation of the traits along the tree, drawn with
/// `normal` (one standard normal deviate per call):
/// 1. node values: root n_tips+1 is 0; nodes n_tips+2..n_nodes in increasing
///    order, then tips 1..n_tips, each get its parent's value plus
///    sqrt(branch_length) * a deviate (removed nodes draw too);
/// 2. `simulated` [1..V][1..S] gets, for every species with a tip
///    (`species_of_leaf` [1..n_tips], 0 = no species), its tip value for each
///    variable observed for it, MISSING_VALUE otherwise (species without a tip
///    too); row 0 gets the species numbers;
/// 3. when `se_file` is not empty, for each variable: measurement errors
///    e[s] = deviate * se[v][s] (s = 1..S, one draw each; a missing standard
///    error counts as 0), then the simulated values are rescaled by f and the
///    errors added so that their variance (divisor n - 1) comes within 1% of
///    the observed one (both over the species with an observed and a
///    simulated value: a species without a tip stays MISSING_VALUE and out
///    of the matching); when the errors alone reach the observed variance the
///    variable is all MISSING_VALUE. Fewer than two such species: left as in
///    step 2. The loop on f stops after kMaxVarianceMatchingPasses passes
///    with a console warning.
/// `observed`, `se` and `simulated` span at least [0..V][0..S] (single precision).
void simulate_brownian_traits(const std::function<double()>& normal, const phylogeny::NodeTable& nodes, int n_nodes,
                              int n_tips, const core::IVector& species_of_leaf, int n_variables, int n_species,
                              const core::FMatrix& observed, const core::FMatrix& se, core::FMatrix& simulated,
                              const std::string& se_file);

/// The same, drawing from the run's generator with normal_random (the
/// caller links the randomization library).
inline void simulate_brownian_traits(randomization::RandomGenerator& generator, const phylogeny::NodeTable& nodes,
                                     int n_nodes, int n_tips, const core::IVector& species_of_leaf, int n_variables,
                                     int n_species, const core::FMatrix& observed, const core::FMatrix& se,
                                     core::FMatrix& simulated, const std::string& se_file) {
  simulate_brownian_traits([&generator] { return randomization::normal_random(generator); }, nodes, n_nodes, n_tips,
                           species_of_leaf, n_variables, n_species, observed, se, simulated, se_file);
}

}  // namespace quorvel::traits
