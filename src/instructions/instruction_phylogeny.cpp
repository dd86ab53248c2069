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

// The block a keyword reads: the rest of the instruction file (inline data)
// or a separate file opened with the open retry.
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

// ---- Trees ----

void read_tree(InstructionContext& context, const std::string& line, const KeywordRecord& record, int sign) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  DataBlock block;
  open_data_block(block, context, word, "the dated phylogenetic tree");
  std::string text;
  int announced = 0;
  if (is_inline_argument(word)) {
    read_line_numbers(after_keyword_text(line, record.keyword), &announced, 1, record.keyword, context.instruction_file,
                      context.source.line_number);
    if (announced > 2) read_whole_line(*block.lines, text);
  } else {
    // "PHYLOGENETIC TREE" or "ULTRAMETRIC PHYLO": 17 characters recognise the header.
    const std::string header_prefix(record.keyword, 17);
    std::string header;
    if (block.lines->find_keyword_line(header_prefix, header)) {
      const char* numbers = after_keyword_text(header, record.keyword);
      read_line_numbers(numbers ? numbers : header.c_str() + header_prefix.size(), &announced, 1, record.keyword,
                        block.name, block.lines->line_number);
      if (announced > 2) read_whole_line(*block.lines, text);
    } else {
      block.lines->rewind();
      read_whole_line(*block.lines, text);
    }
  }
  RunSettings& s = context.settings;
  s.tree_text = text;
  s.n_tree_species = sign * count_tree_tips(text);
  s.tree_file = block.name;
}

// Species rows of an inter-species matrix: after the first line, up to the
// first empty line or line beginning with a tab. `first_words` collects the
// first word of every row to the end of the file.
int count_matrix_rows(LineSource& lines, std::vector<std::string>* first_words) {
  std::string line;
  int rows = 0;
  bool counting = true;
  while (lines.read(line)) {
    if (line[0] == '\t' || line[0] == '\n' || line[0] == '\r') counting = false;
    if (counting) ++rows;
    if (!first_words) {
      if (!counting) break;
      continue;
    }
    std::string word;
    if (input::scan_word(line.c_str(), word)) first_words->push_back(word);
  }
  return rows;
}

}  // namespace

