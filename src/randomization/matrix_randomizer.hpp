#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "partition/clade_divergences.hpp"
#include "phylogeny/phylogeny.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// The run's phylogeny as the randomizations read it: the node table (tips
/// 1..n_tips, nodes up to n_nodes), the species-tip maps and the observed
/// divergences [0..n_species][0..n_species].
struct PhylogenyView {
  const phylogeny::Phylogeny* tree = nullptr;   ///< the tree: its origin says what a divergence is
  const phylogeny::NodeTable* nodes = nullptr;  ///< the tree's node table as read
  int n_tips = 0;
  int n_nodes = 0;
  int n_species = 0;
  const core::IVector* leaf_of_species = nullptr;  ///< [0..n_species], 0 = species without tip
  const core::IVector* species_of_leaf = nullptr;  ///< [0..n_tips], 0 = tip of no species
  const core::FMatrix* divergences = nullptr;
};

/// How one randomized divergence (or trait distance) matrix is made: `draw`
/// draws the permutation from the run's stream (called in randomization
/// order on the calling thread); `apply` builds the matrix from it on a
/// worker, with `scratch` its own, and returns the number of permuted tips
/// that held no species (0 normally).
///
/// When the divergences are ages of common ancestors on a tree, `clade_tree`
/// holds the tree and `place` is used instead of `apply`: it puts every
/// species on the tip it takes (tip_of_species [0..n_species], 0 = none) and
/// returns the number of unmapped tips; the partition then works from the
/// tree, and no matrix is built.
struct MatrixRandomizer {
  std::function<void(core::IVector& permutation)> draw;
  std::function<int(const core::IVector& permutation, core::FMatrix& out, core::IVector& scratch)> apply;
  std::shared_ptr<const partition::CladeTree> clade_tree;
  std::function<int(const core::IVector& permutation, core::IVector& tip_of_species)> place;
};

/// The tree of the run as clade divergences, when the partition can work
/// from it: the divergences are ages of common ancestors (an ultrametric tree
/// or a classification), ages grow strictly toward the root, the observed
/// divergence matrix is exactly the one the tree stands for, and climbing from
/// the tips costs less than the loops over the species of a plot (of
/// `mean_plot_richness` species on average). Null otherwise.
std::shared_ptr<const partition::CladeTree> clade_tree_of(const PhylogenyView& tree, double mean_plot_richness);

/// What a phylogeny randomization permutes: clades younger than
/// `sub_clade_age` (0: single tips), within `restriction` (kWholeTree,
/// kNamedClade with `clade_name`, or an age), by permutation `mode`, with the
/// weights of the tips.
struct PhylogenyPermutation {
  float sub_clade_age = 0;
  float restriction = 0;
  std::string clade_name;
  float mode = 0;
  core::FVector weights;
};

/// Species permuted among the tips of the tree (or of the classification),
/// over the whole tree, within clades younger than an age or within a named
/// clade. Mode -1 recomputes the divergences for the new placement of every
/// species; the other modes exchange rows of the observed matrix. With a
/// `clade_tree` (clade_tree_of), the randomizations place species on tips
/// instead of building matrices (same values). `tree` and `generator` must
/// outlive the randomizer.
MatrixRandomizer phylogeny_randomizer(const PhylogenyView& tree, const PhylogenyPermutation& permutation,
                                      std::shared_ptr<const partition::CladeTree> clade_tree,
                                      RandomGenerator& generator);

/// Species permuted over a whole distance matrix [0..n][0..n] (trait
/// distances, or divergences read from a file, which have no tree), with
/// the weights of the species. `observed` and `generator` must outlive it.
MatrixRandomizer matrix_randomizer(const core::FMatrix& observed, int n_species, float mode, core::FVector weights,
                                   RandomGenerator& generator);

/// Weights of the permuted units for a permutation mode: in each plot of
/// `plots`, every species present adds its relative abundance (mode > 1) or
/// 1 (otherwise) to the weight of its unit. Units are 1..n_units: species,
/// or tips when `species_of_unit` maps them to species (0: no species,
/// weight 0).
core::FVector permutation_weights(const core::DMatrix& abundances, const std::vector<int>& plots, int n_units,
                                  const core::IVector* species_of_unit, float mode);

}  // namespace quorvel::randomization
