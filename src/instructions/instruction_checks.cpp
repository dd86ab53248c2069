#include <sys/stat.h>

#include <utility>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "instructions/instruction_file.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

namespace {

struct NamedFile {
  const std::string* name;
  std::string keyword;
};

}  // namespace

std::string final_check_messages(const InstructionContext& context) {
  const RunSettings& s = context.settings;
  std::string messages;
  if (!s.individual_list_source.empty() && !s.plot_list_source.empty()) {
    messages += "\n\nERROR: You cannot give both a list of individuals data and a list of plot data";
  }
  // An unreadable category count (context.read_failed) was reported where it
  // was found; it stops the run with the other checks.
  if (s.n_trait_species != 0 && s.n_trait_distance_species != 0) {
    messages +=
        "\n\nERROR: You can treat species traits (SPECIES TRAITS) or species distances for traits (INTER-SPECIES "
        "DISTANCES) but not both together";
  }
  // Mode 3 selects plot pairs by their pairwise category: without the table of
  // pairwise categories there is nothing to select from.
  if (s.pair_selection_mode == 3 && s.pairwise_categories_source.empty()) {
    messages +=
        "\n\nERROR: \"SELECT PLOT PAIRS OF CATEGORY\" selects plot pairs by their pairwise category: give the "
        "categories of the plot pairs with \"PAIRWISE CATEGORIES\"";
  }
  const int phyletic_sources = (s.n_tree_species != 0) + (s.n_taxonomy_species != 0) + (s.n_divergence_species != 0);
  if (phyletic_sources > 1) {
    messages +=
        "\n\nERROR: Species phyletic relationships can be defined by a taxonomic classification (SPECIES TAXONOMY + "
        "TAXONOMIC DISTANCES), a phylogenetic tree (ULTRAMETRIC PHYLOGENETIC TREE or PHYLOGENETIC TREE), or by "
        "inter-species divergences (INTER-SPECIES DIVERGENCES), but not by several of these ways.";
  }
  return messages;
}

