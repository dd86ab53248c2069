#pragma once

#include <memory>
#include <vector>

#include "core/arrays.hpp"
#include "phylogeny/clade_tree.hpp"
#include "phylogeny/phylogeny.hpp"

namespace quorvel::partition {

/// The divergences (or trait distances) between the species of a partition,
/// in one of three forms:
/// - a table [0..S][0..S] (divergences read from a file, trait distances);
/// - a tree with the tip of every species (the tree's own map, or a
///   randomized placement), divergences computed one row at a time
///   (phylogeny::DivergenceRows): a tree of branch lengths, or any tree in
///   the checks;
/// - the clade view of a dated tree or classification with the tips of the
///   species: the partition then works from sums over clades.
/// None of them (all null): divergence 0 within a species, 1 between species.
/// The table, the tree and the tips are borrowed and must outlive the
/// partition; the clade view is shared.
struct SpeciesDistances {
  const core::FMatrix* matrix = nullptr;
  const phylogeny::Phylogeny* tree = nullptr;
  std::shared_ptr<const phylogeny::CladeTree> clades;
  const core::IVector* tip_of_species = nullptr;  ///< [0..S], 0 = no tip (tree and clades)

  bool given() const { return matrix != nullptr || tree != nullptr; }
};

/// A table of distances (or none when null).
inline SpeciesDistances table_distances(const core::FMatrix* matrix) {
  SpeciesDistances distances;
  distances.matrix = matrix;
  return distances;
}

/// The clade view of a tree when the partition can work from it: a dated
/// tree or classification whose clade view holds together (checked in
/// O(nodes)); null otherwise.
std::shared_ptr<const phylogeny::CladeTree> clade_view(const phylogeny::Phylogeny& tree);

/// The divergences of a phylogeny's species: the table read from a file, or
/// the tree with its tip of every species (`tip_of_species`, the tree's own
/// map by default): from `clades` (clade_view) when given, one row at a time
/// otherwise. None without phylogeny.
SpeciesDistances phylogeny_distances(const phylogeny::Phylogeny& phylogeny,
                                     std::shared_ptr<const phylogeny::CladeTree> clades,
                                     const core::IVector* tip_of_species = nullptr);

/// The species present in a plot of `abundances` [0..n_plots][0..n_species]
/// (a plot with a non-zero total) that have no distance to any other species:
/// no tip in the tree, no row in a table, no trait value. Empty with fewer
/// than two species. A tree costs O(species), a table O(species^2).
std::vector<int> species_without_distances(const SpeciesDistances& distances, const core::DMatrix& abundances,
                                           int n_plots, int n_species);

}  // namespace quorvel::partition
