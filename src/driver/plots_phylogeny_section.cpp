#include "core/console.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_sections.hpp"
#include "driver/plot_tests.hpp"
#include "partition/diversity_indices.hpp"
#include "partition/lineages_through_time.hpp"
#include "partition/node_decomposition.hpp"
#include "reports/node_decomposition_text.hpp"
#include "reports/plot_tables_text.hpp"
#include "reports/report_files.hpp"
#include "reports/run_notes.hpp"

namespace quorvel::driver {

namespace {

bool has_tree(const RunInputs& run) {
  const int kind = run.codes.phylogeny_kind;
  return (kind == kTaxonomy || kind == kUltrametricTree || kind == kOtherTree) && run.data.phylogeny.has_tree();
}

// The tree as the optional tables read it: the node table as read, numbered
// as the reports print it (`nodes`: phylogeny::node_table of the run's tree).
partition::SpeciesTree species_tree(const RunInputs& run, const phylogeny::NodeTable& nodes) {
  partition::SpeciesTree tree;
  if (!has_tree(run)) return tree;
  const Phylogeny& phylogeny = run.data.phylogeny;
  tree.nodes = &nodes;
  tree.n_tips = phylogeny.n_tips;
  tree.n_nodes = phylogeny.last_number;
  tree.leaf_of_species = &phylogeny.tip_of_species;
  return tree;
}

// An optional table in a file of its own (created anew), or appended to the
// main result file; a table the data cannot give is said on the console and
// in the main result file.
void write_table(const RunInputs& run, const std::string& name, const std::string& text) {
  reports::write_table_file(run.outputs.file(name), run.outputs.main_result_file, text);
}

void note_skipped_table(const RunInputs& run, const char* keyword, const char* needs) {
  reports::write_note(run.outputs.main_result_file, reports::skipped_table_note(keyword, needs));
}

void write_node_decomposition(const RunInputs& run, const PlotSectionData& data, const PlotSection& section,
                              const phylogeny::NodeTable& nodes) {
  if (!has_tree(run)) {
    note_skipped_table(run, "NODE DECOMPOSITION", "a phylogenetic tree or a taxonomy");
    return;
  }
  partition::NodeDecompositionInput input;
  input.n_plots = section.n_plots;
  input.n_species = section.n_species;
  input.abundances = &data.community.abundances;
  input.data_type = data.community.data_type;
  input.selection = section.selection;
  input.category_names = &data.plots.category_names;
  input.tree = species_tree(run, nodes);
  write_table(run, run.settings.node_decomposition_output,
              reports::node_decomposition_text(input, partition::compute_node_decomposition(input)));
}

void write_plot_diversity(const RunInputs& run, const PlotSectionData& data, const PlotSection& section,
                          const phylogeny::NodeTable& nodes) {
  partition::DiversityIndicesInput input;
  input.n_plots = section.n_plots;
  input.n_species = section.n_species;
  input.abundances = &data.community.abundances;
  input.divergences = section.distances;
  input.tree = species_tree(run, nodes);
  write_table(run, run.settings.plot_phylodiversity_output,
              reports::diversity_indices_text(data.community.plot_names, partition::diversity_indices(input)));
}

void write_lineages(const RunInputs& run, const PlotSectionData& data, const PlotSection& section,
                    const phylogeny::NodeTable& nodes) {
  // Ages of nodes are divergence times only in a dated tree or a classification.
  if (!has_tree(run) || !is_dated(run.data.phylogeny.origin)) {
    note_skipped_table(run, "WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME",
                       "an ultrametric phylogenetic tree or a taxonomy");
    return;
  }
  partition::LineagesInput input;
  input.n_plots = section.n_plots;
  input.n_species = section.n_species;
  input.abundances = &data.community.abundances;
  input.tree = species_tree(run, nodes);
  input.n_times = run.data.intervals.divergence.n;
  input.times = &run.data.intervals.divergence.limits;
  write_table(run, run.settings.lineage_through_time_output,
              reports::lineages_through_time_text(data.community.plot_names, partition::lineages_through_time(input)));
}

}  // namespace

void run_plots_phylogeny_section(const RunInputs& run, randomization::RandomGenerator& generator,
                                 randomization::SliceLedger* slices, reports::ResultsTable& table) {
  const bool has_phylogeny = run.codes.phylogeny_kind != kNoPhylogeny;
  core::console_print(has_phylogeny ? "\n\n\n\nAnalyse PLOTS x PHYLO data" : "\n\n\n\nAnalyse PLOTS data");
  // The plot-level sections read a dated tree or a classification through
  // its clade view, another tree row by row: never a species x species table.
  const partition::SpeciesDistances divergences =
      has_phylogeny ? partition::phylogeny_distances(run.data.phylogeny, partition::clade_view(run.data.phylogeny))
                    : partition::SpeciesDistances();
  PlotSectionData data = plot_section_data(run, divergences);
  PlotSection section =
      make_plot_section(run, data, divergences, has_phylogeny ? kPhylogenyAnalysis : kPlainAnalysis, true);
  report_observed_partition(run, data, section, table);

  const instructions::RunSettings& settings = run.settings;
  const bool tables = !settings.node_decomposition_output.empty() || !settings.plot_phylodiversity_output.empty() ||
                      !settings.lineage_through_time_output.empty();
  const phylogeny::NodeTable nodes = tables ? phylogeny::node_table(run.data.phylogeny) : phylogeny::NodeTable();
  if (!settings.node_decomposition_output.empty()) write_node_decomposition(run, data, section, nodes);
  if (!settings.plot_phylodiversity_output.empty()) write_plot_diversity(run, data, section, nodes);
  if (!settings.lineage_through_time_output.empty()) write_lineages(run, data, section, nodes);
  if (!settings.pairwise_indices_output.empty()) write_pairwise_values(run, data, section);
  if (settings.n_phylogeny_randomizations != 0 || settings.n_spatial_randomizations != 0) {
    run_phylogeny_section_tests({run, data, section, generator, slices, table});
  }
}

}  // namespace quorvel::driver
