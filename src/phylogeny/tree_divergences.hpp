#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "phylogeny/phylogeny.hpp"

namespace quorvel::phylogeny {

/// Matches the tips of `tree` to the species of the data by exact,
/// case-sensitive name: fills tree.tip_of_species [0..n_species] (0 = species
/// without tip) and tree.species_of_tip [0..T] (0 = tip naming no species),
/// and prints "\nWARNING: species %s not found in phylogenetic tree" for each
/// species without tip; the run goes on.
void map_species_to_tips(Phylogeny& tree, int n_species, const core::NameTable& species_names);

/// Without a species list the species of the run are the tips, in order:
/// fills `species_names` [0..T] (names kept to 49 characters) and the
/// identity maps of the tree.
void species_from_tips(Phylogeny& tree, core::NameTable& species_names);

/// The divergences between the species of a run, one row at a time, from a
/// tree and the tip of every species (the tree's own map, or a randomized
/// placement). Dated trees and classifications: the age of the most recent
/// common ancestor (the age of the tip for two species on one tip); trees of
/// branch lengths: the summed length of the branches linking the two tips,
/// in double precision, then rounded to single. The common ancestor is found
/// by tip ranges, never by comparing ages: an internal branch too short for
/// single precision gives a child the age of its parent, and a climb by ages
/// would pass the ancestor. Each row costs O(T + n_species); no species x
/// species table is kept. The tree and the map must outlive the object.
class DivergenceRows {
 public:
  DivergenceRows(const Phylogeny& tree, const core::IVector& tip_of_species, int n_species);

  /// Fills row[j] (row indexed 1..n_species, so row + 1 is species 1) with
  /// the divergence between species i and j: 0 for j = i, MISSING_VALUE_F
  /// when either has no tip (or the tips have no common ancestor).
  void fill(int i, float* row);

  int n_species() const { return n_species_; }

 private:
  const Phylogeny& tree_;
  const core::IVector& tip_of_species_;
  int n_species_;
  bool path_lengths_;
  std::vector<double> depth_;  // path lengths: distance of every node from the root
  core::IVector ancestors_;
};

/// The divergence of every pair of species into `divergences`
/// [0..n_species][0..n_species] (cells 1..n_species; row and column 0 left
/// alone), as DivergenceRows gives them. Returns the largest divergence
/// stored (0 when none). For the outputs and analyses that need the whole
/// table (trait signal against divergences); the others read rows or the
/// tree.
float compute_tree_divergences(const Phylogeny& tree, const core::IVector& tip_of_species, int n_species,
                               core::FMatrix& divergences);

/// The largest divergence between two species of the tree's map (0 when no
/// two species have a tip), in O(nodes): the same value as the largest cell
/// of compute_tree_divergences.
float largest_divergence(const Phylogeny& tree, int n_species);

}  // namespace quorvel::phylogeny
