#pragma once

#include <string>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "driver/data_set.hpp"
#include "individuals/position_groups.hpp"
#include "input/individual_list.hpp"
#include "instructions/run_settings.hpp"
#include "phylogeny/tree_node.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "reports/run_reports.hpp"

namespace quorvel::driver {

using instructions::kMaxPhylogenyTests;
// Individuals standing at one position form the plots of grouped individuals.
using individuals::build_group_abundances;
using individuals::group_individuals_by_position;
using individuals::PositionGroups;

/// Kinds of phyletic relationships given to the run.
enum PhylogenyKind { kNoPhylogeny = 0, kTaxonomy = 1, kUltrametricTree = 2, kOtherTree = 3, kDivergenceFile = 4 };
/// Kinds of trait data given to the run.
enum TraitKind { kNoTraits = 0, kSpeciesTraits = 1, kTraitDistances = 2 };
/// What the analyses work on.
enum AnalysisLevel { kNoLevel = 0, kIndividualLevel = 1, kPlotLevel = 2, kGroupedIndividuals = 3, kSpeciesOnly = 4 };

/// The codes that tell the analyses what data they have.
struct DerivedCodes {
  int phylogeny_kind = kNoPhylogeny;
  int trait_kind = kNoTraits;
  bool has_abundances = false;
  int n_species = 0;
  int spatial_kind = 1;  // 1 pairwise values without positions, 2 with positions
  int n_reported_indices = 4;
  int analysis_level = kNoLevel;
};

/// The codes known from the headers of the data files: phylogeny_kind,
/// trait_kind, has_abundances and the number of species announced (the
/// first source of species in the order community data, species traits,
/// trait distances, tree, taxonomy, divergences).
DerivedCodes derive_codes(const DataHeaders& headers);

/// The codes of the loaded data: those of the headers, with the species the
/// data set holds, whether its plots have positions and the statistics
/// reported (I alone without phylogeny). The analysis level is chosen later.
DerivedCodes loaded_codes(const DataHeaders& headers, const DataSet& data);

/// The output names of a run once the main result file is known.
struct ResolvedOutputs {
  std::string main_result_file;
  /// The file an optional table named `name` is written to ("1": the main
  /// result file).
  std::string file(const std::string& name) const;
};

/// Transitional: what the analysis sections read as `state.settings` while
/// they still work on RunState: the instruction settings with the output
/// names resolved, and the counts, columns and levels of the data as the
/// instruction reader once kept them beside the settings. Built from the
/// settings, the resolved outputs, the headers and the loaded data; never
/// changed in place.
struct SectionSettings : instructions::RunSettings {
  // Sources, as named (empty when absent, or ignored for unreadable counts).
  std::string species_plot_matrix_source;
  std::string triplet_file;
  std::string tree_file;
  std::string species_traits_file;
  std::string species_se_traits_file;
  std::string trait_distances_file;
  std::string plot_list_source;
  std::string inter_plot_distances_source;
  std::string pairwise_categories_source;

  // Counts of the data.
  int n_matrix_species = 0;  // species of the community data (of the individuals with an individual list)
  int n_matrix_plots = 0;    // plots of the community data (the position groups at analysis level 3)
  int n_trait_species = 0;
  int n_trait_variables = 0;
  int n_tree_species = 0;  // > 0 ultrametric tree, < 0 "PHYLOGENETIC TREE"
  int n_individuals = 0;
  int n_individual_columns = 0;
  int n_plot_categories = 0;  // -1: one category column, count not given
  int n_trait_distance_species = 0;
  int trait_distance_layout = 0;  // number of distance matrices (1 for a square matrix)
  int n_divergence_levels = 0;

