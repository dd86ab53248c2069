#include <unordered_set>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "instructions/instruction_reader.hpp"

namespace quorvel::instructions {

namespace {

// Header cells of a categorical variable read "#<number of categories> name".
constexpr int kVariableFieldLimit = 55;

// The list whose header and rows a keyword reads: the instruction file itself
// (inline data) or a separate file, with the name messages give.

// Where a keyword argument leads: after the first tabulation of the line.
// Returns that text and its first word; stops when either is missing.
const char* argument_after_tab(const std::string& line, const KeywordRecord& record, std::string& word) {
  const char* argument = after_first_tab(line);
  if (!argument || !input::scan_word(argument, word)) stop_missing_argument(record);
  return argument;
}

std::string next_line(LineSource& lines) {
  std::string line;
  lines.read(line);
  return line;
}

// One variable cell of a header: "#k name" for a variable of k categories,
// otherwise the name of a quantitative variable. Returns false when "#" is
// not followed by a readable number.
bool read_variable_cell(const char* position, std::string& name, int& categories) {
  const std::string cell = header_field(position, kVariableFieldLimit);
  categories = 0;
  if (cell.empty() || cell[0] != '#') {
    name = cell.substr(0, kNameLimit);
    return true;
  }
  const char* after = nullptr;
  if (!input::scan_int(cell.c_str() + 1, categories, &after)) {
    name = cell;
    return false;
  }
  if (!input::scan_word(after, name, kNameLimit)) name.clear();
  return true;
}

// Header of a species list: species column, then `n_variables` variables
// whose "#k" cells give their numbers of categories.
void read_trait_header(InstructionContext& context, const std::string& header, const DataBlock& list, int n_variables) {
  RunSettings& s = context.settings;
  s.trait_variable_names = core::name_table(0, n_variables);
  s.trait_variable_categories = core::ivector(0, n_variables);
  s.trait_variable_names[0] = header_field(header.c_str(), kNameLimit);
  s.phyletic_level_names[0] = s.trait_variable_names[0];
  const char* position = header.c_str();
  for (int j = 1; j <= n_variables; ++j) {
    position = input::next_field(position, list.name, list.lines->line_number);
    if (!read_variable_cell(position, s.trait_variable_names[j], s.trait_variable_categories[j])) {
      core::console_print(core::format("\n\nERROR: Species list: cannot read the number of categories of variable %s",
                                       s.trait_variable_names[j].c_str()));
      context.read_failed = true;
    }
  }
}

// The counts and header line shared by the species trait and taxonomy lists.
// Returns false (message printed) when the counts cannot be read.
bool read_list_counts(InstructionContext& context, const std::string& line, const KeywordRecord& record,
                      const char* what, const char* columns, const char* inline_error, const char* header_error,
                      DataBlock& list, int counts[2], std::string& header) {
  std::string word;
  const char* argument = argument_after_tab(line, record, word);
  open_data_block(list, context, word, what);
  // Announced counts: each species needs its line and each column its
  // header cell, checked before any table is sized from them.
  const auto check_announced = [&]() {
    header = next_line(*list.lines);
    const int header_line = list.lines->line_number;
    check_cells_available(record.keyword, counts[1], columns, header, 1, list.name, header_line);
    check_rows_available(record.keyword, counts[0], "species", list.name, header_line);
    return true;
  };
  if (is_inline_argument(word)) {
    if (read_line_numbers(argument, counts, 2, record.keyword, list.name, list.lines->line_number) < 2) {
      core::console_print(inline_error);
      return false;
    }
    return check_announced();
  }
  std::string keyword_line;
  if (list.lines->find_keyword_line(std::string(record.keyword, static_cast<std::size_t>(record.compared_length)),
                                    keyword_line)) {
    if (read_line_numbers(after_keyword_text(keyword_line, record.keyword), counts, 2, record.keyword, list.name,
                          list.lines->line_number) < 2) {
      core::console_print(header_error);
      return false;
    }
    return check_announced();
  }
  list.lines->rewind();
  header = next_line(*list.lines);
  counts[1] = count_filled_cells(header, 1);
  counts[0] = count_list_rows(*list.lines);
  // Messages about the header name its line, the first of the file.
  list.lines->line_number = 1;
  return true;
}

// A list named by a keyword must give species: an empty one would leave the
// analyses indexing empty tables.
void stop_if_no_species(const KeywordRecord& record, const DataBlock& list, int n_species) {
  if (n_species > 0) return;
  core::stop_run(core::format("\n\nERROR: \"%s\": the species list in %s holds no species.\nPress any key to stop.",
                              record.keyword, list.name.c_str()),
                 core::kStoppedStatus);
}

}  // namespace

void handle_species_traits(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  DataBlock list;
  int counts[2] = {0, 0};
  std::string header;
  if (!read_list_counts(context, line, record, "the species list", "variables",
                        "\n\nERROR: Species traits: cannot read the number of species or variables",
                        "\n\nERROR: Species traits: cannot read the number of species or traits", list, counts,
                        header)) {
    return;
  }
  stop_if_no_species(record, list, counts[0]);
  RunSettings& s = context.settings;
  s.n_trait_species = counts[0];
  s.n_trait_variables = counts[1] > 0 ? counts[1] : 0;
  read_trait_header(context, header, list, s.n_trait_variables);
  s.trait_variable_categories[0] = s.n_trait_species;
  s.species_traits_file = list.name;
}

void handle_species_taxonomy(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  DataBlock list;
  int counts[2] = {0, 0};
  std::string header;
  if (!read_list_counts(context, line, record, "the species taxonomy", "taxonomic levels",
                        "\n\nERROR: Species taxonomy: cannot read the number of species or taxonomic levels",
                        "\n\nERROR: Species taxonomy: cannot read the number of species or variables", list, counts,
                        header)) {
    return;
  }
  stop_if_no_species(record, list, counts[0]);
  RunSettings& s = context.settings;
  s.n_taxonomy_species = counts[0];
  s.n_taxonomy_columns = (counts[1] > 0 ? counts[1] : 0) + 1;
  s.taxonomy_level_names = core::name_table(0, s.n_taxonomy_columns - 1);
  s.taxonomy_level_sizes = core::ivector(0, s.n_taxonomy_columns - 1);
  s.taxonomy_level_names[0] = header_field(header.c_str(), kNameLimit);
  s.phyletic_level_names[0] = s.taxonomy_level_names[0];
  const char* position = header.c_str();
  for (int j = 1; j < s.n_taxonomy_columns; ++j) {
    position = input::next_field(position, list.name, list.lines->line_number);
    s.taxonomy_level_names[j] = header_field(position, kNameLimit);
    // Levels are found by their names: a blank one could match nothing.
    if (s.taxonomy_level_names[j].empty()) {
      core::stop_run(core::format("\n\nERROR: \"SPECIES TAXONOMY\": taxonomic level %d has no name in the header "
                                  "line (line %d of %s).\nPress any key to stop.",
                                  j, list.lines->line_number, list.name.c_str()),
                     core::kStoppedStatus);
    }
  }
  s.taxonomy_level_sizes.fill(s.n_taxonomy_species);
  s.species_taxonomy_file = list.name;
}

void handle_individuals(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  if (!after_first_tab(line)) {
    core::stop_run(
        core::format("\n\nERROR: \"%s\" must be followed by a tabulation.\nPress any key to stop.", record.keyword),
        core::kStoppedStatus);
  }
  std::string word;
  const char* argument = argument_after_tab(line, record, word);
  DataBlock list;
  open_data_block(list, context, word, "the individual list");
  int counts[2] = {0, 0};
  bool counts_read = false;
  if (is_inline_argument(word)) {
    counts_read = read_line_numbers(argument, counts, 2, record.keyword, list.name, list.lines->line_number) == 2;
  } else {
    std::string keyword_line;
    counts_read = list.lines->find_keyword_line(record.keyword, keyword_line) &&
                  read_line_numbers(after_first_tab(keyword_line), counts, 2, record.keyword, list.name,
                                    list.lines->line_number) == 2;
  }
  // The four fixed columns (group, x, y, species) must exist.
  if (!counts_read || counts[1] < 0) {
    core::console_print("\n\nERROR: Can not read the number of individuals or of variables of the individual list");
    return;
  }
  // The header must hold the four fixed columns and every variable announced
  // before the tables are sized from the count; the rows are counted below.
  const std::string header = next_line(*list.lines);
  check_cells_available(record.keyword, counts[1], "variables", header, 4, list.name, list.lines->line_number);
  check_not_negative(record.keyword, counts[0], "individuals");
  RunSettings& s = context.settings;
  s.n_individuals = counts[0];
  s.n_individual_columns = counts[1] + 4;
  s.individual_column_names = core::name_table(0, s.n_individual_columns - 1);
  s.individual_column_categories = core::ivector(0, s.n_individual_columns - 1);

  s.individual_column_names[0] = header_field(header.c_str(), kNameLimit);
  const char* position = header.c_str();
  for (int j = 1; j < s.n_individual_columns; ++j) {
    position = input::next_field(position, list.name, list.lines->line_number);
    if (j <= 3) {
      s.individual_column_names[j] = header_field(position, kNameLimit);
    } else if (!read_variable_cell(position, s.individual_column_names[j], s.individual_column_categories[j])) {
      core::console_print(
          core::format("\n\nERROR: Individual list: cannot read the number of categories of variable %s",
                       s.individual_column_names[j].c_str()));
      context.read_failed = true;
    }
  }

  // The distinct species of the individuals become the species of the run.
  std::unordered_set<std::string> species;
  std::string row;
  int rows = 0;
  while (rows < s.n_individuals && list.lines->read(row)) {
    ++rows;
    const char* cell = row.c_str();
    for (int k = 0; k < 3; ++k) cell = input::next_field(cell, list.name, list.lines->line_number);
    std::string name;
    input::read_name_field(cell, name, kNameLimit, list.name, list.lines->line_number);
    input::strip_line_end(name);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    // Counted as the list is read later: 49 characters, and a name beginning
    // with 0 marks an individual without species.
    if (name.empty() || name[0] != '0') species.insert(name);
  }
  if (rows < s.n_individuals) {
    core::stop_run(
        core::format("\n\nERROR: in the indivual list in file %s, only %i individuals found for %i announced",
                     list.name.c_str(), rows, s.n_individuals),
        core::kStoppedStatus);
  }
  s.n_matrix_species = static_cast<int>(species.size());
  s.individual_column_categories[0] = s.n_individuals;
  s.individual_column_categories[1] = 0;
  s.individual_column_categories[2] = 0;
  s.individual_column_categories[3] = s.n_matrix_species;
  s.individual_list_source = list.name;
}

// Without a species trait list, the taxonomy list itself carries the
// taxonomic levels: its columns become the categorical variables in which the
// classification tree finds them ("#k name" gives k taxa; a plain name, at
// most one taxon per species).
void adopt_taxonomy_as_species_list(InstructionContext& context) {
  RunSettings& s = context.settings;
  // Only a classification in use (with its divergences) needs its levels.
  if (s.n_taxonomy_species == 0 || s.n_divergence_levels == 0 || s.n_trait_species != 0 ||
      s.trait_distance_layout != 0) {
    return;
  }
  LineSource list;
  list.name = s.species_taxonomy_file;
  std::string header;
  const bool own_file = s.species_taxonomy_file != context.instruction_file && list.file.open(s.species_taxonomy_file);
  if (!own_file || list.find_keyword_line("SPECIES TAXONOMY", header)) {
    core::stop_run(core::format("\n\nERROR: \"SPECIES TAXONOMY\" without \"SPECIES TRAITS\": the taxonomy list then "
                                "gives the taxonomic levels and must be a file of its own that begins with its header "
                                "line (not the case of %s). Name the list with \"SPECIES TRAITS\" too.\nPress any key "
                                "to stop.",
                                s.species_taxonomy_file.c_str()),
                   core::kStoppedStatus);
  }
  list.rewind();
  list.read(header);
  const int n_levels = s.n_taxonomy_columns - 1;
  s.trait_variable_names = core::name_table(0, n_levels);
  s.trait_variable_categories = core::ivector(0, n_levels);
  s.trait_variable_names[0] = s.taxonomy_level_names[0];
  const char* position = header.c_str();
  for (int j = 1; j <= n_levels; ++j) {
    position = input::next_field(position, list.name, 1);
    int categories = 0;
    if (!read_variable_cell(position, s.trait_variable_names[j], categories) || categories <= 0) {
      categories = s.n_taxonomy_species;
    }
    s.trait_variable_categories[j] = categories;
  }
  s.trait_variable_categories[0] = s.n_taxonomy_species;
  s.n_trait_variables = n_levels;
  s.taxonomy_as_species_list = true;
}

}  // namespace quorvel::instructions
