#pragma once

#include <string>
#include <vector>

#include "core/text_input.hpp"

namespace quorvel::input {

// Reading of tab-separated data lines. Positions are pointers into a line
// (NUL-terminated, as std::string::c_str() gives). Every primitive takes the
// file name and the data-line number only to put them in its messages; a
// malformed field ends the run through fatal_error (status 1, "error.txt").

// Messages name the file, the line (counted from 1, as an editor shows it)
// and, when the caller gives the start of the line, the column (counted from
// 1, one per tab, as a spreadsheet shows it). Every one of them is also
// appended to "error.txt".

/// Reads the next line of `file` into `line` and sets `line_number` to its
/// number in the file. At end of file: "End of file encountered before END
/// message" naming the line that is missing (status 1).
void read_data_line(core::TextInput& file, std::string& line, const std::string& file_name, int& line_number);

/// Position just after the next tab at or after `position`. Stops the run
/// when there is no tab or when the next field is empty.
const char* next_field(const char* position, const std::string& file_name, int line_number);

/// As next_field, but an empty field is returned as it is (the position then
/// starts with a tab).
const char* next_field_allow_empty(const char* position, const std::string& file_name, int line_number);

/// Column (from 1) of `position` in the line that begins at `line_start`.
int column_of(const char* line_start, const char* position);

/// Copies the field at `position` (spaces allowed, up to the next tab or the
/// line end) into `destination`, without surrounding spaces or line end.
/// A name longer than `max_length` characters stops the run naming it: a
/// name cut short could silently merge two species.
void read_name_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number, const char* line_start = nullptr);

/// Copies the first blank-delimited word at `position` into `destination`;
/// a word longer than `max_length` characters stops the run naming it.
void read_word_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number, const char* line_start = nullptr);

/// What a cell holds, for readers that treat an empty cell or a cell of text
/// in their own way.
enum class CellContent { kNumber, kEmpty, kText };

/// Reads the number that fills the cell at `position` (blanks around it
/// allowed). The number must be the whole cell: a number followed by other
/// text ("365,8", "12 m") stops the run naming the cell, with a hint for a
/// decimal comma, and so does a number that scan_number refuses (out of
/// range, too small, hexadecimal). Returns
/// kEmpty for a blank cell and kText for a cell that does not begin with a
/// number (nothing stored in either case).
CellContent read_number_cell(const char* position, double& value, const std::string& file_name, int line_number,
                             const char* line_start = nullptr);

/// As read_number_cell, in single precision ("%f"): the range and the
/// smallest normal value are those of a float.
CellContent read_float_cell(const char* position, float& value, const std::string& file_name, int line_number,
                            const char* line_start = nullptr);

/// Converts the number that fills the cell at `position` to single
/// precision; stops the run when the cell holds no number ("cannot read
/// float from") or more than a number (see read_number_cell).
void read_float_field(const char* position, float& destination, const std::string& file_name, int line_number,
                      const char* line_start = nullptr);

/// As read_float_field, in double precision.
void read_double_field(const char* position, double& destination, const std::string& file_name, int line_number,
                       const char* line_start = nullptr);

/// How the number at the front of a text reads. Numbers are decimal
/// ("-1.5e3"): "inf", "nan" and hexadecimal numbers ("0x10", "0x1p4") are no
/// data. A number beyond the range of its type is out of range; a number
/// other than 0 below the smallest normal value of its type in size (as
/// 1e-320 for a double) is too small: it would keep few significant digits,
/// or none.
enum class NumberReading { kNumber, kNone, kHexadecimal, kOutOfRange, kTooSmall };

/// Reads the number at `position` (blanks first allowed) in double or single
/// precision. `value` is set only for kNumber; `end`, when given, receives
/// the position after the number (kNumber, kOutOfRange, kTooSmall).
NumberReading scan_number(const char* position, double& value, const char** end = nullptr);
NumberReading scan_number(const char* position, float& value, const char** end = nullptr);

/// Why a number is refused, as messages end: ": the number is out of range"
/// and the like; empty for kNumber and kNone.
std::string number_refusal(NumberReading reading, bool single_precision);

/// Non-fatal number conversions of the number at the front of a text ("%f",
/// "%le", "%d"): return false when no number stands at `position` (or it is
/// refused by scan_number); `end`, when given, receives the position after
/// the number. They do not look at what follows the number: data cells are
/// read with the cell readers above.
bool scan_float(const char* position, float& value, const char** end = nullptr);
bool scan_double(const char* position, double& value, const char** end = nullptr);
bool scan_int(const char* position, int& value, const char** end = nullptr);

/// Copies the first white-space-delimited word at `position` into `word`
/// (at most `max_length` characters). Returns false when there is none.
bool scan_word(const char* position, std::string& word, int max_length = 100000, const char** end = nullptr);

/// True for comment lines of data files: "/*", "//" or a double quote first.
bool is_comment_line(const std::string& line);

/// Removes a trailing line feed (and a carriage return before it).
void strip_line_end(std::string& text);

/// True when the cell at `position` holds nothing but spaces before its tab
/// or the line end.
bool is_empty_cell(const char* position);

/// True when the line holds nothing but blanks.
bool is_blank_line(const std::string& line);

/// The names as a message lists them: ": A, B, C", at most the first 20,
/// then " and n more".
std::string listed_names(const std::vector<std::string>& names);

/// A data error of a reader: the message goes to the console and to
/// "error.txt", the program waits for a key and the run ends with `status`.
[[noreturn]] void reader_error(const std::string& message, int status = 1);

}  // namespace quorvel::input
