#pragma once

#include <vector>

#include "core/arrays.hpp"

namespace quorvel::traits {

/// Console line for a run whose species traits give no trait distances (no
/// quantitative variable, or none whose values vary): the caller prints it
/// once and skips the analyses that need trait distances or trait values.
inline constexpr const char* kNoQuantitativeTraits =
    "\n\nNo quantitative trait with varying values: the analyses of traits are skipped";

/// Number of quantitative variables (`categories`[v] == 0, v = 1..n_variables).
int count_quantitative_traits(int n_variables, const core::IVector& categories);

/// Distances between species from their quantitative traits: for each pair,
/// the mean over the variables that both species have of |x_i - x_j| / s_v,
/// s_v being the population standard deviation of variable v over the
/// species with a value (sums in double, result rounded to single precision).
/// `traits` spans [1..n_variables][1..n_species]; `distances` is allocated by
/// the caller over at least 0..n_species x 0..n_species and gets D[i][i] = 0.
/// Categorical variables are skipped; a variable whose values are all equal
/// is left out (announced once on the console, by its name in
/// `variable_names`). A pair with no common variable gets MISSING_VALUE and a
/// console warning. Returns false, with every off-diagonal cell
/// MISSING_VALUE and no pair warning, when no variable can take part.
bool compute_trait_distances(int n_species, int n_variables, const core::IVector& categories,
                             const core::NameTable& variable_names, const core::FMatrix& traits,
                             core::FMatrix& distances);

/// Species of the plots (present in a plot of non-zero total of `abundances`
/// [0..n_plots][0..n_species]) without a value of any quantitative variable
/// of `traits` (variables 1..n_variables, `categories`[v] == 0): trait
/// distances average the quantitative traits both species have, so these
/// species have no distance at all. Empty without quantitative variables.
std::vector<int> species_without_trait_values(const core::FMatrix& traits, const core::IVector& categories,
                                              int n_variables, const core::DMatrix& abundances, int n_plots,
                                              int n_species);

}  // namespace quorvel::traits
