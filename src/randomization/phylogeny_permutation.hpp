#pragma once

#include <functional>
#include <string>

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// Clade restrictions of a phylogeny permutation: 0 whole tree, -1 within
/// the clade named by the test, an age > 0 within every clade whose stem
/// crosses that age.
inline constexpr float kWholeTree = 0.0f;
inline constexpr float kNamedClade = -1.0f;

/// Recomputes a divergence matrix (species 1..n_species, mode already in
/// cell (0, 0)) from a tree with species placed at the given tips; the run
/// wraps the phylogeny library's compute_tree_divergences in it.
using TreeDivergenceFunction = std::function<void(const phylogeny::NodeTable& nodes, int n_species,
                                                  const core::IVector& leaf_of_species, core::FMatrix& divergences)>;

/// Draws one permutation of the species among the tips of the tree: `perm`
/// (resized to 0..n_nodes, identity outside the permuted units) maps each
/// unit to the unit whose place it takes. sub_clade_age 0 permutes single
/// tips (larger values make clades younger than it the units);
/// clade_restriction as kWholeTree / kNamedClade / an age; mode is the
/// PermutationMode (below -1 its absolute value is used). leaf_weight[1..n_tips]
/// is the abundance or occurrence weight of each tip (0 for unsampled tips).
void draw_phylogeny_permutation(float sub_clade_age, float clade_restriction, const std::string& clade_name, float mode,
                                const phylogeny::NodeTable& nodes, int n_nodes, int n_tips,
                                const core::FVector& leaf_weight, core::IVector& perm, RandomGenerator& generator);

/// Randomized divergences for modes other than -1: species i takes the row of
/// the species sampled at tip perm[leaf of i], out(i, j) = in(q i, q j) over
/// 1..n_species (symmetric). A species without a tip keeps its own row; a
/// permuted tip that holds no sampled species is never used as an index: the
/// species keeps its own row too. Returns the number of such unmapped tips.
/// Pure: safe to run in parallel.
int apply_phylogeny_permutation(int n_species, int n_tips, const core::IVector& leaf_of_species,
                                const core::IVector& species_of_leaf, const core::IVector& perm,
                                const core::FMatrix& in, core::FMatrix& out);

/// Placement for mode -1: placement[i] (0..n_species) = the tip that species
/// i occupies after the permutation, perm[leaf of i] (its own tip when that
/// is not a tip of the tree). The divergences are then recomputed from the
/// tree with this placement.
void place_species_on_tips(int n_species, int n_tips, const core::IVector& leaf_of_species, const core::IVector& perm,
                           core::IVector& placement);

/// One randomized divergence matrix (draw, then apply or, for mode -1,
/// recompute with `tree_divergences`, which must then be set; out(0, 0)
/// receives in(0, 0) first). Prints "\ntrouble" for each unmapped tip.
void permute_phylogeny(float sub_clade_age, float clade_restriction, const std::string& clade_name, float mode,
                       const phylogeny::NodeTable& nodes, int n_nodes, int n_tips, const core::FVector& leaf_weight,
                       int n_species, const core::IVector& leaf_of_species, const core::IVector& species_of_leaf,
                       const core::FMatrix& in, core::FMatrix& out, const TreeDivergenceFunction& tree_divergences,
                       RandomGenerator& generator);

/// Draws one permutation of the species 1..n of a trait distance matrix
/// (`perm` resized to 0..n) by the same mode rules, with weight[1..n].
void draw_trait_permutation(float mode, const core::FVector& weight, int n, core::IVector& perm,
                            RandomGenerator& generator);

/// out(i, j) = out(j, i) = in(perm i, perm j) for 1 <= i <= j <= n. Pure.
void apply_trait_permutation(int n, const core::IVector& perm, const core::FMatrix& in, core::FMatrix& out);

/// One randomized trait distance matrix (draw then apply).
void permute_trait_distances(float mode, const core::FVector& weight, int n, const core::FMatrix& in,
                             core::FMatrix& out, RandomGenerator& generator);

}  // namespace quorvel::randomization
