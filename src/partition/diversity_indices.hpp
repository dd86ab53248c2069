#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "core/constants.hpp"
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
  const core::DMatrix* abundances = nullptr;  ///< [0..n][0..s]; row 0 the pooled sample of the partition
  SpeciesDistances divergences;               ///< a table or a tree (none: no divergence columns)
  SpeciesTree tree;                           ///< nodes null: no tree
};

/// Richness, mean divergence between species and PD (Faith's, of the plot's
/// own species) of one plot or of the pooled sample.
struct PlotDiversity {
  int richness = 0;
  double mean_divergence = MISSING_VALUE;
  double pd = MISSING_VALUE;
};

/// Two plots compared: shared species, Jaccard's J, the phylogenetic PJ and
/// the mean divergences between their individuals and between their species.
struct PlotPairDiversity {
  int shared = 0;
  double jaccard = MISSING_VALUE;
  double pj = MISSING_VALUE;
  double mean_individual_divergence = MISSING_VALUE;
  double mean_species_divergence = MISSING_VALUE;
};

/// The plot diversity and similarity tables. Divisions by zero (fewer than
/// two species, PD of the union 0) are MISSING_VALUE.
struct DiversityIndices {
  int n_plots = 0;
  bool has_divergences = false;          ///< mean divergences computed
  bool has_tree = false;                 ///< PD and PJ computed
  std::vector<PlotDiversity> plots;      ///< [0..n]; 0 the pooled sample
  std::vector<PlotPairDiversity> pairs;  ///< every pair k < l, k major (1-2, 1-3, ..., 2-3, ...); empty for one plot
};

/// The indices of the pooled sample and of every plot, and for every pair of
/// plots PJ with PD1 and PD2 measured below the common ancestor of the union
/// of their species (the shared branch length over the union's, 0 to 1).
DiversityIndices diversity_indices(const DiversityIndicesInput& input);

}  // namespace quorvel::partition
