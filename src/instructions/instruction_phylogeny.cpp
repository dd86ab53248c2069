#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

std::string not_found_message(const char* what, const std::string& file_name, const char* keyword) {
  return core::format(
      "\nERROR: %s not found in file \"%s\".\nNo line beginning with \"%s\" was found. \nPress any key to stop the "
      "programm now.\n",
      what, file_name.c_str(), keyword);
}

// ---- Phylogeny randomization tests ----

// The number after an option of a test line: a decimal number that is its
// whole word ("WITHIN AGE 20"); anything else stops the run naming the line,
// where it once left the option without effect.
float option_number(const char* position, const char* option, const std::string& file_name, int line_number) {
  float value = 0.0f;
  const char* end = nullptr;
  const input::NumberReading reading = input::scan_number(position, value, &end);
  if (reading == input::NumberReading::kNumber && (*end == '\0' || std::strchr(" \t\r\n", *end))) return value;
  std::string word;
  input::scan_word(position, word);
  core::stop_run(
      core::format("\n\nERROR: on line %d of %s, the test option \"%s\" is followed by \"%s\", which is "
                   "not a number%s.\nPress any key to stop.",
                   line_number, file_name.c_str(), option, word.c_str(), input::number_refusal(reading, true).c_str()),
      core::kStoppedStatus);
}

// Options of one test line, searched anywhere in the line.
void read_test_options(const std::string& line, RunSettings& s, int t, const std::string& file_name, int line_number) {
  s.test_species_pool[t] = 0.0f;
  s.test_restriction[t] = 0.0f;
  s.test_age_limit[t] = 0.0f;
  const auto after = [&line](const char* option) -> const char* {
    const std::size_t found = line.find(option);
    return found == std::string::npos ? nullptr : line.c_str() + found + std::strlen(option);
  };
  const auto number = [&](const char* p, const char* option) {
    return option_number(p, option, file_name, line_number);
  };
  if (const char* p = after("WITHIN CLADE")) {
    s.test_restriction[t] = -1.0f;
    std::string clade;
    if (input::scan_word(p, clade, kNameLimit)) s.test_clade_names[t] = clade;
  }
  // An age limit wins over a clade: it is looked at last.
  if (const char* p = after("WITHIN AGE")) s.test_restriction[t] = number(p, "WITHIN AGE");
  if (after("PERMUTE ALL TREE SPECIES")) s.test_species_pool[t] = -1.0f;
  if (after("PERMUTE SAMPLED SPECIES")) s.test_species_pool[t] = 0.0f;
  if (const char* p = after("PERMUTE SPECIES WITH ABUNDANCE RATIO <")) {
    s.test_species_pool[t] = number(p, "PERMUTE SPECIES WITH ABUNDANCE RATIO <");
  }
  if (const char* p = after("PERMUTE SPECIES WITH OCCURRENCE RATIO <")) {
    s.test_species_pool[t] = -number(p, "PERMUTE SPECIES WITH OCCURRENCE RATIO <");
  }
}

}  // namespace

void handle_taxonomic_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int levels = 0;
  if (!read_inline_numbers(context, line, record, &levels, 1)) return;
  set_inline_source(context, record, {levels});
  if (levels > 0) skip_inline_lines(context, 2);  // the level names and their divergences
}

void handle_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  int announced = 0;
  if (!read_inline_numbers(context, line, record, &announced, 1)) return;
  set_inline_source(context, record, {announced});
  if (announced > 2) context.source.skip_whole_line();  // the Newick text
}

// The test definitions are settings: they are read here, from the lines
// after the keyword line or from the file named.
void handle_phylogeny_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  refuse_negative_count(record, word);
  LineSource file;
  LineSource* lines = &context.source;
  int counts[2] = {0, 0};
  if (is_inline_argument(word)) {
    read_line_numbers(after_keyword_text(line, record.keyword), counts, 2, record.keyword, context.instruction_file,
                      context.source.line_number);
    set_inline_source(context, record, {counts[0], counts[1]});
  } else {
    input::open_data_file(file.file, word, "phylogenetic tests");
    file.name = word;
    lines = &file;
    std::string header;
    if (!file.find_keyword_line(record.keyword, header)) {
      core::stop_run(not_found_message("phylogeny randomization tests", word, record.keyword), 1);
    }
    read_line_numbers(after_keyword_text(header, record.keyword), counts, 2, record.keyword, word, file.line_number);
    set_file_source(context, record, word);
  }
  const std::string& source_name = (context.settings.*record.source).file;
  check_not_negative(record.keyword, counts[0], "tests");
  check_randomizations(record.keyword, counts[1]);
  // One line per test follows (at most the first kMaxPhylogenyTests are read).
  check_rows_available(record.keyword, std::min(counts[0], kMaxPhylogenyTests), "test lines", source_name,
                       lines->line_number);
  RunSettings& s = context.settings;
  s.n_phylogeny_tests = counts[0];
  s.n_phylogeny_randomizations = counts[1];
  if (counts[0] > kMaxPhylogenyTests) {
    // Tests beyond the limit would have no definition: they are not run.
    core::console_print(
        core::format("\n\"PHYLOGENY RANDOMIZATION TESTS\" announces %d tests: only the first %d are read and run.\n",
                     counts[0], kMaxPhylogenyTests));
    s.n_phylogeny_tests = kMaxPhylogenyTests;
  }
  std::string test_line;
  for (int t = 1; t <= s.n_phylogeny_tests; ++t) {
    if (!lines->read(test_line)) test_line.clear();
    read_test_options(test_line, s, t, source_name, lines->line_number);
  }
}

void handle_species_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) return;  // nothing named: ignored
  if (!is_inline_argument(word)) {
    refuse_negative_count(record, word);
    set_file_source(context, record, word);
    return;
  }
  int n_species = 0;
  read_line_numbers(after_keyword_text(line, record.keyword), &n_species, 1, record.keyword, context.instruction_file,
                    context.source.line_number);
  set_inline_source(context, record, {n_species});
}

}  // namespace quorvel::instructions
