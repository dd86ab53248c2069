#pragma once

#include <string>
#include <vector>

#include "core/text_input.hpp"

namespace quorvel::input {

// Keyword lines and the counts they announce. A data set may open with a
// keyword line ("SPECIES-PLOT MATRIX 30 20"), in the instruction file (inline
// data) or in a file of its own; its numbers are read with the scan-format
// rules (a blank of the keyword text matches any run of white space; numbers
// are decimal and whole words). Counts announced are promises about the
// lines and cells that follow: they are checked against what the source
// holds before any table is sized from them, so that a typo or a hostile
// file ends the run with a message instead of a huge allocation.

/// Position after the full keyword text at the start of `line`, or nullptr
/// when the line does not carry the whole text (e.g. "INDIVIDUALS" read as
/// "INDIVIDUAL" carries it; "DISTANCE INTERVAL" does not).
const char* after_keyword_text(const std::string& line, const char* keyword);

/// First white-space-delimited word after the full keyword text; false when
/// there is none.
bool word_after_keyword(const std::string& line, const char* keyword, std::string& word);

/// Reads a whole number that is a whole word (digits, sign; "12x" is refused).
bool scan_count(const char* position, int& value, const char** end = nullptr);

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

/// Number of cells after the first `skipped_tabs` tabulations of `line`,
/// counted up to the first empty cell or the line end.
int count_filled_cells(const std::string& line, int skipped_tabs);

/// Number of tab-separated cells of `line` (0 for an empty line).
int count_cells(const std::string& line);

/// Copies a field of a header line (up to its tab or the line end), spaces
/// trimmed, at most `limit` characters.
std::string header_field(const char* position, int limit);

/// Reads the header cell of a variable at `position`: "#k name" for a
/// categorical variable of k categories (`categories` = k, `name` the word
/// after the number), otherwise the name of a quantitative variable
/// (`categories` = 0). Returns false when "#" is not followed by a number
/// (`name` is then the whole cell).
bool read_variable_cell(const char* position, std::string& name, int& categories);

/// Rows of a list without keyword line (species traits, taxonomy, plots):
/// every line to the end of `file`, blank lines at the very end excepted.
/// The readers refuse blank lines among the rows, so that counting and
/// reading always agree.
int count_list_rows(core::TextInput& file);

/// Species rows of an inter-species matrix: after the line last read, up to
/// the first empty line or line beginning with a tab. `first_words`, when
/// given, collects the first word of every row to the end of the file.
int count_matrix_rows(core::TextInput& file, std::vector<std::string>* first_words);

/// Reads one whole line, however long (a Newick text may exceed the line
/// buffer), without its line end; false at end of file.
bool read_whole_line(core::TextInput& file, std::string& text);

/// Number of lines of `file_name` after its line `line_number`.
int count_lines_after(const std::string& file_name, int line_number);

/// Stops the run when `count` of `what` announced by `keyword` is negative.
void check_not_negative(const char* keyword, int count, const char* what);

/// Stops the run unless 0 <= `count` <= the number of lines that follow line
/// `line_number` of `file_name` (each announced row needs its line).
void check_rows_available(const char* keyword, int count, const char* what, const std::string& file_name,
                          int line_number);

/// Stops the run unless 0 <= `count` <= the cells of `line` after its first
/// `skipped_cells` cells (each announced column needs its cell).
void check_cells_available(const char* keyword, int count, const char* what, const std::string& line, int skipped_cells,
                           const std::string& file_name, int line_number);

}  // namespace quorvel::input
