#include <algorithm>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"
#include "instructions/instruction_file.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

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
  return position && input::scan_word(position, word);
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
  if (read == 0 || !end || input::is_blank_line(end)) return read;
  // "SPATIAL RANDOMIZATION TEST 5 m": a unit or a note would otherwise pass
  // unseen, and "3 2.5" would read as 3 and 2.
  std::string argument(position);
  input::strip_line_end(argument);
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

// Whatever their first character: a name may begin with "É", "_" or a quote.
int count_list_rows(LineSource& lines) {
  std::string line;
  int rows = 0;
  int read = 0;
  while (lines.read(line)) {
    ++read;
    if (!input::is_blank_line(line)) rows = read;
  }
  return rows;
}

void stop_missing_argument(const KeywordRecord& record) {
  core::stop_run(record.missing_argument_message, core::kStoppedStatus);
}

void open_data_block(DataBlock& block, InstructionContext& context, const std::string& word, const char* what) {
  // "-5" is neither inline data nor, in all likelihood, a file: a negative count.
  int count = 0;
  if (!word.empty() && word[0] == '-' && scan_count(word.c_str(), count)) {
    check_not_negative(context.keyword, count, "");
  }
  if (is_inline_argument(word)) {
    block.lines = &context.source;
    block.name = context.instruction_file;
    return;
  }
  input::open_data_file(block.file.file, word, what);
  block.file.name = word;
  block.lines = &block.file;
  block.name = word;
}

bool read_whole_line(LineSource& source, std::string& text) {
  text.clear();
  std::string piece;
  // The line buffer hands a long line over in pieces; a Newick text is kept whole.
  while (source.file.read_line(piece)) {
    text += piece;
    if (!text.empty() && text.back() == '\n') break;
  }
  if (text.empty()) return false;
  ++source.line_number;
  input::strip_line_end(text);
  return true;
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

int count_tree_tips(const std::string& tree_text) {
  const std::string text = tree_text.substr(0, tree_text.find(';'));
  const int colons = static_cast<int>(std::count(text.begin(), text.end(), ':'));
  const int openings = static_cast<int>(std::count(text.begin(), text.end(), '('));
  // Every node but the root carries a branch length, and every "(" opens an
  // internal node; a root without its own length adds back one.
  const std::size_t last_close = text.rfind(')');
  const std::size_t last_colon = text.rfind(':');
  const bool root_without_length =
      last_close != std::string::npos && (last_colon == std::string::npos || last_close > last_colon);
  return colons - openings + (root_without_length ? 1 : 0);
}

}  // namespace quorvel::instructions
