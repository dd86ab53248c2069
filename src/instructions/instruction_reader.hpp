#pragma once

#include <string>
#include <vector>

#include "core/text_input.hpp"
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

  /// Reads the next line (line feed kept); false at end of file.
  bool read(std::string& line) {
    if (!file.read_line(line)) return false;
    ++line_number;
    return true;
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
  const char* keyword = "";  // keyword of the line being handled, for messages
  bool read_failed = false;  // a category count could not be read (stops at the end)
  bool individuals_given = false;
  bool plot_list_given = false;
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

// ---- Scanning of keyword lines (scan-format rules: a blank of the keyword
// text matches any run of white space; numbers are decimal). ----

/// Position after the full keyword text at the start of `line`, or nullptr
/// when the line does not carry the whole text (e.g. "INDIVIDUALS" read as
/// "INDIVIDUAL" carries it; "DISTANCE INTERVAL" does not).
const char* after_keyword_text(const std::string& line, const char* keyword);

/// First white-space-delimited word after the full keyword text; false when
/// there is none.
bool word_after_keyword(const std::string& line, const char* keyword, std::string& word);

/// Reads up to `count` whole numbers after `position`, each a whole word
/// (scan_count), stopping at the first that cannot be read; returns how many
/// were read. `end`, when given, receives the position after the last.
int scan_numbers(const char* position, int* values, int count, const char** end = nullptr);

/// As scan_numbers, for the numbers of a keyword line: when at least one
/// number was read, anything but blanks after the last one ("5 m", "3 2.5")
/// stops the run naming the line of `file_name` and `keyword`.
int read_line_numbers(const char* position, int* values, int count, const char* keyword, const std::string& file_name,
                      int line_number);

/// Text after the first tabulation of `line`, or nullptr when it has none.
const char* after_first_tab(const std::string& line);

/// True when a keyword argument stands for inline data (a decimal digit first).
inline bool is_inline_argument(const std::string& word) { return !word.empty() && word[0] >= '0' && word[0] <= '9'; }

/// Number of cells after the first `skipped_tabs` tabulations of `line`,
/// counted up to the first empty cell or the line end.
int count_filled_cells(const std::string& line, int skipped_tabs);

/// Rows of a list without keyword line (species traits, taxonomy, plots):
/// every line to the end of `lines`, blank lines at the very end excepted.
/// The readers refuse blank lines among the rows, so that counting and
/// reading always agree.
int count_list_rows(LineSource& lines);

// ---- Announced counts (instruction_counts.cpp). ----

/// Reads a whole number that is a whole word (digits, sign; "12x" is refused).
bool scan_count(const char* position, int& value, const char** end = nullptr);

/// Number of tab-separated cells of `line` (0 for an empty line).
int count_cells(const std::string& line);

/// Number of lines of `file_name` after its line `line_number`.
int count_lines_after(const std::string& file_name, int line_number);

/// Stops the run when `count` of `what` announced by `keyword` is negative.
void check_not_negative(const char* keyword, int count, const char* what);

/// Stops the run when the argument `word` of a keyword is a negative number
/// (neither inline data nor a plausible file name).
void refuse_negative_count(const KeywordRecord& record, const std::string& word);

/// Stops the run unless 0 <= `count` <= the number of lines that follow line
/// `line_number` of `file_name` (each announced row needs its line).
void check_rows_available(const char* keyword, int count, const char* what, const std::string& file_name,
                          int line_number);

/// Stops the run unless 0 <= `count` <= the cells of `line` after its first
/// `skipped_cells` cells (each announced column needs its cell).
void check_cells_available(const char* keyword, int count, const char* what, const std::string& line, int skipped_cells,
                           const std::string& file_name, int line_number);

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

/// Reads one whole line, however long (a Newick text may exceed the line
/// buffer), without its line end; false at end of file.
bool read_whole_line(LineSource& source, std::string& text);

/// Copies a field of a header line (up to its tab or the line end), spaces
/// trimmed, at most `limit` characters.
std::string header_field(const char* position, int limit);

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
