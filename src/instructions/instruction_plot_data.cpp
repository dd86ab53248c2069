#include <algorithm>
#include <cstdlib>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

void handle_selection_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  const char* argument = after_first_tab(line);
  if (!argument) {
    core::stop_run(
        core::format("\n\nERROR: \"%s\" must be followed by a tabulation.\nPress any key to stop.", record.keyword),
        core::kStoppedStatus);
  }
  std::string word;
  if (!input::scan_word(argument, word)) stop_missing_argument(record);
  if (!is_inline_argument(word)) {
    set_file_source(context, record, word);
    return;
  }
  int n = 0;
  read_line_numbers(argument, &n, 1, record.keyword, context.instruction_file, context.source.line_number);
  set_inline_source(context, record, {n});
  skip_inline_lines(context, std::llabs(static_cast<long long>(n)));  // one line per test
}

void handle_plot_list(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int counts[3] = {0, 0, 0};
  if (read_inline_numbers(context, line, record, counts, 3)) {
    set_inline_source(context, record, {counts[0], counts[1], counts[2]});
  }
}

// The two forms of community data replace each other: the run reads one.
void handle_species_plot_matrix(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int counts[2] = {0, 0};
  int read = 0;
  if (read_inline_numbers(context, line, record, counts, 2, &read)) {
    if (read < 2) stop_missing_argument(record);
    set_inline_source(context, record, {counts[0], counts[1]});
  }
  context.settings.triplets = input::DataSource();
}

void handle_triplets(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  set_file_source(context, record, word);
  context.settings.species_plot_matrix = input::DataSource();
}

// Three forms; any other text after "SELECT PLOT PAIRS" would silently
// leave every pair in the analysis.
void handle_select_plot_pairs(InstructionContext& context, const std::string& line, const KeywordRecord&) {
  RunSettings& s = context.settings;
  // Up to `count` words after the first `length` characters; false when
  // more words follow.
  const auto words_after = [&line](std::size_t length, std::string* words, int count) {
    const char* position = line.c_str() + std::min(length, line.size());
    for (int k = 0; k < count; ++k) {
      words[k].clear();
      input::scan_word(position, words[k], kMaxLineLength, &position);
    }
    std::string extra;
    return !input::scan_word(position, extra);
  };
  std::string words[2];
  bool readable = false;
  if (core::starts_with(line, "SELECT PLOT PAIRS WITHIN CATEGORY")) {
    s.pair_selection_mode = 1;
    readable = words_after(33, words, 1);
  } else if (core::starts_with(line, "SELECT PLOT PAIRS BETWEEN CATEGORIES")) {
    s.pair_selection_mode = 2;
    readable = words_after(36, words, 2) && !words[1].empty();
  } else if (const char* after = after_keyword_text(line, "SELECT PLOT PAIRS OF CATEGORY")) {
    s.pair_selection_mode = 3;
    int code = 0;
    readable =
        words_after(static_cast<std::size_t>(after - line.c_str()), words, 1) && scan_count(words[0].c_str(), code);
  }
  if (!readable) {
    std::string text = line;
    input::strip_line_end(text);
    core::stop_run(core::format("\n\nERROR: line %d of %s, \"%s\", is not a form of \"SELECT PLOT PAIRS\": write "
                                "\"SELECT PLOT PAIRS WITHIN CATEGORY\" (pairs within every category, or followed by "
                                "one category name), \"SELECT PLOT PAIRS BETWEEN CATEGORIES\" followed by two category "
                                "names, or \"SELECT PLOT PAIRS OF CATEGORY\" followed by the number of a pairwise "
                                "category.\nPress any key to stop.",
                                context.source.line_number, context.instruction_file.c_str(), text.c_str()),
                   core::kStoppedStatus);
  }
  // Names are compared over the name limit, as the plot list keeps them.
  s.pair_category_1 = words[0].substr(0, kNameLimit);
  s.pair_category_2 = words[1].substr(0, kNameLimit);
}

}  // namespace quorvel::instructions
