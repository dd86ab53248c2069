#include "input/field_reading.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::input {

using core::fatal_error;
using core::format;

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The text of a field as shown in messages: from the position to the line end.
std::string rest_of_line(const char* position) {
  std::string text(position);
  strip_line_end(text);
  return text;
}

// A number must start here (after blanks), as the formatted-input
// conversions demand; strtod alone would also take "inf", "nan" and hex.
bool starts_a_number(const char* p) {
  while (is_blank(*p)) ++p;
  if (*p == '+' || *p == '-') ++p;
  if (*p == '.') ++p;
  return *p >= '0' && *p <= '9';
}

// A field's number may follow spaces, but never a tab or the line end: an
// empty cell must not be read as the number of the next cell.
bool field_holds_number(const char* p) {
  while (*p == ' ') ++p;
  return !is_blank(*p) && starts_a_number(p);
}

}  // namespace

void read_data_line(core::TextInput& file, std::string& line, const std::string& file_name, int& line_number) {
  ++line_number;
  if (!file.read_line(line)) {
    fatal_error(
        format("\nEnd of file encountered before END message on line %d from file %s", line_number, file_name.c_str()));
  }
}

const char* next_field(const char* position, const std::string& file_name, int line_number) {
  const char* tab = std::strchr(position, '\t');
  if (!tab)
    fatal_error(format("\ntab not found one column missing on line %d from file %s", line_number, file_name.c_str()));
  if (tab[1] == '\t')
    fatal_error(format("\ntwo consecutive tabs on line %d from file %s", line_number, file_name.c_str()));
  return tab + 1;
}

const char* next_field_allow_empty(const char* position, const std::string& file_name, int line_number) {
  const char* tab = std::strchr(position, '\t');
  if (!tab)
    fatal_error(format("\ntab not found one column missing on line %d from file %s", line_number, file_name.c_str()));
  return tab + 1;
}

namespace {

void check_field_request(const char* position, int max_length, const std::string& file_name, int line_number) {
  const char* p = position;
  while (*p && is_blank(*p)) ++p;
  if (!*p) {
    fatal_error(
        format("\ncannot read string from %s on line %d from file %s", position, line_number, file_name.c_str()));
  }
  if (max_length >= 100000) fatal_error("\nnumber of characters to read exceeds max allowed", 87);
}

}  // namespace

void read_name_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number) {
  check_field_request(position, max_length, file_name, line_number);
  std::size_t length = 0;
  while (length < static_cast<std::size_t>(max_length) && position[length] && position[length] != '\t') ++length;
  std::string text(position, length);
  if (length < static_cast<std::size_t>(max_length) || position[length] == '\t') {
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  std::size_t first = 0;
  while (first < text.size() && text[first] == ' ') ++first;
  destination = text.substr(first);
}

void read_word_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number) {
  check_field_request(position, max_length, file_name, line_number);
  scan_word(position, destination, max_length);
}

void read_float_field(const char* position, float& destination, const std::string& file_name, int line_number) {
  if (!field_holds_number(position) || !scan_float(position, destination)) {
    fatal_error(format("\ncannot read float from %s on line %d from file %s", rest_of_line(position).c_str(),
                       line_number, file_name.c_str()));
  }
}

void read_double_field(const char* position, double& destination, const std::string& file_name, int line_number) {
  if (!field_holds_number(position) || !scan_double(position, destination)) {
    fatal_error(format("\ncannot read float from %s on line %d from file %s", rest_of_line(position).c_str(),
                       line_number, file_name.c_str()));
  }
}

bool scan_float(const char* position, float& value, const char** end) {
  if (!starts_a_number(position)) return false;
  char* after = nullptr;
  value = std::strtof(position, &after);
  if (after == position) return false;
  if (end) *end = after;
  return true;
}

bool scan_double(const char* position, double& value, const char** end) {
  if (!starts_a_number(position)) return false;
  char* after = nullptr;
  value = std::strtod(position, &after);
  if (after == position) return false;
  if (end) *end = after;
  return true;
}

bool scan_int(const char* position, int& value, const char** end) {
  const char* p = position;
  while (is_blank(*p)) ++p;
  const char* digits = p;
  if (*digits == '+' || *digits == '-') ++digits;
  if (!(*digits >= '0' && *digits <= '9')) return false;
  char* after = nullptr;
  errno = 0;
  const long parsed = std::strtol(p, &after, 10);
  if (errno == ERANGE || parsed > 2147483647L || parsed < -2147483647L - 1) return false;
  value = static_cast<int>(parsed);
  if (end) *end = after;
  return true;
}

bool scan_word(const char* position, std::string& word, int max_length, const char** end) {
  const char* p = position;
  while (*p && is_blank(*p)) ++p;
  const char* start = p;
  while (*p && !is_blank(*p)) ++p;
  if (p == start) return false;
  const std::size_t length = static_cast<std::size_t>(p - start);
  word.assign(start, std::min(length, static_cast<std::size_t>(max_length)));
  if (end) *end = p;
  return true;
}

bool is_comment_line(const std::string& line) {
  return line.compare(0, 2, "/*") == 0 || line.compare(0, 2, "//") == 0 || (!line.empty() && line[0] == '"');
}

void strip_line_end(std::string& text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
}

}  // namespace quorvel::input
