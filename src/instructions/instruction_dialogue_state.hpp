#pragma once

#include <string>
#include <vector>

#include "instructions/keyword_table.hpp"

namespace quorvel::instructions::dialogue {

/// A keyword line of the instruction file being composed.
struct KeywordLine {
  const KeywordRecord* record;
  std::string argument;
  /// For an output the main result file may not replace: why, as the
  /// question of the main result file says it.
  const char* main_result_clash = nullptr;
};

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

  std::vector<KeywordLine> lines;  // every keyword line written, in order

  /// Appends `before` (line breaks) and the line "KEYWORD<TAB>argument" to
  /// the text, and records it. `keyword` is a keyword of the keyword table.
  void add_line(const char* before, const char* keyword, const std::string& argument,
                const char* main_result_clash = nullptr);
  /// The files (or folders) named by the lines of keywords of `role`, in
  /// order: the data files (kDataSource; counts of inline data name none),
  /// the files created anew (kNewOutput) and so on.
  std::vector<std::string> files(KeywordRole role) const;

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
