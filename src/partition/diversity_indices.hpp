#pragma once

#include <string>

#include "core/arrays.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::partition {

/// The tree of the species, when the phylogeny is one (a Newick tree or a
/// classification). Borrowed.
struct SpeciesTree {
  const phylogeny::NodeTable* nodes = nullptr;     ///< [0..V]; root n_tips+1
  int n_tips = 0;                                  ///< T
  int n_nodes = 0;                                 ///< V
  const core::IVector* leaf_of_species = nullptr;  ///< [0..s]: tip of each species, 0 = none
};

/// Faith's phylogenetic diversity of the species present in `row`
/// (row[j] != 0, j = 1..n_species): the summed length of the branches that
/// lead to some but not all of them. The branches from their most recent
/// common ancestor to the root are not counted, so one species gives 0.
/// Species without a tip are left out.
double phylogenetic_diversity(const SpeciesTree& tree, int n_species, const double* row);

/// What the plot diversity and similarity tables are written from.
struct DiversityIndicesInput {
  int n_plots = 0;
  int n_species = 0;
  const core::NameTable* plot_names = nullptr;  ///< [1..n]
  const core::DMatrix* abundances = nullptr;    ///< [0..n][0..s]; row 0 the pooled sample of the partition
  SpeciesDistances divergences;                 ///< a table or a tree (none: no divergence columns)
  SpeciesTree tree;                             ///< nodes null: no tree
};

/// The text of the tables: richness, mean divergence between species and PD
/// (Faith's, of the plot's own species) of the pooled sample and of every
/// plot; for every pair of plots the shared species, Jaccard's J, the
/// phylogenetic PJ (PD1 and PD2 measured below the common ancestor of the
/// union of their species: the shared branch length over the union's, from
/// 0 to 1) and the mean divergences between their individuals and between
/// their species. Divisions by zero (fewer than two species, PD of the union
/// 0) give empty cells.
std::string diversity_indices_text(const DiversityIndicesInput& input);

}  // namespace quorvel::partition
