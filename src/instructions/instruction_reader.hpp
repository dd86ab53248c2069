#pragma once

#include <string>
#include <vector>

#include "core/text_input.hpp"
#include "input/keyword_lines.hpp"
#include "instructions/keyword_table.hpp"
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
  const char* keyword = "";  // keyword of the line being handled, for messages
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

/// Stops the run with the keyword's missing-argument message (status 3).
[[noreturn]] void stop_missing_argument(const KeywordRecord& record);

/// Sets the source of a data keyword: inline data of the keyword line being
/// read (the instruction file from the next line on, announced by
/// `numbers`), or the file `file`. Records the keyword where several set
/// one source.
void set_inline_source(InstructionContext& context, const KeywordRecord& record, std::vector<int> numbers);
void set_file_source(InstructionContext& context, const KeywordRecord& record, const std::string& file);

/// The argument of a data keyword, after its full text: a file name sets
/// the source and gives false; numbers announcing inline data (a digit
/// first) are read into numbers[0..count-1] (as many as stand there, their
/// number in `read`) and give true. No argument, or a negative number,
/// stops the run.
bool read_inline_numbers(InstructionContext& context, const std::string& line, const KeywordRecord& record,
                         int* numbers, int count, int* read = nullptr);

/// Passes over `count` lines of inline data that follow the keyword line, so
/// that none of them is taken for a keyword line.
void skip_inline_lines(InstructionContext& context, long long count);

// ---- Keyword handlers (the keyword table names them). ----

// Names and numbers (instruction_file.cpp).
void handle_source_or_inline(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_file_or_following_block(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_source_file(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_optional_source(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_required_name(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_clade_name(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_optional_output(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_main_result_file(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_add_to_main_result_file(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_randomizations(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_positive_count(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_analysis_level(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_plot_weighting(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_threads(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_randomization_slice(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_divergence_intervals(InstructionContext& context, const std::string& line, const KeywordRecord& record);

// Species lists and individuals (instruction_species_lists.cpp).
void handle_species_traits(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_species_taxonomy(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_individuals(InstructionContext& context, const std::string& line, const KeywordRecord& record);

// Phylogeny (instruction_phylogeny.cpp).
void handle_taxonomic_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_phylogeny_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_species_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record);

// Plots, community data and selection tests (instruction_plot_data.cpp).
void handle_selection_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_plot_list(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_species_plot_matrix(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_triplets(InstructionContext& context, const std::string& line, const KeywordRecord& record);
void handle_select_plot_pairs(InstructionContext& context, const std::string& line, const KeywordRecord& record);

/// For a line that is no keyword line: the keyword of the keyword table it
/// resembles (the keyword in another case or after blanks, or, for a line
/// whose first word is in capitals, a keyword one or two letters away), or
/// nullptr for an ordinary comment; a line beginning with "#" or "//"
/// (blanks before allowed) is always a comment (instruction_lookalikes.cpp).
const char* resembled_keyword(const std::string& line);

/// Final consistency checks (instruction_checks.cpp): every failed check's
/// message, concatenated; empty when the settings can be analysed together.
std::string final_check_messages(const RunSettings& settings);

}  // namespace quorvel::instructions