void handle_taxonomic_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) stop_missing_argument(record);
  DataBlock block;
  open_data_block(block, context, word, "the taxonomic levels");
  int levels = 0;
  if (is_inline_argument(word)) {
    read_line_numbers(after_keyword_text(line, record.keyword), &levels, 1, record.keyword, context.instruction_file,
                      context.source.line_number);
  } else {
    std::string header;
    if (!block.lines->find_keyword_line(record.keyword, header)) {
      core::stop_run(not_found_message("taxonomic classification", block.name, record.keyword), 1);
    }
    if (read_line_numbers(after_keyword_text(header, record.keyword), &levels, 1, record.keyword, block.name,
                          block.lines->line_number) < 1) {
      core::stop_run(core::format("\n\nERROR: in file %s, \"TAXONOMIC DIVERGENCES\" must be followed by the number "
                                  "of levels.\nPress any key to stop.",
                                  block.name.c_str()),
                     core::kStoppedStatus);
    }
  }
  check_not_negative(record.keyword, levels, "levels");
  RunSettings& s = context.settings;
  s.taxonomic_divergences_source = block.name;
  if (levels <= 0) {
    s.n_divergence_levels = 0;
    return;
  }
  std::string names;
  std::string divergences;
  if (!block.lines->read(names) || !block.lines->read(divergences)) {
    core::stop_run(core::format("\n\nERROR: in file %s, \"TAXONOMIC DIVERGENCES\" must be followed by two lines: the "
                                "%d level names and their %d divergences.\nPress any key to stop.",
                                block.name.c_str(), levels, levels),
                   core::kStoppedStatus);
  }
  // Line numbers of the two block lines, for the field readers' messages.
  const int divergence_line = block.lines->line_number;
  const int names_line = divergence_line - 1;
  check_cells_available(record.keyword, levels, "levels", names, 0, block.name, names_line);
  check_cells_available(record.keyword, levels, "levels", divergences, 0, block.name, divergence_line);
  s.phyletic_level_names = core::name_table(0, levels);
  s.level_divergences = core::vector(0, levels);
  const char* name_cell = names.c_str();
  const char* value_cell = divergences.c_str();
  for (int j = 0; j < levels; ++j) {
    if (j > 0) {
      name_cell = input::next_field(name_cell, block.name, names_line);
      value_cell = input::next_field(value_cell, block.name, divergence_line);
    }
    s.phyletic_level_names[j] = header_field(name_cell, kNameLimit);
    input::read_float_field(value_cell, s.level_divergences[j + 1], block.name, divergence_line);
  }
  s.phyletic_level_names[levels] = "ALL";
  s.level_divergences[0] = 0.0f;
  s.n_divergence_levels = levels - 1;
}

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
  LineSource file;
  file.name = word;
  input::open_file_generic(file.file, word);
  RunSettings& s = context.settings;
  std::string header;
  if (file.find_keyword_line("INTER-SPECIES TRAIT DI", header)) {
    int counts[2] = {0, 0};
    if (read_line_numbers(after_keyword_text(header, record.keyword), counts, 2, record.keyword, word,
                          file.line_number) < 2) {
      core::stop_run(core::format("\n\nERROR: in file %s, \"INTER-SPECIES TRAIT DISTANCES\" must be followed by two "
                                  "numbers (# species, layout).\nPress any key to stop.",
                                  word.c_str()),
                     core::kStoppedStatus);
    }
    // A row per species or pair follows; the layout is -1 (matrix) or the
    // number of distance columns of a list.
    check_rows_available(record.keyword, counts[0], "rows", word, file.line_number);
    if (counts[1] < -1) check_not_negative(record.keyword, counts[1], "distance variables");
    if (counts[1] > 0) {
      LineSource columns;
      std::string title_line;
      if (columns.file.open(word)) {
        while (columns.line_number <= file.line_number && columns.read(title_line)) {
        }
      }
      check_cells_available(record.keyword, counts[1], "distance variables", title_line, 2, word, file.line_number + 1);
    }
    s.n_trait_distance_species = counts[0];
    s.trait_distance_layout = counts[1];
  } else {
    file.rewind();
    std::string first;
    file.read(first);
    // A square matrix names its columns by species, and some row repeats one
    // of its first two column names; a list has other column headers.
    std::string a;
    std::string b;
    const char* position = first.c_str();
    input::scan_word(position, a, kMaxLineLength, &position);
    input::scan_word(position, b, kMaxLineLength, &position);
    std::vector<std::string> first_words;
    s.n_trait_distance_species = count_matrix_rows(file, &first_words);
    const bool square = std::any_of(first_words.begin(), first_words.end(), [&](const std::string& w) {
      return (!a.empty() && w == a) || (!b.empty() && w == b);
    });
    s.trait_distance_layout = square ? -1 : count_filled_cells(first, 2);
  }
  s.trait_distances_file = word;
}

void handle_species_divergences(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  std::string word;
  if (!word_after_keyword(line, record.keyword, word)) return;  // nothing named: ignored
  RunSettings& s = context.settings;
  if (is_inline_argument(word)) {
    read_line_numbers(after_keyword_text(line, record.keyword), &s.n_divergence_species, 1, record.keyword,
                      context.instruction_file, context.source.line_number);
    check_rows_available(record.keyword, s.n_divergence_species, "species", context.instruction_file,
                         context.source.line_number);
    s.inter_species_divergences_source = context.instruction_file;
    return;
  }
  refuse_negative_count(record, word);
  LineSource file;
  file.name = word;
  input::open_file_generic(file.file, word);
  std::string header;
  if (file.find_keyword_line(record.keyword, header)) {
    if (read_line_numbers(after_keyword_text(header, record.keyword), &s.n_divergence_species, 1, record.keyword, word,
                          file.line_number) < 1) {
      core::stop_run(core::format("\n\nERROR: in file %s, \"INTER-SPECIES DIVERGENCES\" must be followed by the "
                                  "number of species.\nPress any key to stop.",
                                  word.c_str()),
                     core::kStoppedStatus);
    }
    check_rows_available(record.keyword, s.n_divergence_species, "species", word, file.line_number);
  } else {
    file.rewind();
    std::string first;
    file.read(first);
    s.n_divergence_species = count_matrix_rows(file, nullptr);
  }
  s.inter_species_divergences_source = word;
}

}  // namespace quorvel::instructions