  // Columns and levels.
  core::NameTable trait_variable_names;        // [0..n_trait_variables], 0 = species column header
  core::IVector trait_variable_categories;     // [0..n_trait_variables], 0 = number of species
  core::NameTable individual_column_names;     // [0..n_individual_columns-1]
  core::IVector individual_column_categories;  // [0..n_individual_columns-1]
  core::NameTable phyletic_level_names;        // [0..L], "ALL" at the top level
  core::FVector level_divergences;             // [0..L], entry 0 = 0
  core::IVector selection_test_counts;         // [0..n], entry 0 = n
};

/// Assembles what the sections read as `state.settings`. `n_plots` is the
/// number of plots analysed (the position groups at analysis level 3) and
/// `n_individuals` the individuals kept (all, or those of the clade).
SectionSettings section_settings(const instructions::RunSettings& settings, const ResolvedOutputs& outputs,
                                 const DataHeaders& headers, int n_plots, int n_individuals);

// The settings as the sections name them in this phase.
using RunSettings = SectionSettings;

/// Every table of a run, owned by the driver from loading to the end.
struct RunState {
  RunSettings settings;
  std::string instruction_file;
  int random_seed = 0;                       // the seed in use: negative, as the generator takes it
  randomization::RandomGenerator generator;  // the run's single random stream
  randomization::SliceLedger slices;         // the randomizations evaluated here: all, a slice, or merged
  DerivedCodes codes;

  // Community data.
  core::NameTable species_names;         // [0..n_species]
  core::NameTable plot_names;            // [0..plots]
  core::DMatrix abundances;              // [0..plots][0..n_species], row 0 the whole data set
  int data_type = kPresenceAbsenceData;  // kPresenceAbsenceData, kRelativeAbundanceData or kCountData
  core::DVector plot_x, plot_y;          // [0..plots]
  core::IVector plot_category;           // [0..plots]
  core::NameTable category_names;
  int n_categories = 0;
  core::NameTable plot_list_titles;  // column titles of the plot list
  core::DMatrix plot_distances;      // [0..plots][0..plots]; 2 x 2 placeholder with [0][0] = 0 when none

  // Species traits: values [0..V][0..S] (value or category index; row 0 = species
  // index), standard errors of the same shape, category labels per variable.
  core::FMatrix traits;
  core::FMatrix trait_se;
  core::Vector<core::NameTable> trait_category_names;
  core::IVector trait_categories_found;  // [0..V], 0 = number of species
  // Inter-species trait distances: matrices [1..M], each [0..S][0..S], and their names [0..M].
  core::Vector<core::FMatrix> trait_distances;
  core::NameTable trait_distance_names;
  int trait_distance_species = 0;  // distinct species the trait distance file names

  // Phylogeny: the tree (or the taxonomic tree), the species-tip maps and the
  // divergence matrix.
  phylogeny::NodeTable nodes;
  int n_tips = 0;
  int n_tree_nodes = 0;           // last node index of the tree
  core::IVector leaf_of_species;  // [0..n_species], 0 = species without tip
  core::IVector species_of_leaf;  // [0..n_tips], 0 = tip of no species
  core::FMatrix divergences;      // [0..n_species][0..n_species]; [0][0] tells the origin
  float max_divergence = 0;
  // Taxonomic tree: variable of each level, taxa per level, members of each
  // taxon, taxon of each species, all over levels 0..H+1.
  core::IVector level_variable;
  core::IVector taxa_per_level;
  core::IMatrix first_member;
  core::IMatrix last_member;
  core::IMatrix species_taxon;

  // Intervals.
  int n_distance_intervals = 0;
  core::DVector distance_limits;
  int n_divergence_intervals = 2;
  core::DVector divergence_limits;  // [1..R]
  int n_regression_intervals = 0;
  core::DVector regression_limits;

  // Trait distances between species for the trait sections: computed from the
  // species traits, or the first matrix of the trait distance file.
  core::FMatrix section_trait_distances;
  bool has_trait_distances = false;

  // Pair selection of the plot-level sections, prepared once by the first of
  // them (plots of other categories then have a total of 0 in `abundances`).
  bool plot_pairs_prepared = false;
  int pair_key1 = 0;                  // first category code (mode 3: the pairwise category)
  int pair_key2 = 0;                  // second category code
  core::FMatrix pairwise_categories;  // [0..plots][0..plots], selection mode 3

  // Selection tests: texts[t][0] the base-population test, [1..|k|] the pairwise tests.
  core::Vector<core::NameTable> selection_test_texts;

  // Individual list: its tables, the species of each individual [0..n] and
  // the groups of individuals standing at one position.
  input::IndividualList individuals;
  core::IVector individual_species;
  PositionGroups position_groups;
  // Individuals left out by "REDUCE DATA TO CLADE", as the data description says it.
  std::string clade_reduction_note;

  // Every reported value, for the results table and the figures.
  reports::RunReports reports;
};

/// Hands the loaded data over to the tables the analyses read.
void use_data_set(RunState& state, DataSet data);

}  // namespace quorvel::driver
