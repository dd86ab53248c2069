#pragma once

#include <string>

#include "core/text_input.hpp"

namespace quorvel::input {

// Reading of tab-separated data lines. Positions are pointers into a line
// (NUL-terminated, as std::string::c_str() gives). Every primitive takes the
// file name and the data-line number only to put them in its messages; a
// malformed field ends the run through fatal_error (status 1, "error.txt").

/// Increments `line_number`, then reads the next line of `file` into `line`.
/// At end of file: "End of file encountered before END message" (status 1).
void read_data_line(core::TextInput& file, std::string& line, const std::string& file_name, int& line_number);

/// Position just after the next tab at or after `position`. Stops the run
/// when there is no tab or when the next field is empty.
const char* next_field(const char* position, const std::string& file_name, int line_number);

/// As next_field, but an empty field is returned as it is (the position then
/// starts with a tab).
const char* next_field_allow_empty(const char* position, const std::string& file_name, int line_number);

/// Copies the field at `position` (spaces allowed, up to the next tab, at
/// most `max_length` characters) into `destination`, trimming surrounding
/// spaces. The last field of a line keeps its line feed when no tab comes
/// within `max_length` characters; callers remove it.
void read_name_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number);

/// Copies the first blank-delimited word at `position` (at most `max_length`
/// characters) into `destination`.
void read_word_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number);

/// Converts the number at `position` to single precision ("%f" rules: leading
/// blanks skipped, text after the number ignored); stops the run otherwise.
void read_float_field(const char* position, float& destination, const std::string& file_name, int line_number);

/// Converts the number at `position` to double precision; stops the run
/// when no number stands there.
void read_double_field(const char* position, double& destination, const std::string& file_name, int line_number);

/// Non-fatal number conversions with the same rules ("%f", "%le", "%d"):
/// return false when no number stands at `position`; `end`, when given,
/// receives the position after the number.
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

}  // namespace quorvel::input
