#include "driver/plot_section_data.hpp"

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "individuals/position_groups.hpp"
#include "input/pairwise_categories.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/clade_reduction.hpp"
#include "reports/left_out_text.hpp"
#include "reports/pairwise_values_text.hpp"
#include "reports/report_files.hpp"
#include "reports/section_reports.hpp"
#include "reports/statistics.hpp"

namespace quorvel::driver {

namespace {

// The plots of the run as a section takes them: the community data, or at
// analysis level 3 the position groups of the individuals.
PlotSectionData run_plots(const RunInputs& run) {
  const DataSet& data = run.data;
  PlotSectionData plots;
  if (run.codes.analysis_level == kGroupedIndividuals) {
    const Individuals& individuals = data.individuals;
    plots.community = individuals::group_community(individuals.position_groups, individuals.n_individuals(),
                                                   individuals.species, data.species_names);
    plots.plots = individuals::group_plot_list(individuals.position_groups);
  } else {
    plots.community = data.community;
    plots.plots = data.positions.list;
    if (data.positions.distances_read) plots.plot_distances = &data.positions.plot_distances;
  }
  if (!data.positions.pairwise_categories.empty()) plots.pairwise_categories = &data.positions.pairwise_categories;
  return plots;
}

}  // namespace

PlotSectionData plot_section_data(const RunInputs& run, const partition::SpeciesDistances& distances) {
  PlotSectionData data = run_plots(run);
  const instructions::RunSettings& settings = run.settings;
  const int mode = settings.pair_selection_mode;
  const int n_plots = data.n_plots();
  const int n_species = run.codes.n_species;
  core::DMatrix& A = data.community.abundances;
  if (mode != 0) {
    input::select_plot_categories(data.plots.n_categories, data.plots.category_names, mode, data.pair_key1,
                                  data.pair_key2, settings.pair_category_1, settings.pair_category_2);
  }
  if ((mode == 1 || mode == 2) && data.pair_key1 != 0) {
    // Plots of the other categories leave the analysis: a plot of total 0
    // has no weight and forms no pair.
    double total = 0;
    for (int k = 1; k <= n_plots; ++k) {
      const int category = data.plots.plot_category[k];
      if (category != data.pair_key1 && category != data.pair_key2) A(k, 0) = 0;
      total += A(k, 0);
    }
    A(0, 0) = total;
  }
  // The four statistics of the section describe one and the same set of
  // species: those the distances relate to others.
  if (distances.given()) {
    const std::vector<int> left_out = partition::species_without_distances(distances, A, n_plots, n_species);
    if (!left_out.empty()) {
      std::vector<char> keep(static_cast<std::size_t>(n_species) + 1, 1);
      for (const int s : left_out) keep[static_cast<std::size_t>(s)] = 0;
      phylogeny::retain_species(keep, n_plots, n_species, data.community.data_type, A);
    }
  }
  return data;
}

PlotSection make_plot_section(const RunInputs& run, const PlotSectionData& data,
                              const partition::SpeciesDistances& distances, int analysis_kind,
                              bool use_divergence_intervals) {
  PlotSection section;
  section.n_plots = data.n_plots();
  section.n_species = run.codes.n_species;
  section.analysis_kind = analysis_kind;
  section.n_statistics = analysis_kind == kTraitAnalysis ? 4 : run.codes.n_reported_indices;
  section.distances = distances;
  const input::Intervals& divergence = run.data.intervals.divergence;
  if (use_divergence_intervals) {
    section.n_intervals = divergence.n;
    section.limits = divergence.limits;
  } else {
    // Trait distances are not decomposed by interval: 0 (one species) and the rest.
    section.n_intervals = 2;
    section.limits = core::dvector(0, 2);
    section.limits[1] = 0;
    section.limits[2] = 1;
  }
  section.weighting = static_cast<partition::PlotWeighting>(run.settings.plot_weighting);
  section.selection.mode = run.settings.pair_selection_mode;
  section.selection.categories = &data.plots.plot_category;
  section.selection.key1 = data.pair_key1;
  section.selection.key2 = data.pair_key2;
  section.selection.pairwise_categories = data.pairwise_categories;
  section.positions.x = &data.plots.x;
  section.positions.y = &data.plots.y;
  section.positions.distances = data.plot_distances;
  for (const int k : partition::plots_in_selection(section)) {
    if (data.community.abundances(k, 0) == 0.0) section.empty_plots.push_back(k);
  }
  partition::prepare_plot_section(section, run.data.intervals.distance.n, run.data.intervals.distance.limits);
  return section;
}

void report_observed_partition(const RunInputs& run, PlotSectionData& data, PlotSection& section,
                               reports::ResultsTable& table) {
  partition::compute_observed_partition(section, data.community.abundances, data.community.data_type,
                                        data.plots.n_categories);
  reports::PartitionReportInput input;
  input.n_plots = section.n_plots;
  input.classes = &section.classes;
  input.data_level = run.codes.analysis_level;
  input.selection = section.selection;
  input.category_names = &data.plots.category_names;
  for (int code = 1; code <= section.n_statistics; ++code) input.statistics.push_back(code);
  input.regressions = section.rows;
  input.summary = &section.summary;
  input.tables = &section.tables;
  // The divergence intervals of the phylogeny section; none for traits.
  input.n_intervals = section.analysis_kind == kTraitAnalysis ? 0 : section.n_intervals;
  input.limits = &section.limits;
  input.full_regression = false;
  input.pairwise_mode = run.codes.spatial_kind;
  input.data_type = data.community.data_type;
  input.weighting = section.weighting;
  input.analysis_kind = section.analysis_kind;
  input.plot_names = &data.community.plot_names;
  input.empty_plots = section.empty_plots;
  core::console_print(reports::global_statistics_line(input));
  reports::append_section(run.outputs.main_result_file, reports::report_partition(table, input));
}

void write_pairwise_values(const RunInputs& run, const PlotSectionData& data, const PlotSection& section) {
  reports::PairwiseValuesInput input;
  input.n_plots = section.n_plots;
  input.plot_names = &data.community.plot_names;
  input.selection = section.selection;
  input.x = &data.plots.x;
  input.y = &data.plots.y;
  input.distances = data.plot_distances;
  input.data_level = run.codes.analysis_level;
  for (int code = 1; code <= section.n_statistics; ++code) input.statistics.push_back(code);
  input.matrices = section.tables.pairwise;
  if (input.form < 1) core::console_print("\nWriting pairwise distances in matrix form. Please wait.");
  if (input.form >= 0) core::console_print("\nWriting pairwise distances in column form. Please wait.");
  // The first block of a run creates the file, a later one is appended.
  reports::write_table_file(run.outputs.file(run.settings.pairwise_indices_output), run.outputs.main_result_file,
                            reports::pairwise_values_text(input));
}

}  // namespace quorvel::driver
