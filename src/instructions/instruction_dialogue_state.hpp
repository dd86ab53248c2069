#pragma once

#include <string>
#include <vector>

namespace quorvel::instructions::dialogue {

/// What the answers so far have declared, consulted by the later menus, and
/// the lines collected for the instruction file, written once at the end.
struct DialogueState {
  std::string instruction_file;
  std::string text;  // the instruction file being composed

  int species_data_kind = 0;  // 0 none, 1 species-plot matrix, 2 plot-abundance-species triplets
  int tree_kind = 0;          // 0 none, 1 phylogenetic tree, 2 ultrametric phylogenetic tree
  bool taxonomy = false;
  bool species_traits = false;  // a species trait list (a trait-distance matrix does not count)
  bool plot_list = false;
  bool plot_distances = false;

  std::vector<std::string> inputs;  // data files named: no output may replace them
  std::string conversion_output;    // created anew by the run: never the main result file
  std::string results_table;        // created anew too
  std::string figures_folder;       // a folder: never the name of a file

  bool species_data() const { return species_data_kind != 0; }
  bool any_phylogeny() const { return tree_kind != 0 || taxonomy; }
  bool dated_phylogeny() const { return tree_kind == 2 || taxonomy; }
  bool plot_positions() const { return plot_list || plot_distances; }
};

/// Empty when `name` may receive results; otherwise the short message saying
/// why not (it is the instruction file, or a data file of the run).
std::string output_name_check(const DialogueState& state, const std::string& name);

/// The additional-instructions menu and its dialogues: distance and
/// divergence intervals, randomization tests and optional output files.
void ask_additional_instructions(DialogueState& state);

}  // namespace quorvel::instructions::dialogue
