#include "input/keyword_lines.hpp"

#include <algorithm>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"

namespace quorvel::input {

namespace {

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

const char* after_keyword_text(const std::string& line, const char* keyword) {
  const char* position = line.c_str();
  for (const char* k = keyword; *k; ++k) {
    if (*k == ' ') {
      while (is_white(*position)) ++position;
    } else {
      if (*position != *k) return nullptr;
      ++position;
    }
  }
  return position;
}

bool word_after_keyword(const std::string& line, const char* keyword, std::string& word) {
  const char* position = after_keyword_text(line, keyword);
  return position && scan_word(position, word);
}

bool scan_count(const char* position, int& value, const char** end) {
  const char* after = nullptr;
  if (!position || !scan_int(position, value, &after)) return false;
  // The number is the whole word: "999x" or "9,5" is not a count.
  if (*after != '\0' && *after != ' ' && *after != '\t' && *after != '\n' && *after != '\r') return false;
  if (end) *end = after;
  return true;
}

int scan_numbers(const char* position, int* values, int count, const char** end) {
  int read = 0;
  while (position && read < count && scan_count(position, values[read], &position)) ++read;
  if (end) *end = position;
  return read;
}

int read_line_numbers(const char* position, int* values, int count, const char* keyword, const std::string& file_name,
                      int line_number) {
  const char* end = nullptr;
  const int read = scan_numbers(position, values, count, &end);
  if (read == 0 || !end || is_blank_line(end)) return read;
  // "SPATIAL RANDOMIZATION TEST 5 m": a unit or a note would otherwise pass
  // unseen, and "3 2.5" would read as 3 and 2.
  std::string argument(position);
  strip_line_end(argument);
  const std::size_t first = argument.find_first_not_of(" \t");
  argument = first == std::string::npos ? std::string() : argument.substr(first);
  core::stop_run(core::format("\n\nERROR: on line %d of %s, \"%s\" is followed by \"%s\": write %s alone after the "
                              "keyword, without unit, note or decimals.\nPress any key to stop.",
                              line_number, file_name.c_str(), keyword, argument.c_str(),
                              count == 1 ? "the whole number" : "the whole numbers"),
                 core::kStoppedStatus);
}

const char* after_first_tab(const std::string& line) {
  const std::size_t tab = line.find('\t');
  return tab == std::string::npos ? nullptr : line.c_str() + tab + 1;
}

int count_filled_cells(const std::string& line, int skipped_tabs) {
  std::size_t position = 0;
  for (int k = 0; k < skipped_tabs; ++k) {
    position = line.find('\t', position);
    if (position == std::string::npos) return 0;
    ++position;
  }
  int cells = 0;
  while (position < line.size() && line[position] != '\t' && line[position] != '\n' && line[position] != '\r') {
    ++cells;
    position = line.find('\t', position);
    if (position == std::string::npos) break;
    ++position;
  }
  return cells;
}

int count_cells(const std::string& line) {
  std::size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  if (end == 0) return 0;
  int cells = 1;
  for (std::size_t i = 0; i < end; ++i) cells += line[i] == '\t';
  return cells;
}

std::string header_field(const char* position, int limit) {
  const char* end = position;
  while (*end && *end != '\t' && *end != '\n' && *end != '\r') ++end;
  std::string field(position, end);
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  field = field.substr(first, field.find_last_not_of(' ') - first + 1);
  if (static_cast<int>(field.size()) > limit) field.resize(static_cast<std::size_t>(limit));
  return field;
}

bool read_variable_cell(const char* position, std::string& name, int& categories) {
  // "#<number of categories> name" is longer than a name.
  constexpr int kVariableFieldLimit = 55;
  const std::string cell = header_field(position, kVariableFieldLimit);
  categories = 0;
  if (cell.empty() || cell[0] != '#') {
    name = cell.substr(0, kNameLimit);
    return true;
  }
  const char* after = nullptr;
  if (!scan_int(cell.c_str() + 1, categories, &after)) {
    name = cell;
    return false;
  }
  if (!scan_word(after, name, kNameLimit)) name.clear();
  return true;
}

// Whatever their first character: a name may begin with "É", "_" or a quote.
int count_list_rows(core::TextInput& file) {
  std::string line;
  int rows = 0;
  int read = 0;
  while (file.read_line(line)) {
    ++read;
    if (!is_blank_line(line)) rows = read;
  }
  return rows;
}

int count_matrix_rows(core::TextInput& file, std::vector<std::string>* first_words) {
  std::string line;
  int rows = 0;
  bool counting = true;
  while (file.read_line(line)) {
    if (line[0] == '\t' || line[0] == '\n' || line[0] == '\r') counting = false;
    if (counting) ++rows;
    if (!first_words) {
      if (!counting) break;
      continue;
    }
    std::string word;
    if (scan_word(line.c_str(), word)) first_words->push_back(word);
  }
  return rows;
}

bool read_whole_line(core::TextInput& file, std::string& text) {
  text.clear();
  std::string piece;
  // The line buffer hands a long line over in pieces; a Newick text is kept whole.
  while (file.read_line(piece)) {
    text += piece;
    if (!text.empty() && text.back() == '\n') break;
  }
  if (text.empty()) return false;
  strip_line_end(text);
  return true;
}

int count_lines_after(const std::string& file_name, int line_number) {
  core::TextInput file;
  if (!file.open(file_name)) return 0;
  std::string line;
  int lines = 0;
  int number = 0;
  // Lines are counted as the reader counts them (a line longer than the line
  // buffer counts as several).
  while (file.read_line(line)) {
    if (++number > line_number) ++lines;
  }
  return lines;
}

void check_not_negative(const char* keyword, int count, const char* what) {
  if (count >= 0) return;
  core::stop_run(core::format("\n\nERROR: \"%s\" announces %d%s%s: the number cannot be negative.\nPress any key "
                              "to stop.",
                              keyword, count, *what ? " " : "", what),
                 core::kStoppedStatus);
}

void check_rows_available(const char* keyword, int count, const char* what, const std::string& file_name,
                          int line_number) {
  check_not_negative(keyword, count, what);
  const int available = count_lines_after(file_name, line_number);
  if (count <= available) return;
  core::stop_run(core::format("\n\nERROR: \"%s\" announces %d %s, but only %d lines follow line %d of %s.\nPress any "
                              "key to stop.",
                              keyword, count, what, available, line_number, file_name.c_str()),
                 core::kStoppedStatus);
}

void check_cells_available(const char* keyword, int count, const char* what, const std::string& line, int skipped_cells,
                           const std::string& file_name, int line_number) {
  check_not_negative(keyword, count, what);
  const int available = std::max(count_cells(line) - skipped_cells, 0);
  if (count <= available) return;
  core::stop_run(core::format("\n\nERROR: \"%s\" announces %d %s, but line %d of %s holds only %d.\nPress any key "
                              "to stop.",
                              keyword, count, what, line_number, file_name.c_str(), available),
                 core::kStoppedStatus);
}

}  // namespace quorvel::input
