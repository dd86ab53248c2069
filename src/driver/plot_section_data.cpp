#include "driver/plot_section_data.hpp"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/pairwise_categories.hpp"
#include "phylogeny/clade_reduction.hpp"
#include "reports/left_out_text.hpp"
#include "reports/report_files.hpp"
#include "reports/section_reports.hpp"
#include "reports/statistics.hpp"

namespace quorvel::driver {

std::string species_name_list(const std::vector<int>& species, const core::NameTable& names) {
  if (species.empty()) return "";
  std::vector<std::string> named;
  for (const int s : species) named.push_back(names[s]);
  return input::listed_names(named).substr(2);  // without the leading ": "
}

namespace {

bool has_plot_data(const RunState& state) {
  const int n_plots = state.settings.n_matrix_plots;
  return n_plots != 0 && state.settings.n_individuals == 0 && state.abundances.row_hi() >= n_plots &&
         state.abundances.col_hi() >= state.codes.n_species;
}

std::string left_out_line(const char* text, const std::vector<int>& species, const core::NameTable& names) {
  if (species.empty()) return "";
  return core::format(text, static_cast<int>(species.size())) + species_name_list(species, names);
}

}  // namespace

std::string phylogeny_left_out_description(const RunState& state) {
  const int n_species = state.codes.n_species;
  const partition::SpeciesDistances divergences = partition::phylogeny_distances(state.phylogeny, nullptr);
  if (!has_plot_data(state) || !divergences.given()) return "";
  if (divergences.matrix && divergences.matrix->row_hi() < n_species) return "";
  return left_out_line(
      "\nSpecies of the plots without divergences (not in the phylogeny), left out of the PLOTS x PHYLO analyses: "
      "%i: ",
      partition::species_without_distances(divergences, state.abundances, state.settings.n_matrix_plots, n_species),
      state.species_names);
}

std::string traits_left_out_description(const RunState& state) {
  const int n_species = state.codes.n_species;
  const int n_plots = state.settings.n_matrix_plots;
  if (!has_plot_data(state)) return "";
  std::vector<int> left_out;
  if (state.codes.trait_kind == kTraitDistances && state.trait_distances.hi() >= 1 &&
      state.trait_distances[1].row_hi() >= n_species) {
    left_out = partition::species_without_distances(partition::table_distances(&state.trait_distances[1]),
                                                    state.abundances, n_plots, n_species);
  } else if (state.codes.trait_kind == kSpeciesTraits && n_species >= 2) {
    // Trait distances average the quantitative traits both species have: a
    // species without any of them has no distance at all.
    const RunSettings& settings = state.settings;
    const int n_variables = std::min(settings.n_trait_variables, state.traits.row_hi());
    bool any_quantitative = false;
    for (int v = 1; v <= n_variables; ++v) any_quantitative |= settings.trait_variable_categories[v] == 0;
    for (int i = 1; i <= n_species && any_quantitative; ++i) {
      bool present = false;
      for (int k = 1; k <= n_plots && !present; ++k)
        present = state.abundances(k, 0) != 0.0 && state.abundances(k, i) != 0.0;
      if (!present) continue;
      bool has_value = false;
      for (int v = 1; v <= n_variables && !has_value; ++v)
        has_value = settings.trait_variable_categories[v] == 0 && state.traits(v, i) != MISSING_VALUE_F;
      if (!has_value) left_out.push_back(i);
    }
  }
  return left_out_line(
      "\nSpecies of the plots without trait distances (no trait value), left out of the PLOTS x TRAITS analyses: %i: ",
      left_out, state.species_names);
}

SectionSpecies::SectionSpecies(RunState& state, const partition::SpeciesDistances& distances) : state_(state) {
  if (!distances.given()) return;
  const int n_plots = state.settings.n_matrix_plots;
  const int n_species = state.codes.n_species;
  if (state.abundances.row_hi() < n_plots || state.abundances.col_hi() < n_species) return;
  const std::vector<int> left_out =
      partition::species_without_distances(distances, state.abundances, n_plots, n_species);
  if (left_out.empty()) return;
  full_ = state.abundances;
  restricted_ = true;
  std::vector<char> keep(static_cast<std::size_t>(n_species) + 1, 1);
  for (int s : left_out) keep[static_cast<std::size_t>(s)] = 0;
  phylogeny::retain_species(keep, n_plots, n_species, state.data_type, state.abundances);
}

SectionSpecies::~SectionSpecies() {
  if (restricted_) state_.abundances = std::move(full_);
}

bool plot_in_selection(const RunState& state, int plot) {
  const int mode = state.settings.pair_selection_mode;
  const int key1 = state.pair_key1;
  const int category = state.plot_category.empty() ? 0 : state.plot_category[plot];
  if (mode == 1) return key1 == 0 || category == key1;
  if (mode == 2) return key1 == 0 || category == key1 || category == state.pair_key2;
  return true;
}

std::string plots_left_out_description(const RunState& state) {
  if (!has_plot_data(state)) return "";
  const int n_plots = state.settings.n_matrix_plots;
  const int n_species = state.codes.n_species;
  const core::DMatrix& A = state.abundances;
  std::vector<int> empty, one_individual, one_species;
  for (int k = 1; k <= n_plots; ++k) {
    int richness = 0;
    for (int j = 1; j <= n_species; ++j) richness += A(k, j) != 0.0 ? 1 : 0;
    if (A(k, 0) == 0.0 || richness == 0) {
      empty.push_back(k);
      continue;
    }
    if (state.data_type == partition::kCountData && A(k, 0) == 1.0) one_individual.push_back(k);
    if (richness == 1) one_species.push_back(k);
  }
  // The statistics the plot-level sections report: I alone without
  // divergences, the trait statistics when traits are given, PI (and TAU)
  // alone for presence/absence data, which have no plot of one individual.
  const bool phylogeny = state.codes.phylogeny_kind != kNoPhylogeny;
  const bool traits = state.codes.trait_kind != kNoTraits;
  const bool presence = state.data_type == partition::kPresenceAbsenceData;
  auto st = [](int code, int analysis_kind) { return reports::statistic_description(code, analysis_kind).st; };
  using partition::kStatisticI;
  using partition::kStatisticP;
  using partition::kStatisticPI;
  using partition::kStatisticPStar;
  std::vector<std::string> of_individuals = {st(kStatisticI, kPhylogenyAnalysis)}, of_species;
  if (phylogeny) of_individuals.push_back(st(kStatisticP, kPhylogenyAnalysis));
  if (traits) of_individuals.push_back(st(kStatisticP, kTraitAnalysis));
  if (phylogeny && !presence) of_species.push_back(st(kStatisticPStar, kPhylogenyAnalysis));
  if (phylogeny) of_species.push_back(st(kStatisticPI, kPhylogenyAnalysis));
  if (traits && !presence) of_species.push_back(st(kStatisticPStar, kTraitAnalysis));
  if (traits) of_species.push_back(st(kStatisticPI, kTraitAnalysis));
  std::string out = reports::left_out_line("every statistic", "no individual", empty, state.plot_names);
  out +=
      reports::left_out_line(reports::joined_names(of_individuals), "one individual", one_individual, state.plot_names);
  if (!of_species.empty()) {
    out += reports::left_out_line(reports::joined_names(of_species), "fewer than two species", one_species,
                                  state.plot_names);
  }
  return out;
}

void prepare_plot_pairs(RunState& state) {
  if (state.plot_pairs_prepared) return;
  state.plot_pairs_prepared = true;
  const RunSettings& settings = state.settings;
  const int mode = settings.pair_selection_mode;
  if (mode == 0) return;
  input::select_plot_categories(state.n_categories, state.category_names, mode, state.pair_key1, state.pair_key2,
                                settings.pair_category_1, settings.pair_category_2);
  const int n_plots = settings.n_matrix_plots;
  if (mode == 3) {
    input::read_pairwise_categories(settings.pairwise_categories_source, n_plots, state.plot_names,
                                    state.pairwise_categories);
    return;
  }
  if ((mode == 1 || mode == 2) && state.pair_key1 != 0) {
    // Plots of the other categories leave the analysis: a plot of total 0
    // has no weight and forms no pair.
    core::DMatrix& A = state.abundances;
    double total = 0;
    for (int k = 1; k <= n_plots; ++k) {
      const int category = state.plot_category[k];
      if (category != state.pair_key1 && category != state.pair_key2) A(k, 0) = 0;
      total += A(k, 0);
    }
    A(0, 0) = total;
  }
}

PlotSection make_plot_section(const RunState& state, const partition::SpeciesDistances& distances, int analysis_kind,
                              bool use_divergence_intervals) {
  PlotSection section;
  section.n_plots = state.settings.n_matrix_plots;
  section.n_species = state.codes.n_species;
  section.analysis_kind = analysis_kind;
  section.n_statistics = analysis_kind == kTraitAnalysis ? 4 : state.codes.n_reported_indices;
  section.distances = distances;
  if (use_divergence_intervals) {
    section.n_intervals = state.n_divergence_intervals;
    section.limits = state.divergence_limits;
  } else {
    // Trait distances are not decomposed by interval: 0 (one species) and the rest.
    section.n_intervals = 2;
    section.limits = core::dvector(0, 2);
    section.limits[1] = 0;
    section.limits[2] = 1;
  }
  section.weighting = static_cast<partition::PlotWeighting>(state.settings.plot_weighting);
  section.selection.mode = state.settings.pair_selection_mode;
  section.selection.categories = &state.plot_category;
  section.selection.key1 = state.pair_key1;
  section.selection.key2 = state.pair_key2;
  section.selection.pairwise_categories = state.pairwise_categories.empty() ? nullptr : &state.pairwise_categories;
  section.positions.x = &state.plot_x;
  section.positions.y = &state.plot_y;
  section.positions.distances = &state.plot_distances;

  for (int k = 1; k <= section.n_plots; ++k) {
    if (state.abundances(k, 0) == 0.0 && plot_in_selection(state, k)) section.empty_plots.push_back(k);
  }

  const int n_classes = state.n_distance_intervals;
  section.classes = partition::make_distance_class_table(n_classes);
  for (int j = 1; j <= n_classes; ++j) section.classes.limit[j] = state.distance_limits[j];
  if (n_classes != 0) {
    partition::assign_distance_classes(section.n_plots, section.classes, section.positions, section.selection,
                                       section.empty_plots);
  }
  section.tables = partition::make_partition_tables(section.n_plots);
  for (int code = partition::kStatisticI; code <= partition::kStatisticPI; ++code) {
    section.rows[code] = partition::make_regression_row(section.classes.classes);
    section.rows[code].fill(MISSING_VALUE_F);
  }
  section.summary = partition::make_statistic_summary();
  return section;
}

void compute_observed_partition(RunState& state, PlotSection& section) {
  partition::PartitionWorkspace workspace;
  partition::compute_diversity_partition(section.n_plots, section.n_species, state.abundances, state.data_type,
                                         section.selection, section.distances, section.n_intervals, section.limits,
                                         section.weighting, section.tables, workspace);
  partition::fill_statistic_summary(section.tables, section.summary);
  // Distance classes are never negative once fixed; without intervals the
  // rows hold the mean over all pairs.
  if (section.classes.classes >= 0) {
    partition::regress_statistics(section, state.n_categories, section.positions, section.tables,
                                  partition::kStatisticI, partition::kStatisticPI, section.rows);
  }
}

namespace {

reports::PartitionReportInput report_input(const RunState& state, const PlotSection& section, int n_statistics,
                                           int n_intervals) {
  reports::PartitionReportInput input;
  input.n_plots = section.n_plots;
  input.classes = &section.classes;
  input.data_level = state.codes.analysis_level;
  input.selection = section.selection;
  input.category_names = &state.category_names;
  for (int code = 1; code <= n_statistics; ++code) input.statistics.push_back(code);
  input.regressions = section.rows;
  input.summary = &section.summary;
  input.tables = &section.tables;
  input.n_intervals = n_intervals;
  input.limits = &section.limits;
  input.full_regression = false;
  input.pairwise_mode = state.codes.spatial_kind;
  input.data_type = state.data_type;
  input.weighting = section.weighting;
  input.analysis_kind = section.analysis_kind;
  input.plot_names = &state.plot_names;
  input.empty_plots = section.empty_plots;
  return input;
}

// The divergence intervals a section reports: those of the run for the
// phylogeny section, none for traits.
int reported_intervals(const PlotSection& section) {
  return section.analysis_kind == kTraitAnalysis ? 0 : section.n_intervals;
}

}  // namespace

std::string global_statistics_line(const RunState& state, const PlotSection& section) {
  // The statistics of the report's blocks: presence/absence data show PI alone.
  const int last = section.n_statistics;
  const int first = state.data_type == partition::kPresenceAbsenceData && last >= 4 ? 4 : 1;
  std::string line = "\n\n";
  for (int code = first; code <= last; ++code) {
    const float value = section.tables.pairwise[code](0, 0);
    if (code > first) line += "\t";
    line += reports::statistic_description(code, section.analysis_kind).st;
    line += "=" + core::format_cell("%.4f", value == MISSING_VALUE_F ? MISSING_VALUE : value);
  }
  const reports::PartitionReportInput input =
      report_input(state, section, section.n_statistics, reported_intervals(section));
  return line + reports::partition_left_out_lines(input) + reports::interval_left_out_lines(input);
}

void write_section_report(RunState& state, const PlotSection& section, int n_statistics, int n_intervals) {
  const reports::PartitionReportInput input = report_input(state, section, n_statistics, n_intervals);
  reports::append_section(state.settings.main_result_file, reports::report_partition(state.reports.table, input));
}

}  // namespace quorvel::driver
