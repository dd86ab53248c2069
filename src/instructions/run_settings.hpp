#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::instructions {

/// Highest number of phylogeny randomization tests an instruction file defines.
inline constexpr int kMaxPhylogenyTests = 100;
/// Highest number of randomizations of one test: the values of every
/// randomization are kept until the test is summarised.
inline constexpr int kMaxRandomizations = 1000000;
/// Highest number of threads of the randomization tests ("THREADS").
inline constexpr int kMaxThreads = 256;
/// Highest number of selection tests (in absolute value) accepted.
inline constexpr int kMaxSelectionTests = 99;

/// Everything the instruction file sets. Counts are 0 and names empty when
/// their keyword is absent. A source equal to the instruction file name means
/// the data are written inline, after their keyword line.
struct RunSettings {
  // Counts and sizes found by the pre-scans.
  int n_matrix_species = 0;
  int n_matrix_plots = 0;
  int n_trait_species = 0;
  int n_trait_variables = 0;
  int n_taxonomy_species = 0;
  int n_taxonomy_columns = 0;
  int n_tree_species = 0;  // > 0 ultrametric tree, < 0 "PHYLOGENETIC TREE"
  int n_divergence_species = 0;
  int n_individuals = 0;
  int n_individual_columns = 0;
  int n_listed_plots = 0;
  int n_plot_coordinates = 0;
  int n_plot_categories = 0;  // -1: one category column, count not given
  int n_trait_distance_species = 0;
  int trait_distance_layout = 0;  // -1 square matrix, k > 0 list of k values
  int n_divergence_levels = 0;
  int n_phylogeny_tests = 0;
  int n_phylogeny_randomizations = 0;
  int n_spatial_randomizations = 0;
  int n_brownian_replicates = 0;
  int plot_weighting = 0;
  int pair_selection_mode = 0;  // 0 all, 1 within, 2 between, 3 of category
  std::string pair_category_1;
  std::string pair_category_2;

  // Settings that do not come from the original keyword set.
  int random_seed_keyword = 0;       // "RANDOM SEED" n: > 0 when given
  int n_threads = 0;                 // "THREADS" n: 0 = one worker per core
  std::string results_table_output;  // "RESULTS TABLE": one row per reported value
  std::string figures_folder;        // "FIGURES": folder of SVG figures
  std::string distance_unit;         // "DISTANCE UNIT": unit of the distances, named on the figures' axes
  int analysis_level_keyword = 0;    // "ANALYSIS LEVEL": 1 individuals, 3 plots of position groups, 0 not given
  // No species trait list: the taxonomy list is read as the species list that
  // carries the levels (trait_variable_* then describe its columns).
  bool taxonomy_as_species_list = false;

  // Tables (index ranges as documented on each).
  core::NameTable trait_variable_names;        // [0..n_trait_variables], 0 = species column header
  core::IVector trait_variable_categories;     // [0..n_trait_variables], 0 = n_trait_species
  core::NameTable taxonomy_level_names;        // [0..n_taxonomy_columns-1]
  core::IVector taxonomy_level_sizes;          // [0..n_taxonomy_columns-1]
  core::NameTable individual_column_names;     // [0..n_individual_columns-1]
  core::IVector individual_column_categories;  // [0..n_individual_columns-1]
  core::NameTable phyletic_level_names;        // [0..L], "ALL" at the top level
  core::FVector level_divergences;             // [0..L], entry 0 = 0
  core::FVector test_species_pool;             // [1..kMaxPhylogenyTests]
  core::FVector test_restriction;              // [1..kMaxPhylogenyTests]
  core::FVector test_age_limit;                // [1..kMaxPhylogenyTests]
  core::NameTable test_clade_names;            // [1..kMaxPhylogenyTests]
  core::IVector selection_test_counts;         // [0..n], entry 0 = n
  std::string tree_text;                       // Newick text of the tree

  // Data sources.
  std::string species_plot_matrix_source;
  std::string triplet_file;
  std::string tree_file;
  std::string species_taxonomy_file;
  std::string taxonomic_divergences_source;
  std::string inter_species_divergences_source;
  std::string species_traits_file;
  std::string species_se_traits_file;
  std::string trait_distances_file;
  std::string plot_list_source;
  std::string inter_plot_distances_source;
  std::string pairwise_categories_source;
  std::string individual_list_source;
  std::string distance_intervals_source;
  std::string regression_intervals_source;
  std::string divergence_intervals_source;
  std::string phylogeny_tests_source;
  std::string selection_tests_source;

  // Outputs ("1" = the main result file until the driver replaces it).
  std::string main_result_file;
  std::string plot_phylodiversity_output;
  std::string lineage_through_time_output;
  std::string tree_interpretation_output;
  std::string pairwise_indices_output;
  std::string node_decomposition_output;
  std::string phylogenetic_distances_output;
  std::string nexus_tree_output;
  std::string conversion_output;
  std::string reduce_to_clade;

  // How the outputs were named, for the check that no output overwrites an
  // input and for the emptying of the main result file.
  bool empty_main_result_file = false;  // "MAIN RESULT FILE" (not "ADD TO ...") named it
  std::string main_result_keyword;      // keyword that named main_result_file, empty if none
  std::string conversion_keyword;       // which of the two CONVERT keywords named conversion_output
};

}  // namespace quorvel::instructions
