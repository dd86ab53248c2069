// The species lists and the individual list: their sources. Their headers
// are read when the data are loaded.

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

// Where a keyword argument leads: after the first tabulation of the line.
// Returns that text and its first word; stops when either is missing.
const char* argument_after_tab(const std::string& line, const KeywordRecord& record, std::string& word) {
  const char* argument = after_first_tab(line);
  if (!argument || !input::scan_word(argument, word)) stop_missing_argument(record);
  return argument;
}

// A species list: a file, or two counts (species, columns) announcing the
// header line and the species lines that follow. Unreadable counts are
// reported and the keyword is ignored.
void read_list_source(InstructionContext& context, const std::string& line, const KeywordRecord& record,
                      const char* inline_error) {
  std::string word;
  const char* argument = argument_after_tab(line, record, word);
  refuse_negative_count(record, word);
  if (!is_inline_argument(word)) {
    set_file_source(context, record, word);
    return;
  }
  int counts[2] = {0, 0};
  if (read_line_numbers(argument, counts, 2, record.keyword, context.instruction_file, context.source.line_number) <
      2) {
    core::console_print(inline_error);
    return;
  }
  set_inline_source(context, record, {counts[0], counts[1]});
  skip_inline_lines(context, 1);  // the header line
}

}  // namespace

void handle_species_traits(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_list_source(context, line, record, "\n\nERROR: Species traits: cannot read the number of species or variables");
}

void handle_species_taxonomy(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  read_list_source(context, line, record,
                   "\n\nERROR: Species taxonomy: cannot read the number of species or taxonomic levels");
}

void handle_individuals(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  if (!after_first_tab(line)) {
    core::stop_run(
        core::format("\n\nERROR: \"%s\" must be followed by a tabulation.\nPress any key to stop.", record.keyword),
        core::kStoppedStatus);
  }
  std::string word;
  const char* argument = argument_after_tab(line, record, word);
  refuse_negative_count(record, word);
  if (!is_inline_argument(word)) {
    set_file_source(context, record, word);
    return;
  }
  int counts[2] = {0, 0};
  // The four fixed columns (group, x, y, species) must exist.
  if (read_line_numbers(argument, counts, 2, record.keyword, context.instruction_file, context.source.line_number) !=
          2 ||
      counts[1] < 0) {
    core::console_print("\n\nERROR: Can not read the number of individuals or of variables of the individual list");
    return;
  }
  set_inline_source(context, record, {counts[0], counts[1]});
  skip_inline_lines(context, 1 + static_cast<long long>(counts[0]));  // the header line and the individuals
}

}  // namespace quorvel::instructions