std::string output_conflict_messages(const RunSettings& s, const std::string& instruction_file) {
  const std::string main_keyword =
      s.main_result_keyword.empty() ? "the main result file" : "\"" + s.main_result_keyword + "\"";
  const NamedFile outputs[] = {
      {&s.main_result_file, main_keyword},
      {&s.plot_phylodiversity_output, "\"WRITE PLOT PHYLODIVERSITY AND SIMILARITY\""},
      {&s.lineage_through_time_output, "\"WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME\""},
      {&s.tree_interpretation_output, "\"WRITE PHYLOGENETIC TREE INTERPRETATION\""},
      {&s.pairwise_indices_output, "\"WRITE PAIRWISE INDICES\""},
      {&s.node_decomposition_output, "\"NODE DECOMPOSITION\""},
      {&s.phylogenetic_distances_output, "\"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\""},
      {&s.nexus_tree_output, "\"WRITE NEXUS TREE\""},
      {&s.conversion_output, "\"" + s.conversion_keyword + "\""},
      {&s.results_table_output, "\"RESULTS TABLE\""},
  };
  const NamedFile sources[] = {
      {&s.species_plot_matrix_source, "SPECIES-PLOT MATRIX"},
      {&s.triplet_file, "PLOT-ABUNDANCE-SPECIES TRIPLET"},
      {&s.tree_file, s.n_tree_species < 0 ? "PHYLOGENETIC TREE" : "ULTRAMETRIC PHYLOGENETIC TREE"},
      {&s.species_taxonomy_file, "SPECIES TAXONOMY"},
      {&s.taxonomic_divergences_source, "TAXONOMIC DIVERGENCES"},
      {&s.inter_species_divergences_source, "INTER-SPECIES DIVERGENCES"},
      {&s.species_traits_file, "SPECIES TRAITS"},
      {&s.species_se_traits_file, "SPECIES SE-TRAITS"},
      {&s.trait_distances_file, "INTER-SPECIES TRAIT DISTANCES"},
      {&s.plot_list_source, "PLOT LIST"},
      {&s.inter_plot_distances_source, "INTER-PLOT DISTANCES"},
      {&s.pairwise_categories_source, "PAIRWISE CATEGORIES"},
      {&s.individual_list_source, "INDIVIDUAL"},
      {&s.distance_intervals_source, "DISTANCE INTERVALS"},
      {&s.regression_intervals_source, "REGRESSION DISTANCE INTERVALS"},
      {&s.divergence_intervals_source, "DIVERGENCE INTERVALS"},
      {&s.phylogeny_tests_source, "PHYLOGENY RANDOMIZATION TESTS"},
      {&s.selection_tests_source, "SELECTION TESTS"},
  };
  std::string messages;
  for (const NamedFile& output : outputs) {
    const std::string& name = *output.name;
    if (name.empty() || name == "1") continue;
    if (same_file(name, instruction_file)) {
      messages += core::format(
          "\n\nERROR: %s names the file \"%s\", which is the instruction file: writing results to it would destroy "
          "the instructions.",
          output.keyword.c_str(), name.c_str());
      continue;
    }
    bool reads_it = false;
    for (const NamedFile& source : sources) {
      if (source.name->empty() || !same_file(name, *source.name)) continue;
      messages += core::format(
          "\n\nERROR: %s names the file \"%s\", which \"%s\" reads: writing results to it would destroy its data.",
          output.keyword.c_str(), name.c_str(), source.keyword.c_str());
      reads_it = true;
      break;
    }
    // These outputs are created anew: on the main result file they would
    // erase the results written before them.
    const bool created_anew = output.name == &s.phylogenetic_distances_output || output.name == &s.nexus_tree_output ||
                              output.name == &s.conversion_output || output.name == &s.results_table_output;
    if (!reads_it && created_anew && !s.main_result_file.empty() && same_file(name, s.main_result_file)) {
      messages += core::format(
          "\n\nERROR: %s names the file \"%s\", which is the main result file: writing it would erase the results.",
          output.keyword.c_str(), name.c_str());
    }
  }
  if (!messages.empty()) messages += "\nNo file has been written: give the results another name.";
  return messages;
}

// Data named in the instruction file must give something to analyse: a
// source that yields no tree, no plots or no species is a mistake in the file
// (a missing tabulation, a wrong file), not an empty analysis.
void check_named_data(const RunSettings& settings) {
  if (!settings.tree_file.empty() && settings.n_tree_species == 0) {
    core::stop_run(
        core::format("\n\nERROR: no tree could be read from \"%s\": the tree must be one line of Newick text "
                     "with branch lengths, ending with \";\".\nPress any key to stop.",
                     settings.tree_file.c_str()),
        core::kStoppedStatus);
  }
  const std::string& community =
      settings.species_plot_matrix_source.empty() ? settings.triplet_file : settings.species_plot_matrix_source;
  if (!community.empty() && (settings.n_matrix_plots <= 0 || settings.n_matrix_species <= 0)) {
    core::stop_run(core::format("\n\nERROR: no species or no plots could be read from \"%s\": check that its columns "
                                "are separated by tabulations.\nPress any key to stop.",
                                community.c_str()),
                   core::kStoppedStatus);
  }
  // An empty species list would silently turn a trait or taxonomy run into
  // a run on plots alone.
  const std::pair<const std::string*, int> lists[] = {{&settings.species_traits_file, settings.n_trait_species},
                                                      {&settings.species_taxonomy_file, settings.n_taxonomy_species}};
  for (const auto& list : lists) {
    if (list.first->empty() || list.second > 0) continue;
    core::stop_run(core::format("\n\nERROR: no species could be read from \"%s\": after its header line, the list "
                                "needs one line per species.\nPress any key to stop.",
                                list.first->c_str()),
                   core::kStoppedStatus);
  }
}

}  // namespace quorvel::instructions
