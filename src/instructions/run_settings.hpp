#pragma once

#include <string>

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::instructions {

/// Highest number of phylogeny randomization tests an instruction file defines.
inline constexpr int kMaxPhylogenyTests = 100;
/// Highest number of randomizations of one test: the values of every
/// randomization are kept until the test is summarised.
inline constexpr int kMaxRandomizations = 1000000;
/// Highest number of threads of the randomization tests ("THREADS").
inline constexpr int kMaxThreads = 256;
/// Highest number of slices the randomizations of a run are shared among.
inline constexpr int kMaxSlices = kMaxRandomizations;

/// Everything the instruction file sets, as read_instruction_file returns
/// it; nothing changes it afterwards. Counts are 0 and names empty when their
/// keyword is absent. What the data files hold (their counts, columns and
/// levels) is learnt by scanning them when the data are loaded.
struct RunSettings {
  // Tests and options.
  int n_phylogeny_tests = 0;
  int n_phylogeny_randomizations = 0;
  int n_spatial_randomizations = 0;
  int n_brownian_replicates = 0;
  int plot_weighting = 0;
  int pair_selection_mode = 0;  // 0 all, 1 within, 2 between, 3 of category
  std::string pair_category_1;
  std::string pair_category_2;
  int random_seed_keyword = 0;     // "RANDOM SEED" n: > 0 when given
  int n_threads = 0;               // "THREADS" n: 0 = one worker per core
  int analysis_level_keyword = 0;  // "ANALYSIS LEVEL": 1 individuals, 3 plots of position groups, 0 not given
  int slice_number = 0;            // "RANDOMIZATION SLICE" k K: this run is slice k of K; 0 = a whole run
  int slice_count = 0;

  // Phylogeny randomization tests t = 1..n_phylogeny_tests.
  core::FVector test_species_pool;   // [1..kMaxPhylogenyTests]
  core::FVector test_restriction;    // [1..kMaxPhylogenyTests]
  core::FVector test_age_limit;      // [1..kMaxPhylogenyTests]
  core::NameTable test_clade_names;  // [1..kMaxPhylogenyTests]

  // Data sources: a file, or the instruction file for data written after
  // their keyword line (inline data, with the numbers of the keyword line).
  input::DataSource species_plot_matrix;
  input::DataSource triplets;
  input::DataSource tree;
  std::string tree_keyword;  // "ULTRAMETRIC PHYLOGENETIC TREE" (a dated tree) or "PHYLOGENETIC TREE"
  input::DataSource species_taxonomy;
  input::DataSource taxonomic_divergences;
  input::DataSource species_divergences;
  input::DataSource species_traits;
  input::DataSource species_se_traits;
  input::DataSource trait_distances;
  input::DataSource plot_list;
  input::DataSource plot_distances;
  input::DataSource pairwise_categories;
  input::DataSource individuals;
  input::DataSource distance_intervals;
  input::DataSource regression_intervals;
  input::DataSource divergence_intervals;
  input::DataSource phylogeny_tests;
  input::DataSource selection_tests;

  // Outputs ("1" = the main result file).
  std::string main_result_file;  // empty: asked for when the run starts
  std::string plot_phylodiversity_output;
  std::string lineage_through_time_output;
  std::string tree_interpretation_output;
  std::string pairwise_indices_output;
  std::string node_decomposition_output;
  std::string phylogenetic_distances_output;
  std::string nexus_tree_output;
  std::string conversion_output;
  std::string results_table_output;  // "RESULTS TABLE": one row per reported value
  std::string figures_folder;        // "FIGURES": folder of SVG figures
  std::string distance_unit;         // "DISTANCE UNIT": unit of the distances, named on the figures' axes
  std::string reduce_to_clade;

  // How the outputs were named, for the check that no output overwrites an
  // input and for the emptying of the main result file.
  bool empty_main_result_file = false;  // "MAIN RESULT FILE" (not "ADD TO ...") named it
  std::string main_result_keyword;      // keyword that named main_result_file, empty if none
  std::string conversion_keyword;       // which of the two CONVERT keywords named conversion_output
};

/// True when the tree was given as "ULTRAMETRIC PHYLOGENETIC TREE": its node
/// heights are ages.
inline bool dated_tree(const RunSettings& settings) { return settings.tree_keyword == "ULTRAMETRIC PHYLOGENETIC TREE"; }

}  // namespace quorvel::instructions
