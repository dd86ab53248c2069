#pragma once

#include <string>
#include <vector>

#include "core/text_input.hpp"
#include "input/data_source.hpp"
#include "input/keyword_lines.hpp"
#include "input/species_lists.hpp"
#include "instructions/run_settings.hpp"

namespace quorvel::instructions {

// Shared state and helpers of the instruction-file reader; the keyword
// handlers live in several files, one per kind of data.

/// A text file read line by line with the number of the last line read, so
/// that messages can name the line.
struct LineSource {
  core::TextInput file;
  std::string name;
  int line_number = 0;

  /// Reads the next line (line feed kept); false at end of file. Lines are
  /// numbered as the data readers number them (a line longer than the line
  /// buffer counts as several).
  bool read(std::string& line) {
    const bool read = file.read_line(line);
    line_number = file.line_number();
    return read;
  }
  /// Passes over one whole line, however long (a Newick text may exceed the
  /// line buffer, which hands it over in pieces).
  void skip_whole_line() {
    std::string piece;
    while (read(piece) && piece.back() != '\n') {
    }
  }
  /// Back to the first line.
  void rewind() {
    file.rewind();
    line_number = 0;
  }
  /// Reads up to the first line beginning with `keyword`; false at end of file.
  bool find_keyword_line(const std::string& keyword, std::string& line) {
    while (read(line)) {
      if (core::starts_with(line, keyword)) return true;
    }
    return false;
  }
};

/// The reading of one instruction file.
struct InstructionContext {
  const std::string& instruction_file;
  LineSource& source;  // the instruction file, positioned after the current line
  RunSettings& settings;
  const char* keyword = "";    // keyword of the line being handled, for messages
  bool read_failed = false;    // a category count could not be read (stops at the end)
  input::DataSource taxonomy;  // the taxonomy list, whose columns may carry the levels
  input::TaxonomyHeader taxonomy_header;
};

/// One keyword of the instruction file.
struct KeywordRecord;
using KeywordHandler = void (*)(InstructionContext& context, const std::string& line, const KeywordRecord& record);

struct KeywordRecord {
  const char* keyword;  // full keyword text
  int compared_length;  // number of leading characters that recognise it
  KeywordHandler handler;
  const char* missing_argument_message;  // fatal message when the argument is missing, or nullptr
  std::string RunSettings::*name_field;  // the name it sets, for the generic handlers
  int RunSettings::*count_field;         // the count it sets, for the generic handlers
};

// ---- Keyword lines (their reading is shared with the data readers). ----

using input::after_first_tab;
using input::after_keyword_text;
using input::check_not_negative;
using input::check_rows_available;
using input::read_line_numbers;
using input::scan_count;
using input::scan_numbers;
using input::word_after_keyword;

/// True when a keyword argument stands for inline data (a decimal digit first).
inline bool is_inline_argument(const std::string& word) { return !word.empty() && word[0] >= '0' && word[0] <= '9'; }

/// Stops the run when the argument `word` of a keyword is a negative number
/// (neither inline data nor a plausible file name).
void refuse_negative_count(const KeywordRecord& record, const std::string& word);

/// Stops the run unless 0 <= `count` <= kMaxRandomizations.
void check_randomizations(const char* keyword, int count);

/// Stops the run with the keyword's missing-argument message (status 0).
[[noreturn]] void stop_missing_argument(const KeywordRecord& record);

/// The lines of a data block named by a keyword: a separate file, or the
/// instruction file itself when the argument is a number (inline data).
struct DataBlock {
  LineSource file;              // the separate file, when there is one
  LineSource* lines = nullptr;  // where the block is read from
  std::string name;             // the source name kept in the settings
};

/// Points `block` at the instruction file for an inline argument, otherwise
/// opens the file `word` with the open retry naming `what`.
void open_data_block(DataBlock& block, InstructionContext& context, const std::string& word, const char* what);

/// The inline data of the keyword line being read: the instruction file
/// from the next line on, announced by `numbers`.
input::DataSource inline_data(const InstructionContext& context, std::vector<int> numbers);

/// Passes over `count` lines of inline data that follow the keyword line, so
/// that none of them is taken for a keyword line.
void skip_inline_lines(InstructionContext& context, long long count);

// ---- Keyword handlers, by kind of data. ----

// Species lists and individuals (instruction_species_lists.cpp).
void handle_species_traits(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_species_taxonomy(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_individuals(InstructionContext& context, const std::string& line, const KeywordRecord& record);
/// After the last line: a taxonomy list without species trait list becomes
/// the species list that carries the taxonomic levels.
void adopt_taxonomy_as_species_list(InstructionContext& context);

// Phylogeny (instruction_phylogeny.cpp).
void handle_taxonomic_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_phylogenetic_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_ultrametric_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_phylogeny_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_trait_distances(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_species_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record);

// Plots, community data and selection tests (instruction_plot_data.cpp).
void handle_selection_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_plot_list(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_species_plot_matrix(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_triplets(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_select_plot_pairs(InstructionContext& context, const std::string& line, const KeywordRecord& record);

/// A keyword as lines are compared with it.
struct KeywordPrefix {
  const char* text;
  int compared_length;
};

/// For a line that is no keyword line: the keyword of `keywords` it
/// resembles (the keyword in another case or after blanks, or, for a line
/// whose first word is in capitals, a keyword one or two letters away), or
/// nullptr for an ordinary comment; a line beginning with "#" or "//"
/// (blanks before allowed) is always a comment (instruction_lookalikes.cpp).
const char* resembled_keyword(const std::string& line, const std::vector<KeywordPrefix>& keywords);

/// Final consistency checks (instruction_checks.cpp): every failed check's
/// message, concatenated; empty when the settings can be analysed together.
std::string final_check_messages(const InstructionContext& context);

}  // namespace quorvel::instructions
