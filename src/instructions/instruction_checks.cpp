#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
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

namespace {

// How the run writes an output: the main result file and the tables that
// may share it (or one another's file) are continued by each writer; the
// others are created anew, and the figures are a folder.
enum class OutputUse { kMain, kContinued, kAnew, kFolder };

struct NamedOutput {
  const std::string* name;
  std::string keyword;
  OutputUse use;
};

bool same_output(const std::string& a, const std::string& b) {
  return same_file(a, b) || core::resolved_output_path(a) == core::resolved_output_path(b);
}

// What makes `output` unusable whatever the other outputs: a name that is
// the error log, lies outside the working folder, or is a folder (a file, for
// the figures). Empty when there is nothing.
std::string place_problem(const NamedOutput& output) {
  const std::string& name = *output.name;
  const char* keyword = output.keyword.c_str();
  if (same_output(name, core::kErrorFile)) {
    return core::format(
        "\n\nERROR: %s names \"%s\", the error log of the folder, which keeps the error reports of every run: "
        "results are never written to it.",
        keyword, name.c_str());
  }
  // Temporary files are written beside each output: they, like the results,
  // stay in the folder the user chose for the run.
  if (!core::inside_working_folder(name)) {
    return core::format(
        "\n\nERROR: %s names \"%s\", which is outside the folder of the instruction file: results are written "
        "in that folder or in folders within it.",
        keyword, name.c_str());
  }
  std::error_code error;
  const bool folder = std::filesystem::is_directory(name, error);
  if (output.use != OutputUse::kFolder && folder) {
    return core::format("\n\nERROR: %s names \"%s\", which is a folder: give the name of a file.", keyword,
                        name.c_str());
  }
  if (output.use == OutputUse::kFolder && !folder && std::filesystem::exists(name, error)) {
    return core::format("\n\nERROR: %s names \"%s\", which is a file: give the name of a folder.", keyword,
                        name.c_str());
  }
  // Found now, not when the results are put in place after the whole
  // analysis. The figure folder itself is created, but not the folders
  // above it: a misspelt folder name should not make a tree of folders.
  std::filesystem::path path(name);
  if (!path.has_filename()) path = path.parent_path();  // "figures/" is the folder "figures"
  const std::string parent = path.parent_path().string();
  if (!parent.empty() && !std::filesystem::is_directory(parent, error)) {
    const char* reason = std::filesystem::exists(parent, error)
                             ? "is a file: give another name."
                             : "does not exist: create the folder first, or give another name.";
    return core::format("\n\nERROR: %s names \"%s\", whose folder \"%s\" %s", keyword, name.c_str(), parent.c_str(),
                        reason);
  }
  return "";
}

// Two outputs of one name: the main result file and the continued tables
// share a file section after section; an output created anew or a folder
// would replace or hide the other one.
std::string clash_message(const NamedOutput& first, const NamedOutput& second) {
  const bool exclusive = first.use == OutputUse::kAnew || first.use == OutputUse::kFolder ||
                         second.use == OutputUse::kAnew || second.use == OutputUse::kFolder;
  if (!exclusive || !same_output(*first.name, *second.name)) return "";
  if (first.use == OutputUse::kMain && second.use == OutputUse::kAnew) {
    return core::format(
        "\n\nERROR: %s names the file \"%s\", which is the main result file: writing it would erase the results.",
        second.keyword.c_str(), second.name->c_str());
  }
  return core::format("\n\nERROR: %s and %s both name \"%s\": one would replace the other.", first.keyword.c_str(),
                      second.keyword.c_str(), second.name->c_str());
}

}  // namespace

std::string output_conflict_messages(const RunSettings& s, const std::string& instruction_file) {
  const std::string main_keyword =
      s.main_result_keyword.empty() ? "the main result file" : "\"" + s.main_result_keyword + "\"";
  const NamedOutput outputs[] = {
      {&s.main_result_file, main_keyword, OutputUse::kMain},
      {&s.plot_phylodiversity_output, "\"WRITE PLOT PHYLODIVERSITY AND SIMILARITY\"", OutputUse::kContinued},
      {&s.lineage_through_time_output, "\"WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME\"",
       OutputUse::kContinued},
      {&s.tree_interpretation_output, "\"WRITE PHYLOGENETIC TREE INTERPRETATION\"", OutputUse::kContinued},
      {&s.pairwise_indices_output, "\"WRITE PAIRWISE INDICES\"", OutputUse::kContinued},
      {&s.node_decomposition_output, "\"NODE DECOMPOSITION\"", OutputUse::kContinued},
      {&s.phylogenetic_distances_output, "\"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\"", OutputUse::kAnew},
      {&s.nexus_tree_output, "\"WRITE NEXUS TREE\"", OutputUse::kAnew},
      {&s.conversion_output, "\"" + s.conversion_keyword + "\"", OutputUse::kAnew},
      {&s.results_table_output, "\"RESULTS TABLE\"", OutputUse::kAnew},
      {&s.figures_folder, "\"FIGURES\"", OutputUse::kFolder},
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
  const auto named = [](const NamedOutput& output) { return !output.name->empty() && *output.name != "1"; };
  std::string messages;
  for (const NamedOutput& output : outputs) {
    if (!named(output)) continue;
    const std::string& name = *output.name;
    if (const std::string problem = place_problem(output); !problem.empty()) {
      messages += problem;
      continue;
    }
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
    if (reads_it) continue;
    // One message per output: the first output it clashes with.
    for (const NamedOutput* earlier = outputs; earlier != &output; ++earlier) {
      if (!named(*earlier) || !place_problem(*earlier).empty()) continue;
      const std::string clash = clash_message(*earlier, output);
      messages += clash;
      if (!clash.empty()) break;
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
