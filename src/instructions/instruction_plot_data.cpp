#include <algorithm>
#include <cstdlib>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/community_counts.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

// Limits of the pairwise selection tests of one selection test.
constexpr int kMaxPairwiseSelectionTests = 100;

constexpr const char* kPairwiseCountError =
    "\n\nERROR: cannot read number of pairwise selection tests. \nPress any key to stop";

}  // namespace

void handle_selection_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  const char* argument = after_first_tab(line);
  if (!argument) {
    core::stop_run(
        core::format("\n\nERROR: \"%s\" must be followed by a tabulation.\nPress any key to stop.", record.keyword),
        core::kStoppedStatus);
  }
  std::string word;
  if (!input::scan_word(argument, word)) stop_missing_argument(record);
  LineSource file;
  LineSource* lines = &context.source;
  std::string source_name = context.instruction_file;
  int n = 0;
  if (is_inline_argument(word)) {
    read_line_numbers(argument, &n, 1, record.keyword, context.instruction_file, context.source.line_number);
  } else {
    input::open_data_file(file.file, word, "selection tests");
    file.name = source_name = word;
    lines = &file;
    std::string header;
    if (!file.find_keyword_line(std::string(record.keyword, static_cast<std::size_t>(record.compared_length)),
                                header)) {
      core::stop_run(core::format("\nERROR: selection tests not found in file \"%s\".\nNo line beginning with "
                                  "\"SELECTION TESTS\" was found. \nPress any key to stop the programm now.\n",
                                  word.c_str()),
                     1);
    }
    if (read_line_numbers(after_first_tab(header), &n, 1, record.keyword, word, file.line_number) < 1) {
      core::stop_run(core::format("\n\nERROR: cannot read the number of selection tests after \"SELECTION TESTS\" in "
                                  "file %s.\nPress any key to stop.",
                                  word.c_str()),
                     core::kStoppedStatus);
    }
  }
  const int n_tests = std::abs(n);
  if (n_tests > kMaxSelectionTests) {
    core::stop_run(core::format("\n\nERROR:The number of selection tests (%d) is higher than the max allowed (%d)",
                                n_tests, kMaxSelectionTests + 1),
                   core::kStoppedStatus);
  }
  RunSettings& s = context.settings;
  s.selection_test_counts = core::ivector(0, n_tests);
  s.selection_test_counts[0] = n;
  std::string test_line;
  for (int j = 1; j <= n_tests; ++j) {
    int count = 0;
    if (!lines->read(test_line) || scan_numbers(after_first_tab(test_line), &count, 1) < 1) {
      core::stop_run(kPairwiseCountError, core::kStoppedStatus);
    }
    // The table of compiled subtests holds at most this many: more would be
    // written past its end.
    if (std::abs(count) > kMaxPairwiseSelectionTests) {
      core::stop_run(
          core::format("\n\nERROR: The number of pairwise selection tests (%d) is higher than the max allowed "
                       "(%d)\nPress any key to stop.",
                       std::abs(count), kMaxPairwiseSelectionTests),
          core::kStoppedStatus);
    }
    s.selection_test_counts[j] = count;
  }
  s.selection_tests_source = source_name;
}

void handle_plot_list(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  refuse_negative_count(record, word);
  RunSettings& s = context.settings;
  int counts[3] = {0, 0, 0};
  // Announced plots each need a line; coordinates are none or x and y.
  const auto check_announced = [&](const std::string& source, int line_number) {
    check_rows_available(record.keyword, counts[0], "plots", source, line_number);
    if (counts[1] < 0 || counts[1] > 2) {
      core::stop_run(core::format("\n\nERROR: \"PLOT LIST\" announces %d coordinates: give 0 or 2 (x and "
                                  "y).\nPress any key to stop.",
                                  counts[1]),
                     core::kStoppedStatus);
    }
    if (counts[2] < -1 || counts[2] > counts[0]) {
      core::stop_run(core::format("\n\nERROR: \"PLOT LIST\" announces %d categories for %d plots.\nPress any key "
                                  "to stop.",
                                  counts[2], counts[0]),
                     core::kStoppedStatus);
    }
  };
  if (is_inline_argument(word)) {
    read_line_numbers(after_keyword_text(line, record.keyword), counts, 3, record.keyword, context.instruction_file,
                      context.source.line_number);
    check_announced(context.instruction_file, context.source.line_number);
    s.plot_list_source = context.instruction_file;
  } else {
    LineSource file;
    input::open_data_file(file.file, word, "the plot list");
    std::string header;
    if (file.find_keyword_line(record.keyword, header)) {
      read_line_numbers(after_keyword_text(header, record.keyword), counts, 3, record.keyword, word, file.line_number);
      check_announced(word, file.line_number);
    } else {
      // Without a keyword line the header says which columns there are:
      // plot and category; plot, x and y; or plot, x, y and category.
      file.rewind();
      std::string first;
      file.read(first);
      const char* position = first.c_str();
      std::string column;
      int words = 0;
      while (words < 4 && input::scan_word(position, column, kMaxLineLength, &position)) ++words;
      counts[1] = words >= 3 ? 2 : 0;
      counts[2] = (words == 2 || words == 4) ? -1 : 0;
      counts[0] = count_list_rows(file);
    }
    s.plot_list_source = word;
  }
  // Without plot lines the list would silently be skipped, and with it the
  // positions and categories the analyses were asked for.
  if (counts[0] == 0) {
    core::stop_run(core::format("\n\nERROR: \"PLOT LIST\": the plot list in %s holds no plot: after its header line, "
                                "give one line per plot.\nPress any key to stop.",
                                s.plot_list_source.c_str()),
                   core::kStoppedStatus);
  }
  s.n_listed_plots = counts[0];
  s.n_plot_coordinates = counts[1];
  s.n_plot_categories = counts[2];
}

// The two forms of community data replace each other, so that the counts
// always belong to the source the driver reads.
void handle_species_plot_matrix(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  refuse_negative_count(record, word);
  RunSettings& s = context.settings;
  if (is_inline_argument(word)) {
    int counts[2] = {0, 0};
    if (read_line_numbers(after_keyword_text(line, record.keyword), counts, 2, record.keyword, context.instruction_file,
                          context.source.line_number) < 2) {
      stop_missing_argument(record);
    }
    // The header line names every plot announced; a line follows per species.
    const std::string& source = context.instruction_file;
    const int keyword_line = context.source.line_number;
    check_rows_available(record.keyword, counts[0], "species", source, keyword_line + 1);
    LineSource lines;
    std::string header;
    if (lines.file.open(source)) {
      while (lines.line_number <= keyword_line && lines.read(header)) {
      }
    }
    if (lines.line_number != keyword_line + 1) header.clear();
    check_cells_available(record.keyword, counts[1], "plots", header, 1, source, keyword_line + 1);
    s.n_matrix_species = counts[0];
    s.n_matrix_plots = counts[1];
    s.species_plot_matrix_source = context.instruction_file;
  } else {
    input::count_species_plot_matrix(word, s.n_matrix_species, s.n_matrix_plots);
    s.species_plot_matrix_source = word;
  }
  s.triplet_file.clear();
}

void handle_triplets(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  RunSettings& s = context.settings;
  input::count_triplets(word, s.n_matrix_plots, s.n_matrix_species);
  s.triplet_file = word;
  s.species_plot_matrix_source.clear();
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
