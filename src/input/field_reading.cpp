#include "input/field_reading.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::input {

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

}  // namespace

void read_data_line(core::TextInput& file, std::string& line, const std::string& file_name, int& line_number) {
  if (!file.read_line(line)) {
    line_number = file.line_number() + 1;
    core::fatal_error(
        format("\nEnd of file encountered before END message on line %d from file %s", line_number, file_name.c_str()));
  }
  line_number = file.line_number();
}

const char* next_field(const char* position, const std::string& file_name, int line_number) {
  const char* tab = std::strchr(position, '\t');
  if (!tab)
    core::fatal_error(
        format("\ntab not found one column missing on line %d from file %s", line_number, file_name.c_str()));
  if (tab[1] == '\t')
    core::fatal_error(format("\ntwo consecutive tabs on line %d from file %s", line_number, file_name.c_str()));
  return tab + 1;
}

const char* next_field_allow_empty(const char* position, const std::string& file_name, int line_number) {
  const char* tab = std::strchr(position, '\t');
  if (!tab)
    core::fatal_error(
        format("\ntab not found one column missing on line %d from file %s", line_number, file_name.c_str()));
  return tab + 1;
}

int column_of(const char* line_start, const char* position) {
  int column = 1;
  for (const char* p = line_start; p < position && *p; ++p) column += *p == '\t' ? 1 : 0;
  return column;
}

namespace {

// " on line 3, column 2," or " on line 3" when the column is unknown.
std::string place(int line_number, const char* line_start, const char* position) {
  if (!line_start) return format(" on line %d", line_number);
  return format(" on line %d, column %d,", line_number, column_of(line_start, position));
}

// The text of the cell at `position`: up to its tab or the line end.
std::string cell_text(const char* position) {
  const char* end = position;
  while (*end && *end != '\t' && *end != '\n' && *end != '\r') ++end;
  return std::string(position, end);
}

void check_field_request(const char* position, int max_length, const std::string& file_name, int line_number,
                         const char* line_start) {
  const char* p = position;
  while (*p && is_blank(*p)) ++p;
  if (!*p) {
    core::fatal_error(format("\ncannot read string from %s%s from file %s", position,
                             place(line_number, line_start, position).c_str(), file_name.c_str()));
  }
  if (max_length >= 100000) core::fatal_error("\nnumber of characters to read exceeds max allowed", 87);
}

void check_name_length(const std::string& name, int max_length, const char* position, const std::string& file_name,
                       int line_number, const char* line_start) {
  if (static_cast<int>(name.size()) <= max_length) return;
  core::fatal_error(format("\nthe name \"%s\"%s from file %s is longer than the %d characters allowed", name.c_str(),
                           place(line_number, line_start, position).c_str(), file_name.c_str(), max_length));
}

// True when a "0x" prefix begins a hexadecimal number at `p` (sign skipped).
bool is_hexadecimal(const char* p) {
  if (*p == '+' || *p == '-') ++p;
  return p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
         (std::isxdigit(static_cast<unsigned char>(p[2])) || p[2] == '.');
}

// True when the digits before the exponent are not all 0: such a number
// that converts to 0 has underflowed.
bool has_nonzero_digit(const char* p) {
  if (*p == '+' || *p == '-') ++p;
  for (; (*p >= '0' && *p <= '9') || *p == '.'; ++p) {
    if (*p >= '1' && *p <= '9') return true;
  }
  return false;
}

template <typename T, typename Convert>
NumberReading scan_number_as(const char* position, T& value, const char** end, Convert convert) {
  const char* p = position;
  while (is_blank(*p)) ++p;
  if (!starts_a_number(p)) return NumberReading::kNone;
  if (is_hexadecimal(p)) return NumberReading::kHexadecimal;
  char* after = nullptr;
  const T parsed = convert(p, &after);
  if (end) *end = after;
  if (!std::isfinite(parsed)) return NumberReading::kOutOfRange;
  const bool underflow = parsed == 0 ? has_nonzero_digit(p) : std::fabs(parsed) < std::numeric_limits<T>::min();
  if (underflow) return NumberReading::kTooSmall;
  value = parsed;
  return NumberReading::kNumber;
}

// A cell's number; what follows it in the cell must be blanks only.
template <typename T>
CellContent read_cell(const char* position, T& value, const std::string& file_name, int line_number,
                      const char* line_start) {
  const char* p = position;
  while (*p == ' ') ++p;
  if (*p == '\t' || *p == '\n' || *p == '\r' || *p == '\0') return CellContent::kEmpty;
  const char* after = nullptr;
  T parsed = 0;
  const NumberReading reading = scan_number(p, parsed, &after);
  if (reading == NumberReading::kNone) return CellContent::kText;
  const std::string text = cell_text(position);
  const auto refuse = [&](const std::string& reason) {
    core::fatal_error(format("\ncannot read a number from \"%s\"%s from file %s", text.c_str(),
                             place(line_number, line_start, position).c_str(), file_name.c_str()) +
                      reason);
  };
  const bool single_precision = sizeof(T) == sizeof(float);
  if (reading == NumberReading::kHexadecimal) refuse(number_refusal(reading, single_precision));
  const char* rest = after;
  while (*rest == ' ') ++rest;
  if (!(*rest == '\t' || *rest == '\n' || *rest == '\r' || *rest == '\0')) {
    std::string reason = ": the cell holds more than a number";
    if (*rest == ',' && rest[1] >= '0' && rest[1] <= '9') {
      std::string suggestion(p, static_cast<std::size_t>(rest - p));
      const std::size_t comma_end = cell_text(rest).find_first_not_of("0123456789", 1);
      suggestion +=
          "." + cell_text(rest + 1).substr(0, comma_end == std::string::npos ? std::string::npos : comma_end - 1);
      reason += format("\nWrite decimal numbers with a point, not a comma: \"%s\", not \"%s\".", suggestion.c_str(),
                       text.c_str());
    }
    refuse(reason);
  }
  if (reading != NumberReading::kNumber) refuse(number_refusal(reading, single_precision));
  value = parsed;
  return CellContent::kNumber;
}

[[noreturn]] void stop_on_missing_number(const char* position, const std::string& file_name, int line_number,
                                         const char* line_start) {
  core::fatal_error(format("\ncannot read float from %s%s from file %s", rest_of_line(position).c_str(),
                           place(line_number, line_start, position).c_str(), file_name.c_str()));
}

}  // namespace

