#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/divergence_matrix_file.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"
#include "input/taxonomic_levels.hpp"
#include "input/trait_distances_file.hpp"
#include "input/tree_file.hpp"
#include "instructions/instruction_file.hpp"
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
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  refuse_negative_count(record, word);
  input::DataSource source;
  if (is_inline_argument(word)) {
    int levels = 0;
    read_line_numbers(after_keyword_text(line, record.keyword), &levels, 1, record.keyword, context.instruction_file,
                      context.source.line_number);
    source = inline_data(context, {levels});
    if (levels > 0) skip_inline_lines(context, 2);  // the level names and their divergences
  } else {
    source.file = word;
  }
  const input::TaxonomicLevels taxonomy = input::scan_taxonomic_divergences(source);
  RunSettings& s = context.settings;
  s.taxonomic_divergences_source = source.file;
  if (taxonomy.level_names.hi() > 0) {
    s.phyletic_level_names = taxonomy.level_names;
    s.level_divergences = taxonomy.level_divergences;
  }
  s.n_divergence_levels = taxonomy.n_levels;
}

namespace {

void read_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record, int sign) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  refuse_negative_count(record, word);
  input::DataSource source;
  if (is_inline_argument(word)) {
    int announced = 0;
    read_line_numbers(after_keyword_text(line, record.keyword), &announced, 1, record.keyword, context.instruction_file,
                      context.source.line_number);
    source = inline_data(context, {announced});
    if (announced > 2) context.source.skip_whole_line();  // the Newick text
  } else {
    source.file = word;
  }
  const input::NewickText tree = input::scan_newick_tree(source, record.keyword);
  RunSettings& s = context.settings;
  s.tree_text = tree.text;
  s.n_tree_species = sign * tree.n_tips;
  s.tree_file = source.file;
}

}  // namespace

void handle_phylogenetic_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_tree(context, line, record, -1);
}

void handle_ultrametric_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_tree(context, line, record, +1);
}

void handle_phylogeny_tests(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  DataBlock block;
  open_data_block(block, context, word, "phylogenetic tests");
  int counts[2] = {0, 0};
  if (is_inline_argument(word)) {
    read_line_numbers(after_keyword_text(line, record.keyword), counts, 2, record.keyword, context.instruction_file,
                      context.source.line_number);
  } else {
    std::string header;
    if (!block.lines->find_keyword_line(record.keyword, header)) {
      core::stop_run(not_found_message("phylogeny randomization tests", block.name, record.keyword), 1);
    }
    read_line_numbers(after_keyword_text(header, record.keyword), counts, 2, record.keyword, block.name,
                      block.lines->line_number);
  }
  check_not_negative(record.keyword, counts[0], "tests");
  check_randomizations(record.keyword, counts[1]);
  // One line per test follows (at most the first kMaxPhylogenyTests are read).
  check_rows_available(record.keyword, std::min(counts[0], kMaxPhylogenyTests), "test lines", block.name,
                       block.lines->line_number);
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
    if (!block.lines->read(test_line)) test_line.clear();
    read_test_options(test_line, s, t, block.name, block.lines->line_number);
  }
  s.phylogeny_tests_source = block.name;
}

void handle_trait_distances(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) return;  // nothing named: ignored
  const input::TraitDistanceHeader header = input::scan_trait_distances(word);
  RunSettings& s = context.settings;
  s.n_trait_distance_species = header.n_rows;
  s.trait_distance_layout = header.layout;
  s.trait_distances_file = word;
}

void handle_species_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) return;  // nothing named: ignored
  input::DataSource source;
  if (is_inline_argument(word)) {
    int n_species = 0;
    read_line_numbers(after_keyword_text(line, record.keyword), &n_species, 1, record.keyword, context.instruction_file,
                      context.source.line_number);
    source = inline_data(context, {n_species});
  } else {
    refuse_negative_count(record, word);
    source.file = word;
  }
  RunSettings& s = context.settings;
  s.n_divergence_species = input::scan_species_divergences(source);
  s.inter_species_divergences_source = source.file;
}

}  // namespace quorvel::instructions
