#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "instructions/instruction_file.hpp"
#include "instructions/instruction_reader.hpp"
#include "instructions/keyword_table.hpp"

namespace quorvel::instructions {

bool same_file(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// The data named, not what their files hold: the final checks need no data
// file.
std::string final_check_messages(const RunSettings& s) {
  std::string messages;
  if (s.individuals.given() && s.plot_list.given()) {
    messages += "\n\nERROR: You cannot give both a list of individuals data and a list of plot data";
  }
  // The species of an individual list are the species of the run: species-
  // plot data beside it would be read with the individuals' species count.
  if (s.individuals.given() && (s.species_plot_matrix.given() || s.triplets.given())) {
    messages +=
        "\n\nERROR: You cannot give both a list of individuals data and species-plot data (SPECIES-PLOT MATRIX or "
        "PLOT-ABUNDANCE-SPECIES TRIPLET)";
  }
  if (s.species_traits.given() && s.trait_distances.given()) {
    messages +=
        "\n\nERROR: You can treat species traits (SPECIES TRAITS) or species distances for traits (INTER-SPECIES "
        "DISTANCES) but not both together";
  }
  // Mode 3 selects plot pairs by their pairwise category: without the table of
  // pairwise categories there is nothing to select from.
  if (s.pair_selection_mode == 3 && !s.pairwise_categories.given()) {
    messages +=
        "\n\nERROR: \"SELECT PLOT PAIRS OF CATEGORY\" selects plot pairs by their pairwise category: give the "
        "categories of the plot pairs with \"PAIRWISE CATEGORIES\"";
  }
  const int phyletic_sources = s.tree.given() + s.species_taxonomy.given() + s.species_divergences.given();
  if (phyletic_sources > 1) {
    messages +=
        "\n\nERROR: Species phyletic relationships can be defined by a taxonomic classification (SPECIES TAXONOMY + "
        "TAXONOMIC DISTANCES), a phylogenetic tree (ULTRAMETRIC PHYLOGENETIC TREE or PHYLOGENETIC TREE), or by "
        "inter-species divergences (INTER-SPECIES DIVERGENCES), but not by several of these ways.";
  }
  return messages;
}

namespace {

bool same_output(const std::string& a, const std::string& b) {
  return same_file(a, b) || core::resolved_output_path(a) == core::resolved_output_path(b);
}

KeywordRole role_of(const NamedFile& output) {
  return output.record ? output.record->role : KeywordRole::kMainResultFile;
}

// What makes `output` unusable whatever the other outputs: a name that is
// the error log, lies outside the working folder, or is a folder (a file, for
// the figures). Empty when there is nothing.
std::string place_problem(const NamedFile& output) {
  const std::string& name = output.name;
  const std::string keyword_text = quoted_keyword(output);
  const char* keyword = keyword_text.c_str();
  const bool folder_output = role_of(output) == KeywordRole::kFolderOutput;
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
  if (!folder_output && folder) {
    return core::format("\n\nERROR: %s names \"%s\", which is a folder: give the name of a file.", keyword,
                        name.c_str());
  }
  if (folder_output && !folder && std::filesystem::exists(name, error)) {
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

// Two outputs of one name: the main result file and the optional tables
// share a file section after section; an output created anew or a folder
// would replace or hide the other one.
std::string clash_message(const NamedFile& first, const NamedFile& second) {
  const auto exclusive = [](KeywordRole role) {
    return role == KeywordRole::kNewOutput || role == KeywordRole::kFolderOutput;
  };
  if (!(exclusive(role_of(first)) || exclusive(role_of(second))) || !same_output(first.name, second.name)) return "";
  if (role_of(first) == KeywordRole::kMainResultFile && role_of(second) == KeywordRole::kNewOutput) {
    return core::format(
        "\n\nERROR: %s names the file \"%s\", which is the main result file: writing it would erase the results.",
        quoted_keyword(second).c_str(), second.name.c_str());
  }
  return core::format("\n\nERROR: %s and %s both name \"%s\": one would replace the other.",
                      quoted_keyword(first).c_str(), quoted_keyword(second).c_str(), second.name.c_str());
}

}  // namespace

std::string output_conflict_messages(const RunSettings& s, const std::string& instruction_file,
                                     const std::string& main_result_file) {
  std::vector<NamedFile> outputs;
  // "1" stands for the main result file, which is checked itself.
  for (const NamedFile& output : named_outputs(s, main_result_file)) {
    if (output.name != "1") outputs.push_back(output);
  }
  const std::vector<NamedFile> sources = named_sources(s);
  std::string messages;
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    const NamedFile& output = outputs[k];
    const std::string& name = output.name;
    if (const std::string problem = place_problem(output); !problem.empty()) {
      messages += problem;
      continue;
    }
    if (same_file(name, instruction_file)) {
      messages += core::format(
          "\n\nERROR: %s names the file \"%s\", which is the instruction file: writing results to it would destroy "
          "the instructions.",
          quoted_keyword(output).c_str(), name.c_str());
      continue;
    }
    bool reads_it = false;
    for (const NamedFile& source : sources) {
      if (!same_file(name, source.name)) continue;
      messages += core::format(
          "\n\nERROR: %s names the file \"%s\", which \"%s\" reads: writing results to it would destroy its data.",
          quoted_keyword(output).c_str(), name.c_str(), source.record->keyword);
      reads_it = true;
      break;
    }
    if (reads_it) continue;
    // One message per output: the first output it clashes with.
    for (std::size_t earlier = 0; earlier < k; ++earlier) {
      if (!place_problem(outputs[earlier]).empty()) continue;
      const std::string clash = clash_message(outputs[earlier], output);
      messages += clash;
      if (!clash.empty()) break;
    }
  }
  if (!messages.empty()) messages += "\nNo file has been written: give the results another name.";
  return messages;
}

}  // namespace quorvel::instructions
