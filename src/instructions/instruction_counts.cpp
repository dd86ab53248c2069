// Counts announced on keyword lines are promises about the data that follow;
// every table is sized from them. They are checked against what the source
// really holds (lines and cells) before anything is allocated, so that a typo
// or a hostile file ends the run with a message instead of a huge allocation,
// an overflow of the index arithmetic or a read past the data.

#include <algorithm>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/field_reading.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

bool scan_count(const char* position, int& value, const char** end) {
  const char* after = nullptr;
  if (!position || !input::scan_int(position, value, &after)) return false;
  // The number is the whole word: "999x" or "9,5" is not a count.
  if (*after != '\0' && *after != ' ' && *after != '\t' && *after != '\n' && *after != '\r') return false;
  if (end) *end = after;
  return true;
}

int count_cells(const std::string& line) {
  std::size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  if (end == 0) return 0;
  int cells = 1;
  for (std::size_t i = 0; i < end; ++i) cells += line[i] == '\t';
  return cells;
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

void refuse_negative_count(const KeywordRecord& record, const std::string& word) {
  int count = 0;
  if (!word.empty() && word[0] == '-' && scan_count(word.c_str(), count)) check_not_negative(record.keyword, count, "");
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

void check_randomizations(const char* keyword, int count) {
  if (count < 0) {
    core::stop_run(core::format("\n\nERROR: \"%s\" asks for %d randomizations: the number cannot be negative (0 "
                                "requests no test).\nPress any key to stop.",
                                keyword, count),
                   core::kStoppedStatus);
  }
  if (count > kMaxRandomizations) {
    core::stop_run(core::format("\n\nERROR: \"%s\" asks for %d randomizations: at most %d are possible.\nPress any "
                                "key to stop.",
                                keyword, count, kMaxRandomizations),
                   core::kStoppedStatus);
  }
}

}  // namespace quorvel::instructions
