#include "driver/load_data.hpp"

#include <cstdio>
#include <string>
#include <utility>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/community_counts.hpp"
#include "input/community_matrix.hpp"
#include "input/divergence_matrix_file.hpp"
#include "input/individual_list.hpp"
#include "input/interval_files.hpp"
#include "input/pairwise_categories.hpp"
#include "input/plot_distances.hpp"
#include "input/plot_list.hpp"
#include "input/species_lists.hpp"
#include "input/taxonomic_levels.hpp"
#include "input/trait_distances_file.hpp"
#include "input/tree_file.hpp"
#include "input/triplet_table.hpp"
#include "instructions/file_prompts.hpp"
#include "reports/community_conversion.hpp"
#include "reports/report_files.hpp"

namespace quorvel::driver {

namespace {

// Data named in the instruction file must give something to analyse: a
// source that yields no tree, no plots or no species is a mistake in the file
// (a missing tabulation, a wrong file), not an empty analysis.
void check_named_data(const instructions::RunSettings& settings, const DataHeaders& headers) {
  if (settings.tree.given() && headers.signed_tree_tips() == 0) {
    core::stop_run(
        core::format("\n\nERROR: no tree could be read from \"%s\": the tree must be one line of Newick text "
                     "with branch lengths, ending with \";\".\nPress any key to stop.",
                     settings.tree.file.c_str()),
        core::kStoppedStatus);
  }
  const input::DataSource& community =
      settings.species_plot_matrix.given() ? settings.species_plot_matrix : settings.triplets;
  if (community.given() && (headers.community.n_plots <= 0 || headers.community.n_species <= 0)) {
    core::stop_run(core::format("\n\nERROR: no species or no plots could be read from \"%s\": check that its columns "
                                "are separated by tabulations.\nPress any key to stop.",
                                community.file.c_str()),
                   core::kStoppedStatus);
  }
  // An empty species list would silently turn a trait or taxonomy run into
  // a run on plots alone.
  const std::pair<const input::DataSource*, bool> lists[] = {
      {&settings.species_traits, headers.species_traits.counts_read && headers.species_traits.n_species <= 0},
      {&settings.species_taxonomy, headers.taxonomy.counts_read && headers.taxonomy.n_species <= 0}};
  for (const auto& list : lists) {
    if (!list.second) continue;
    core::stop_run(core::format("\n\nERROR: no species could be read from \"%s\": after its header line, the list "
                                "needs one line per species.\nPress any key to stop.",
                                list.first->file.c_str()),
                   core::kStoppedStatus);
  }
}

// Species-plot data: a matrix or a triplet table, the optional conversion to
// the other form, and the plot list with coordinates and categories.
void load_community_data(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  const int n_plots = headers.community.n_plots;
  if (n_plots == 0) return;
  const bool from_matrix = settings.species_plot_matrix.given();
  data.community = from_matrix ? input::read_species_plot_matrix(settings.species_plot_matrix.file, headers.community)
                               : input::read_triplets(settings.triplets.file, headers.community);
  data.species_names = data.community.species_names;
  if (!settings.conversion_output.empty()) {
    reports::write_optional_file(settings.conversion_output,
                                 reports::converted_community_text(data.community, from_matrix));
  }
  input::PlotList& plots = data.positions.list;
  plots = settings.plot_list.given()
              ? input::read_plot_list(settings.plot_list.file, headers.plot_list, data.community.plot_names)
              : input::plots_without_list(n_plots);
  // Categories named by the pair selection are checked before any analysis.
  input::check_selected_categories(plots.n_categories, plots.category_names, settings.pair_selection_mode,
                                   settings.pair_category_1, settings.pair_category_2, settings.plot_list.file);
}

// The individual list; the species of the run are those of its individuals.
void load_individuals(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  const int n = headers.individuals.n_individuals;
  if (n == 0) return;
  Individuals& individuals = data.individuals;
  individuals.list = input::read_individual_list(settings.individuals.file, headers.individuals);
  individuals.n_columns = headers.individuals.n_columns;
  individuals.column_names = headers.individuals.column_names;
  individuals.column_categories = headers.individuals.column_categories;
  if (headers.individuals.n_species > 0) data.species_names = individuals.list.species_names;
  individuals.species = core::ivector(0, n);
  for (int i = 1; i <= n; ++i) individuals.species[i] = static_cast<int>(individuals.list.values(3, i));
  individuals.position_groups = group_individuals_by_position(n, individuals.list.x, individuals.list.y);
}

void load_intervals(const instructions::RunSettings& settings, DataSet& data) {
  IntervalSet& intervals = data.intervals;
  if (settings.distance_intervals.given()) {
    intervals.distance = input::read_distance_intervals(settings.distance_intervals.file);
  }
  intervals.divergence =
      settings.divergence_intervals.given()
          ? input::read_divergence_intervals(settings.divergence_intervals.file, data.phylogeny.max_divergence)
          : input::default_divergence_intervals();
  if (settings.regression_intervals.given()) {
    intervals.regression = input::read_regression_intervals(settings.regression_intervals.file);
  }
}

void load_plot_distances(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  if (!settings.plot_distances.given() || headers.community.n_plots == 0) return;
  data.positions.plot_distances = input::read_plot_distances(settings.plot_distances.file, data.community.plot_names);
  data.positions.distances_read = true;
}

void load_selection_tests(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  Individuals& individuals = data.individuals;
  individuals.selection_test_counts =
      headers.selection_test_counts.empty() ? core::ivector(0, 0) : headers.selection_test_counts;
  if (!settings.selection_tests.given()) return;
  individuals.selection_test_texts =
      input::read_selection_tests(settings.selection_tests.file, headers.selection_test_counts);
}

// The levels of a classification; without levels, the species level as
// the species list names it.
input::TaxonomicLevels classification_levels(const DataHeaders& headers) {
  if (headers.taxonomic_levels.level_names.hi() > 0) return headers.taxonomic_levels;
  input::TaxonomicLevels levels;
  levels.level_names = core::name_table(0, 0);
  levels.level_divergences = core::vector(0, 0);
  if (headers.species_traits.counts_read) {
    levels.level_names[0] = headers.species_traits.variable_names[0];
  } else if (headers.taxonomy.counts_read) {
    levels.level_names[0] = headers.taxonomy.level_names[0];
  }
  return levels;
}

// The categories of the pairs of the plots analysed, when the run selects
// plot pairs by their category.
void load_pairwise_categories(const instructions::RunSettings& settings, const core::NameTable& plot_names,
                              DataSet& data) {
  if (settings.pair_selection_mode != 3) return;
  input::read_pairwise_categories(settings.pairwise_categories.file, plot_names.hi(), plot_names,
                                  data.positions.pairwise_categories);
}

}  // namespace

DataHeaders scan_data_files(const instructions::RunSettings& settings) {
  DataHeaders headers;
  if (settings.species_plot_matrix.given()) {
    headers.community = input::scan_species_plot_matrix(settings.species_plot_matrix);
  } else if (settings.triplets.given()) {
    headers.community = input::scan_triplets(settings.triplets.file);
  }
  if (settings.plot_list.given()) headers.plot_list = input::scan_plot_list(settings.plot_list);
  if (settings.individuals.given()) headers.individuals = input::scan_individual_list(settings.individuals);
  if (settings.species_traits.given()) headers.species_traits = input::scan_species_traits(settings.species_traits);
  if (settings.species_taxonomy.given()) headers.taxonomy = input::scan_species_taxonomy(settings.species_taxonomy);
  if (settings.taxonomic_divergences.given()) {
    headers.taxonomic_levels = input::scan_taxonomic_divergences(settings.taxonomic_divergences);
  }
  if (settings.tree.given()) headers.tree = input::scan_newick_tree(settings.tree, instructions::dated_tree(settings));
  if (settings.species_divergences.given()) {
    headers.n_divergence_species = input::scan_species_divergences(settings.species_divergences);
  }
  if (settings.trait_distances.given())
    headers.trait_distances = input::scan_trait_distances(settings.trait_distances.file);
  if (settings.divergence_intervals.given() && !settings.divergence_intervals.is_inline()) {
    input::check_divergence_interval_count(settings.divergence_intervals.file);
  }
  if (settings.selection_tests.given())
    headers.selection_test_counts = input::scan_selection_tests(settings.selection_tests);

  // Only a classification in use (with its divergences) needs its levels;
  // without species trait list, the taxonomy list gives them.
  headers.taxonomy_as_species_list = headers.taxonomy.counts_read && headers.taxonomic_levels.n_levels != 0 &&
                                     !headers.species_traits.counts_read && headers.trait_distances.layout == 0;
  if (headers.taxonomy_as_species_list) input::taxonomy_as_species_list(settings.species_taxonomy, headers.taxonomy);
  // An unreadable number of categories was reported where it was found.
  if (headers.species_traits.unreadable_category || headers.individuals.unreadable_category) {
    core::stop_run("\nPress any key to stop.", core::kStoppedStatus);
  }
  check_named_data(settings, headers);
  return headers;
}

DataSet load_data_set(const instructions::RunSettings& settings, const DataHeaders& headers,
                      const ResolvedOutputs& outputs) {
  DataSet data;
  data.n_species = derive_codes(headers).n_species;
  if (data.n_species != 0) data.species_names = core::name_table(0, data.n_species);
  load_community_data(settings, headers, data);
  load_individuals(settings, headers, data);
  load_species_traits(settings, headers, data);
  load_phylogeny(settings, headers, outputs, data);
  write_phylogeny_outputs(settings, headers, data);
  load_intervals(settings, data);
  load_plot_distances(settings, headers, data);
  if (headers.community.n_plots != 0) load_pairwise_categories(settings, data.community.plot_names, data);
  load_selection_tests(settings, headers, data);
  data.levels = classification_levels(headers);
  tabulate_tree_divergences(headers, data);
  return data;
}

void choose_analysis_level(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data,
                           DerivedCodes& codes) {
  if (data.individuals.n_individuals() != 0) {
    const Individuals& individuals = data.individuals;
    codes.analysis_level = instructions::ask_analysis_level(
        settings.analysis_level_keyword, individuals.n_individuals(), individuals.position_groups.n_groups);
    if (codes.analysis_level == kGroupedIndividuals) {
      codes.spatial_kind = 2;
      load_pairwise_categories(settings, individuals::group_plot_names(individuals.position_groups.n_groups), data);
    }
  } else if (headers.community.n_plots != 0) {
    codes.analysis_level = kPlotLevel;
  } else if (headers.species_traits.counts_read && headers.species_traits.n_species != 0) {
    codes.analysis_level = kSpeciesOnly;
  } else {
    codes.analysis_level = kNoLevel;
  }
}

}  // namespace quorvel::driver
