#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "partition/plot_contents.hpp"
#include "reports/report_files.hpp"

namespace quorvel::reports {

/// What the head of the main result file says about the data and the
/// instructions of a run, before any analysis. A paragraph is written when
/// its data exist (a count not 0, a name not empty). Borrowed tables.
struct DataDescription {
  std::string instruction_file;
  std::string main_result_file;

  // Species-plot data (n_plots != 0).
  std::string community_file;  ///< the matrix or triplet file
  int n_plots = 0;
  int n_community_species = 0;
  int data_type = kPresenceAbsenceData;
  bool plot_categories = false;  ///< the plot list has a category column
  int n_categories = 0;
  std::string plot_list_file;
  std::string pairwise_categories_file;
  const core::NameTable* plot_names = nullptr;  ///< [1..n_plots]
  partition::PlotsLeftOut plots_left_out;       ///< named with the statistics they leave
  bool with_phylogeny = false;                  ///< the plot-level sections report P, P*, PI
  bool with_traits = false;                     ///< and T, T*, TAU

  // Individual list (n_individuals != 0).
  int n_individuals = 0;
  int n_groups = 0;
  int n_individual_species = 0;
  std::vector<std::string> column_names;     ///< the columns of the list, in order
  std::vector<int> column_categories_found;  ///< observed categories (groups, species, labels)
  std::vector<int> column_categories;        ///< expected categories
  int analysis_level_keyword = 0;            ///< "ANALYSIS LEVEL": 1 individuals, otherwise plots; 0 not given

  // Inter-plot distance intervals (n != 0, with plots).
  int n_distance_intervals = 0;
  const core::DVector* distance_limits = nullptr;  ///< [1..n]
  std::string plot_distances_file;                 ///< empty: distances from the coordinates of the plot list
  std::string distance_unit;                       ///< "DISTANCE UNIT", empty when not given

  // Taxonomic levels (n_levels != 0) and the phylogeny.
  int n_levels = 0;
  const core::NameTable* level_names = nullptr;      ///< [0..n_levels]
  const core::FVector* level_divergences = nullptr;  ///< [0..n_levels]
  bool classification = false;                       ///< the phylogeny is the taxonomic tree
  int n_tree_tips = 0;                               ///< > 0 an ultrametric tree, < 0 a tree of branch lengths
  std::string tree_file;
  int n_species = 0;  ///< of the run
  int n_tree_nodes = 0;
  const core::NameTable* species_names = nullptr;  ///< [1..S]
  std::vector<int> species_without_divergences;    ///< species of the plots left out of PLOTS x PHYLO

  // Species traits (n_trait_species != 0) and trait distances (n_distance_species != 0).
  std::string traits_file;
  std::string se_file;
  int n_trait_species = 0;
  std::vector<std::string> trait_names;  ///< the species column, then the variables
  std::vector<int> trait_categories;     ///< species, then categories of each variable (0 quantitative)
  std::string trait_distances_file;
  int n_distance_species = 0;  ///< rows of the trait distance file
  int n_distance_named = 0;    ///< distinct species the file names
  int n_distance_variables = 0;
  std::vector<int> species_without_traits;  ///< species of the plots left out of PLOTS x TRAITS

  // Divergence intervals (more than the default 2).
  int n_divergence_intervals = 0;
  const core::DVector* divergence_limits = nullptr;  ///< [1..R]

  // Selection tests: counts [0..T] (entry 0 = T) and texts [1..T].
  const core::IVector* selection_test_counts = nullptr;
  const core::Vector<core::NameTable>* selection_test_texts = nullptr;

  int n_phylogeny_tests = 0;
  int n_phylogeny_randomizations = 0;
  std::string clade;  ///< "REDUCE DATA TO CLADE"
  std::string clade_reduction_note;
  int random_seed = 0;  ///< as the user gives it to "RANDOM SEED"
};

/// The banner and the description of the data, for the main result file;
/// all but the banner also for the console. In parts: the user is asked to
/// check the values after each ten selection tests, between two parts.
std::vector<EchoedText> data_description_text(const DataDescription& description);

/// Writes the data description at the head of the main result file, shown on
/// the console too, calling `pause` between its parts. Returns the
/// description (the text shown), for the report page.
std::string write_data_description(const DataDescription& description, const std::function<void()>& pause);

}  // namespace quorvel::reports