void read_name_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number, const char* line_start) {
  check_field_request(position, max_length, file_name, line_number, line_start);
  std::string text = cell_text(position);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  const std::size_t first = text.find_first_not_of(' ');
  text = first == std::string::npos ? std::string() : text.substr(first);
  check_name_length(text, max_length, position, file_name, line_number, line_start);
  destination = text;
}

void read_word_field(const char* position, std::string& destination, int max_length, const std::string& file_name,
                     int line_number, const char* line_start) {
  check_field_request(position, max_length, file_name, line_number, line_start);
  std::string word;
  scan_word(position, word);
  check_name_length(word, max_length, position, file_name, line_number, line_start);
  destination = word;
}

CellContent read_number_cell(const char* position, double& value, const std::string& file_name, int line_number,
                             const char* line_start) {
  return read_cell(position, value, file_name, line_number, line_start);
}

CellContent read_float_cell(const char* position, float& value, const std::string& file_name, int line_number,
                            const char* line_start) {
  return read_cell(position, value, file_name, line_number, line_start);
}

void read_float_field(const char* position, float& destination, const std::string& file_name, int line_number,
                      const char* line_start) {
  if (read_float_cell(position, destination, file_name, line_number, line_start) != CellContent::kNumber) {
    stop_on_missing_number(position, file_name, line_number, line_start);
  }
}

void read_double_field(const char* position, double& destination, const std::string& file_name, int line_number,
                       const char* line_start) {
  if (read_number_cell(position, destination, file_name, line_number, line_start) != CellContent::kNumber) {
    stop_on_missing_number(position, file_name, line_number, line_start);
  }
}

NumberReading scan_number(const char* position, double& value, const char** end) {
  return scan_number_as(position, value, end, [](const char* p, char** after) { return std::strtod(p, after); });
}

NumberReading scan_number(const char* position, float& value, const char** end) {
  return scan_number_as(position, value, end, [](const char* p, char** after) { return std::strtof(p, after); });
}

std::string number_refusal(NumberReading reading, bool single_precision) {
  switch (reading) {
    case NumberReading::kHexadecimal:
      return ": hexadecimal numbers are not read; write the number in decimal notation";
    case NumberReading::kOutOfRange:
      return ": the number is out of range";
    case NumberReading::kTooSmall:
      return format(
          ": the number is too close to 0 (below %g in size, it cannot be kept to full precision); write 0 "
          "if it stands for 0",
          single_precision ? static_cast<double>(std::numeric_limits<float>::min())
                           : std::numeric_limits<double>::min());
    default:
      return std::string();
  }
}

bool scan_float(const char* position, float& value, const char** end) {
  return scan_number(position, value, end) == NumberReading::kNumber;
}

bool scan_double(const char* position, double& value, const char** end) {
  return scan_number(position, value, end) == NumberReading::kNumber;
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

namespace quorvel::input {

bool is_empty_cell(const char* position) {
  while (*position == ' ') ++position;
  return *position == '\t' || *position == '\n' || *position == '\r' || *position == '\0';
}

bool is_blank_line(const std::string& line) {
  for (const char c : line) {
    if (!is_blank(c)) return false;
  }
  return true;
}

std::string listed_names(const std::vector<std::string>& names) {
  constexpr std::size_t kListed = 20;
  std::string text;
  for (std::size_t k = 0; k < names.size() && k < kListed; ++k) text += (k == 0 ? ": " : ", ") + names[k];
  if (names.size() > kListed) text += format(" and %d more", static_cast<int>(names.size() - kListed));
  return text;
}

void reader_error(const std::string& message, int status) { throw core::FatalError(message, status, true, true); }

}  // namespace quorvel::input
