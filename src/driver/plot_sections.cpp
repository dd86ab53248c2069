#include "driver/plot_sections.hpp"

#include "core/console.hpp"
#include "core/text_output.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_tests.hpp"
#include "partition/diversity_indices.hpp"
#include "partition/lineages_through_time.hpp"
#include "partition/node_decomposition.hpp"
#include "partition/pairwise_values.hpp"
#include "reports/node_decomposition_text.hpp"
#include "reports/report_files.hpp"

namespace quorvel::driver {

namespace {

bool has_tree(const RunState& state) {
  const int kind = state.codes.phylogeny_kind;
  return (kind == kTaxonomy || kind == kUltrametricTree || kind == kOtherTree) && state.n_tree_nodes > state.n_tips;
}

// Ages of nodes are divergence times only in a dated tree or a classification.
bool has_dated_tree(const RunState& state) { return has_tree(state) && phylogeny::is_dated(state.phylogeny.origin); }

partition::SpeciesTree species_tree(const RunState& state) {
  partition::SpeciesTree tree;
  if (!has_tree(state)) return tree;
  tree.nodes = &state.nodes;
  tree.n_tips = state.n_tips;
  tree.n_nodes = state.n_tree_nodes;
  tree.leaf_of_species = &state.leaf_of_species;
  return tree;
}

// A table the instruction file asks for but the data cannot give: said on
// the console and in the main result file.
void note_skipped_table(const RunState& state, const char* keyword, const char* needs) {
  core::echo_to_file(state.settings.main_result_file,
                     std::string("\n\nWARNING: \"") + keyword + "\" needs " + needs + ": nothing is written for it.");
}

// An optional table in a file of its own (created anew), or appended to the
// main result file.
void write_table(const RunState& state, const std::string& file_name, const std::string& text) {
  reports::write_table_file(file_name, state.settings.main_result_file, text, reports::TableFileMode::kNewFile);
}

void write_node_decomposition(const RunState& state, const PlotSection& section) {
  if (!has_tree(state)) {
    note_skipped_table(state, "NODE DECOMPOSITION", "a phylogenetic tree or a taxonomy");
    return;
  }
  partition::NodeDecompositionInput input;
  input.n_plots = section.n_plots;
  input.n_species = section.n_species;
  input.abundances = &state.abundances;
  input.data_type = state.data_type;
  input.selection = section.selection;
  input.category_names = &state.category_names;
  input.tree = species_tree(state);
  const partition::NodeDecomposition result = partition::compute_node_decomposition(input);
  write_table(state, state.settings.node_decomposition_output, reports::node_decomposition_text(input, result));
}

void write_plot_diversity(const RunState& state, const PlotSection& section) {
  partition::DiversityIndicesInput input;
  input.n_plots = section.n_plots;
  input.n_species = section.n_species;
  input.plot_names = &state.plot_names;
  input.abundances = &state.abundances;
  input.divergences = section.distances;
  input.tree = species_tree(state);
  write_table(state, state.settings.plot_phylodiversity_output, partition::diversity_indices_text(input));
}

void write_lineages(const RunState& state, const PlotSection& section) {
  if (!has_dated_tree(state)) {
    note_skipped_table(state, "WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME",
                       "an ultrametric phylogenetic tree or a taxonomy");
    return;
  }
  partition::LineagesInput input;
  input.n_plots = section.n_plots;
  input.n_species = section.n_species;
  input.plot_names = &state.plot_names;
  input.abundances = &state.abundances;
  input.tree = species_tree(state);
  input.n_times = state.n_divergence_intervals;
  input.times = &state.divergence_limits;
  write_table(state, state.settings.lineage_through_time_output, partition::lineages_through_time_text(input));
}

// The pairwise values of a section: the first block of a run creates the
// file, the block of the traits section is appended after it.
void write_pairwise(const RunState& state, const PlotSection& section, int n_statistics, reports::TableFileMode mode) {
  partition::PairwiseValuesInput input;
  input.n_plots = section.n_plots;
  input.plot_names = &state.plot_names;
  input.selection = section.selection;
  input.x = &state.plot_x;
  input.y = &state.plot_y;
  input.distances = &state.plot_distances;
  input.data_level = state.codes.analysis_level;
  for (int code = 1; code <= n_statistics; ++code) input.statistics.push_back(code);
  input.matrices = section.tables.pairwise;
  if (input.form < 1) core::console_print("\nWriting pairwise distances in matrix form. Please wait.");
  if (input.form >= 0) core::console_print("\nWriting pairwise distances in column form. Please wait.");
  reports::write_table_file(state.settings.pairwise_indices_output, state.settings.main_result_file,
                            partition::pairwise_values_text(input), mode);
}

}  // namespace

void run_plots_phylogeny_section(RunState& state) {
  const bool has_phylogeny = state.codes.phylogeny_kind != kNoPhylogeny;
  core::console_print(has_phylogeny ? "\n\n\n\nAnalyse PLOTS x PHYLO data" : "\n\n\n\nAnalyse PLOTS data");
  prepare_plot_pairs(state);
  const partition::SpeciesDistances divergences =
      has_phylogeny ? partition::phylogeny_distances(state.phylogeny, partition::clade_view(state.phylogeny))
                    : partition::SpeciesDistances();
  const SectionSpecies species(state, divergences);
  PlotSection section =
      make_plot_section(state, divergences, has_phylogeny ? kPhylogenyAnalysis : kPlainAnalysis, true);
  compute_observed_partition(state, section);
  core::console_print(global_statistics_line(state, section));
  write_section_report(state, section, state.codes.n_reported_indices, section.n_intervals);

  const RunSettings& settings = state.settings;
  if (!settings.node_decomposition_output.empty()) write_node_decomposition(state, section);
  if (!settings.plot_phylodiversity_output.empty()) write_plot_diversity(state, section);
  if (!settings.lineage_through_time_output.empty()) write_lineages(state, section);
  if (!settings.pairwise_indices_output.empty()) {
    write_pairwise(state, section, state.codes.n_reported_indices, reports::TableFileMode::kNewFile);
  }

  if (settings.n_phylogeny_randomizations != 0 || settings.n_spatial_randomizations != 0) {
    run_phylogeny_section_tests(state, section);
  }
}

void run_plots_traits_section(RunState& state) {
  core::console_print("\n\n\n\n\nAnalyse PLOTS x TRAITS data");
  prepare_plot_pairs(state);
  const partition::SpeciesDistances distances = partition::table_distances(&state.section_trait_distances);
  const SectionSpecies species(state, distances);
  PlotSection section = make_plot_section(state, distances, kTraitAnalysis, false);
  compute_observed_partition(state, section);
  core::console_print(global_statistics_line(state, section));
  write_section_report(state, section, 4, 0);

  const RunSettings& settings = state.settings;
  if (settings.n_phylogeny_randomizations != 0 || settings.n_spatial_randomizations != 0) {
    run_traits_section_tests(state, section);
  }
  // The plots x phylogeny section always runs first and wrote the first block.
  if (!settings.pairwise_indices_output.empty()) {
    write_pairwise(state, section, 4, reports::TableFileMode::kAppendFile);
  }
}

}  // namespace quorvel::driver
