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
#include "phylogeny/phylogeny.hpp"

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

/// The phylogeny of a run: a tree (Newick or classification) with the
/// species-tip maps, or a table of divergences alone.
using Phylogeny = phylogeny::Phylogeny;
using phylogeny::is_dated;
using phylogeny::PhylogenyOrigin;

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
  /// The divergences of the tree's species as a table, for the analyses
  /// that read one (the trait signal, the individual level): computed at
  /// loading when the run has traits or individuals, empty otherwise. The
  /// plot-level sections read the tree itself.
  core::FMatrix tree_divergences;
  IntervalSet intervals;
  /// The levels of the classification: names, the species level first and
  /// "ALL" last, with their divergences ([0..L]); without levels, [0..0] the
  /// species level as the species list names it.
  input::TaxonomicLevels levels;

  /// The divergences between species as a table: the tree's (see
  /// tree_divergences) or those of a divergence file; empty when there are
  /// none.
  const core::FMatrix& divergence_table() const {
    return phylogeny.has_tree() ? tree_divergences : phylogeny.divergences;
  }
};

}  // namespace quorvel::driver
