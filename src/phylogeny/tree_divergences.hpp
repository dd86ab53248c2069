#pragma once

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::phylogeny {

/// Matches tips to the species of the data by exact, case-sensitive name.
/// Fills `leaf_of_species` [0..n_species] (0 = species without tip) and
/// `species_of_leaf` [0..n_tips] (0 = tip naming no species), and prints
/// "\nWARNING: species %s not found in phylogenetic tree" for each species
/// without tip; the run goes on.
void map_species_to_tips(const NodeTable& nodes, int n_tips, int n_species, const core::NameTable& species_names,
                         core::IVector& leaf_of_species, core::IVector& species_of_leaf);

/// Without a species list the species of the run are the tips, in order:
/// fills `species_names` [0..n_tips] (names kept to 49 characters) and the
/// identity maps.
void species_from_tips(const NodeTable& nodes, int n_tips, core::NameTable& species_names,
                       core::IVector& leaf_of_species, core::IVector& species_of_leaf);

/// Divergence between every two species from the tree. The mode is read in
/// cell (0, 0) of `divergences` [0..n_species][0..n_species] (floats): -1
/// sums the branch lengths linking the two tips; any other value takes the
/// age of their most recent common ancestor (ultrametric tree). The diagonal
/// is 0; a pair involving a species without tip (or tips with no common
/// ancestor) is MISSING_VALUE. Returns the largest divergence stored (0 when
/// none).
float compute_tree_divergences(const NodeTable& nodes, int n_species, const core::IVector& leaf_of_species,
                               core::FMatrix& divergences);

}  // namespace quorvel::phylogeny
