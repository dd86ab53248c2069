#include "driver/load_data.hpp"

#include <cstdio>
#include <string>

#include "core/console.hpp"
#include "core/format.hpp"
#include "input/community_matrix.hpp"
#include "input/individual_list.hpp"
#include "input/interval_files.hpp"
#include "input/pairwise_categories.hpp"
#include "input/plot_distances.hpp"
#include "input/plot_list.hpp"
#include "input/triplet_table.hpp"

namespace quorvel::driver {

namespace {

void allocate_species_tables(RunState& state) { state.species_names = core::name_table(0, state.codes.n_species); }

// Species-plot data: a matrix or a triplet table, the optional conversion to
// the other form, and the plot list with coordinates and categories.
void load_community_data(RunState& state) {
  const RunSettings& settings = state.settings;
  if (settings.n_matrix_plots == 0) {
    // No plots: a placeholder whose total 0 tells the analyses so.
    state.abundances = core::dmatrix(0, 1, 0, 1);
    return;
  }
  const int n_plots = settings.n_matrix_plots;
  if (!settings.species_plot_matrix_source.empty()) {
    input::read_species_plot_matrix(settings.species_plot_matrix_source, n_plots, state.plot_names,
                                    settings.n_matrix_species, state.species_names, state.abundances, state.data_type);
  } else {
    input::read_triplets(settings.triplet_file, n_plots, settings.n_matrix_species, state.species_names,
                         state.plot_names, state.abundances, state.data_type);
  }
  if (!settings.conversion_output.empty()) {
    input::write_converted_data(settings.conversion_output, settings.species_plot_matrix_source, state.data_type,
                                n_plots, settings.n_matrix_species, state.abundances, state.plot_names,
                                state.species_names);
  }
  state.plot_x = core::dvector(0, n_plots);
  state.plot_y = core::dvector(0, n_plots);
  state.plot_category = core::ivector(0, n_plots);
  if (settings.n_listed_plots != 0) {
    state.n_categories = settings.n_plot_categories;
    input::read_plot_list(settings.plot_list_source, n_plots, settings.n_listed_plots, state.plot_names,
                          settings.n_plot_coordinates, state.plot_x, state.plot_y, state.n_categories,
                          state.category_names, state.plot_category, state.plot_list_titles);
  }
  if (settings.n_plot_coordinates != 0) state.codes.spatial_kind = 2;
  // Categories named by the pair selection are checked before any analysis.
  input::check_selected_categories(state.n_categories, state.category_names, settings.pair_selection_mode,
                                   settings.pair_category_1, settings.pair_category_2, settings.plot_list_source);
}

void load_intervals(RunState& state) {
  const RunSettings& settings = state.settings;
  if (!settings.distance_intervals_source.empty()) {
    input::read_distance_intervals(settings.distance_intervals_source, state.n_distance_intervals,
                                   state.distance_limits);
  }
  if (!settings.divergence_intervals_source.empty()) {
    input::read_divergence_intervals(settings.divergence_intervals_source, state.n_divergence_intervals,
                                     state.divergence_limits, state.max_divergence);
  } else {
    // Two intervals: divergence 0 (individuals of one species) and the rest.
    state.n_divergence_intervals = 2;
    state.divergence_limits = core::dvector(0, 2);
    state.divergence_limits[1] = 0;
    state.divergence_limits[2] = 1;
  }
  if (!settings.regression_intervals_source.empty()) {
    input::read_regression_intervals(settings.regression_intervals_source, state.n_regression_intervals,
                                     state.regression_limits);
  }
}

void load_plot_distances(RunState& state) {
  const RunSettings& settings = state.settings;
  if (!settings.inter_plot_distances_source.empty() && settings.n_matrix_plots != 0) {
    input::read_plot_distances(settings.inter_plot_distances_source, settings.n_matrix_plots, state.plot_names,
                               state.plot_distances);
    state.codes.spatial_kind = 2;
  } else {
    // Placeholder: [0][0] = 0 means that no matrix was read and coordinates
    // are used.
    state.plot_distances = core::dmatrix(0, 1, 0, 1);
  }
}

// The individual list; the species of the run are those of its individuals.
void load_individuals(RunState& state) {
  const RunSettings& settings = state.settings;
  if (settings.n_individuals == 0) return;
  const int n = settings.n_individuals;
  input::read_individual_list(settings.individual_list_source, n, settings.n_matrix_species,
                              settings.n_individual_columns, settings.individual_column_names,
                              settings.individual_column_categories, state.species_names, state.individuals);
  state.individual_species = core::ivector(0, n);
  for (int i = 1; i <= n; ++i) state.individual_species[i] = static_cast<int>(state.individuals.values(3, i));
  state.position_groups = group_individuals_by_position(n, state.individuals.x, state.individuals.y);
}

void load_selection_tests(RunState& state) {
  const RunSettings& settings = state.settings;
  if (settings.selection_tests_source.empty()) return;
  input::read_selection_tests(settings.selection_tests_source, settings.selection_test_counts,
                              state.selection_test_texts);
}

// Individuals standing in groups at a few positions may be analysed one by
// one or as plots made of the groups. "ANALYSIS LEVEL" answers the question
// in batch runs; at end of input the answer is that of an empty line.
int ask_analysis_level(const RunState& state) {
  const RunSettings& settings = state.settings;
  const int n_groups = state.position_groups.n_groups;
  if (!(n_groups > 1 && n_groups < settings.n_individuals)) return kIndividualLevel;
  if (settings.analysis_level_keyword != 0) return settings.analysis_level_keyword;
  core::console_print(
      core::format("\n\nAnalysis at the \n\t1- Individual level (%i individuals)\n\t2- Plot level (%i "
                   "spatial groups)\n",
                   settings.n_individuals, n_groups));
  std::string answer;
  if (!core::console_read_line(answer)) answer.clear();
  int choice = 0;
  return std::sscanf(answer.c_str(), "%d", &choice) == 1 && choice == 1 ? kIndividualLevel : kGroupedIndividuals;
}

// Analysis level 3: the position groups become the plots, with the
// positions of their first individuals and their species counts.
void use_position_groups_as_plots(RunState& state) {
  RunSettings& settings = state.settings;
  const PositionGroups& groups = state.position_groups;
  const int G = groups.n_groups;
  settings.n_matrix_plots = G;
  state.abundances = build_group_abundances(settings.n_individuals, G, groups.group_of, state.codes.n_species,
                                            state.individual_species);
  state.data_type = kCountData;
  state.plot_names = core::name_table(0, G);
  for (int g = 1; g <= G; ++g) state.plot_names[g] = core::format("%i", g);
  state.plot_x = groups.x;
  state.plot_y = groups.y;
  state.plot_category = core::ivector(0, G);
  state.n_categories = 0;
  settings.n_plot_coordinates = 2;
  state.codes.spatial_kind = 2;
}

}  // namespace

void load_run_data(RunState& state) {
  if (state.codes.n_species != 0) allocate_species_tables(state);
  load_community_data(state);
  load_individuals(state);
  load_species_traits(state);
  load_phylogeny(state);
  write_phylogeny_outputs(state);
  load_intervals(state);
  load_plot_distances(state);
  load_selection_tests(state);
}

void choose_analysis_level(RunState& state) {
  RunSettings& settings = state.settings;
  if (settings.n_individuals != 0) {
    state.codes.analysis_level = ask_analysis_level(state);
    if (state.codes.analysis_level == kGroupedIndividuals) use_position_groups_as_plots(state);
  } else if (settings.n_matrix_plots != 0) {
    state.codes.analysis_level = kPlotLevel;
  } else if (settings.n_trait_species != 0) {
    state.codes.analysis_level = kSpeciesOnly;
  } else {
    state.codes.analysis_level = kNoLevel;
  }
}

}  // namespace quorvel::driver
