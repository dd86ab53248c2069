#pragma once

#include <string>

#include "core/arrays.hpp"
#include "individuals/position_groups.hpp"
#include "input/community_counts.hpp"
#include "input/community_matrix.hpp"
#include "input/individual_list.hpp"
#include "input/interval_files.hpp"
#include "input/plot_list.hpp"
#include "input/species_lists.hpp"
#include "input/species_traits.hpp"
#include "input/taxonomic_levels.hpp"
#include "input/trait_distances_file.hpp"
#include "input/tree_file.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::driver {

// The data of a run, read once from the files the instruction file names:
// first their headers (DataHeaders: counts, columns, levels), then their
// values (DataSet), each part a record returned by its reader.

/// What the scans of the data files learn before any table is allocated:
/// one header per data file the instruction file names (default, and empty,
/// for data not given).
struct DataHeaders {
  input::CommunityHeader community;  ///< species-plot matrix or triplet table (no plots: none)
  input::PlotListHeader plot_list;
  input::IndividualListHeader individuals;
  input::SpeciesListHeader species_traits;
  input::TaxonomyHeader taxonomy;
  /// Without species trait list, the taxonomy list gives the variables that
  /// carry the levels of the classification.
  bool taxonomy_as_species_list = false;
  input::TaxonomicLevels taxonomic_levels;
  input::NewickText tree;
  int n_divergence_species = 0;  ///< rows of the table of divergences between species
  input::TraitDistanceHeader trait_distances;
  core::IVector selection_test_counts;  ///< [0..|T|] (scan_selection_tests); empty without selection tests

  /// Species of the community data: of the species-plot data, or of the
  /// individual list.
  int n_community_species() const { return individuals.counts_read ? individuals.n_species : community.n_species; }
  /// The species list whose variables the run reads: the species traits, or
  /// the taxonomy list when it carries the levels.
  const input::SpeciesListHeader& species_list() const {
    return taxonomy_as_species_list ? taxonomy.levels_as_variables : species_traits;
  }
  /// Tips of the tree, counted from its text: positive for a dated tree,
  /// negative for a tree of branch lengths, 0 without a tree.
  int signed_tree_tips() const { return tree.dated ? tree.n_tips : -tree.n_tips; }
};

/// Where the phylogeny of a run comes from.
enum class PhylogenyOrigin {
  kNone,
  kDatedTree,       ///< "ULTRAMETRIC PHYLOGENETIC TREE": divergence = age of the common ancestor
  kPathLengthTree,  ///< "PHYLOGENETIC TREE": divergence = length of the path between the tips
  kClassification,  ///< taxonomy list and taxonomic divergences: a dated tree of taxa
  kDivergenceFile,  ///< "INTER-SPECIES DIVERGENCES": a table, no tree
};

/// True for the origins whose divergences are ages of common ancestors.
inline bool is_dated(PhylogenyOrigin origin) {
  return origin == PhylogenyOrigin::kDatedTree || origin == PhylogenyOrigin::kClassification;
}

/// The value cell (0, 0) of the divergence matrix has carried since the
/// matrix said itself what it holds: 1 dated tree or classification, -1
/// tree of branch lengths, -2 table of divergences. The analyses read the
/// origin from the phylogeny record; the cell is kept for the code that
/// still reads it.
inline float divergence_origin_cell(PhylogenyOrigin origin) {
  switch (origin) {
    case PhylogenyOrigin::kDatedTree:
    case PhylogenyOrigin::kClassification:
      return 1.0f;
    case PhylogenyOrigin::kPathLengthTree:
      return -1.0f;
    case PhylogenyOrigin::kDivergenceFile:
      return -2.0f;
    default:
      return 0.0f;
  }
}

/// The phylogeny of a run: a tree (Newick or classification) with the
/// species-tip maps and the divergences between species, or a table of
/// divergences alone.
struct Phylogeny {
  PhylogenyOrigin origin = PhylogenyOrigin::kNone;
  phylogeny::NodeTable nodes;  ///< the tree or the classification (empty without a tree)
  int n_tips = 0;
  int n_nodes = 0;                ///< last node index of the tree
  core::IVector leaf_of_species;  ///< [0..S], 0 = species without tip
  core::IVector species_of_leaf;  ///< [0..n_tips], 0 = tip of no species
  core::FMatrix divergences;      ///< [0..S][0..S] floats; cell (0, 0): divergence_origin_cell
  float max_divergence = 0;       ///< largest divergence between two species
  // Classification: variable of each level, taxa per level, and the members
  // of each taxon, over levels 0..H+1.
  core::IVector level_variable;
  core::IVector taxa_per_level;
  core::IMatrix first_member;
  core::IMatrix last_member;
};

/// The species traits: values and standard errors, or distances between
/// species.
struct Traits {
  input::SpeciesTraits list;  ///< species traits (or the taxonomy list's levels): empty when none
  /// The variables of that list: [0..V] names and categories (entry 0 the
  /// species column and the number of species); V = 0 without a list.
  input::SpeciesListHeader variables;
  bool species_traits = false;  ///< the list is "SPECIES TRAITS" (not the taxonomy list's levels)
  core::FMatrix se;             ///< [0..V][0..S] standard errors, 0 unless a file gives them
  input::TraitDistances distances;
};

/// Positions and categories of the plots.
struct PlotPositions {
  input::PlotList list;          ///< coordinates and categories (none without a plot list)
  core::DMatrix plot_distances;  ///< [0..P][0..P] when distances_read, else empty
  bool distances_read = false;   ///< the distances come from a file (not from the coordinates)
  /// [0..P][0..P] the category code of each pair of plots, read when the
  /// run selects plot pairs by their category; empty otherwise. At analysis
  /// level 3 its plots are the position groups.
  core::FMatrix pairwise_categories;
};

/// The individual list and what the run derives from it.
struct Individuals {
  input::IndividualList list;
  int n_columns = 0;                                   ///< C: group, x, y, species and the variables
  core::NameTable column_names;                        ///< [0..C-1]
  core::IVector column_categories;                     ///< [0..C-1]: categories announced (0 quantitative)
  core::IVector species;                               ///< [0..n]: species index of each individual (0 none)
  individuals::PositionGroups position_groups;         ///< individuals standing at one position
  std::string clade_reduction_note;                    ///< individuals left out by "REDUCE DATA TO CLADE", as described
  core::IVector selection_test_counts;                 ///< [0..T], entry 0 = T; [0..0] = 0 without selection tests
  core::Vector<core::NameTable> selection_test_texts;  ///< [1..T]: texts[t][0] base test, [1..|k|] pair tests

  int n_individuals() const { return species.empty() ? 0 : species.hi(); }
};

/// The intervals of the distance classes, of the divergences and of the
/// regressions.
struct IntervalSet {
  input::Intervals distance;
  input::Intervals divergence;
  input::Intervals regression;
};

/// Everything a run reads from its data files.
struct DataSet {
  int n_species = 0;              ///< S: the species of the run (of the first source that names species)
  core::NameTable species_names;  ///< [0..S] (no table when S = 0)
  input::Community community;     ///< without plots: no names and a 2 x 2 placeholder table whose (0, 0) is 0
  PlotPositions positions;
  Individuals individuals;
  Traits traits;
  Phylogeny phylogeny;
  IntervalSet intervals;
  /// The levels of the classification: names, the species level first and
  /// "ALL" last, with their divergences ([0..L]); without levels, [0..0] the
  /// species level as the species list names it.
  input::TaxonomicLevels levels;
};

}  // namespace quorvel::driver
