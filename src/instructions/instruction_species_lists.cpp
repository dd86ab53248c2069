#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/individual_list.hpp"
#include "input/species_lists.hpp"
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

// The source of a species list: a file, or the lines after the keyword line
// (its header line is passed over here). Returns false (message printed)
// when the inline counts cannot be read: the keyword is then ignored.
bool list_source(InstructionContext& context, const std::string& line, const KeywordRecord& record,
                 const char* inline_error, input::DataSource& source) {
  std::string word;
  const char* argument = argument_after_tab(line, record, word);
  refuse_negative_count(record, word);
  if (!is_inline_argument(word)) {
    source.file = word;
    return true;
  }
  int counts[2] = {0, 0};
  if (read_line_numbers(argument, counts, 2, record.keyword, context.instruction_file, context.source.line_number) <
      2) {
    core::console_print(inline_error);
    return false;
  }
  source = inline_data(context, {counts[0], counts[1]});
  skip_inline_lines(context, 1);  // the header line
  return true;
}

}  // namespace

void handle_species_traits(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  input::DataSource source;
  if (!list_source(context, line, record, "\n\nERROR: Species traits: cannot read the number of species or variables",
                   source)) {
    return;
  }
  const input::SpeciesListHeader list = input::scan_species_traits(source);
  if (!list.counts_read) return;
  if (list.unreadable_category) context.read_failed = true;
  RunSettings& s = context.settings;
  s.n_trait_species = list.n_species;
  s.n_trait_variables = list.n_variables;
  s.trait_variable_names = list.variable_names;
  s.trait_variable_categories = list.variable_categories;
  s.phyletic_level_names[0] = s.trait_variable_names[0];
  s.species_traits_file = source.file;
}

void handle_species_taxonomy(InstructionContext& context, const std::string& line, const KeywordRecord& record) {
  input::DataSource source;
  if (!list_source(context, line, record,
                   "\n\nERROR: Species taxonomy: cannot read the number of species or taxonomic levels", source)) {
    return;
  }
  const input::TaxonomyHeader taxonomy = input::scan_species_taxonomy(source);
  if (!taxonomy.counts_read) return;
  RunSettings& s = context.settings;
  s.n_taxonomy_species = taxonomy.n_species;
  s.n_taxonomy_columns = taxonomy.n_columns;
  s.taxonomy_level_names = taxonomy.level_names;
  s.taxonomy_level_sizes = taxonomy.level_sizes;
  s.phyletic_level_names[0] = s.taxonomy_level_names[0];
  s.species_taxonomy_file = source.file;
  context.taxonomy = source;
  context.taxonomy_header = taxonomy;
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
  input::DataSource source;
  if (is_inline_argument(word)) {
    int counts[2] = {0, 0};
    // The four fixed columns (group, x, y, species) must exist.
    if (read_line_numbers(argument, counts, 2, record.keyword, context.instruction_file, context.source.line_number) !=
            2 ||
        counts[1] < 0) {
      core::console_print("\n\nERROR: Can not read the number of individuals or of variables of the individual list");
      return;
    }
    source = inline_data(context, {counts[0], counts[1]});
    skip_inline_lines(context, 1 + static_cast<long long>(counts[0]));  // the header line and the individuals
  } else {
    source.file = word;
  }
  const input::IndividualListHeader list = input::scan_individual_list(source);
  if (!list.counts_read) return;
  if (list.unreadable_category) context.read_failed = true;
  RunSettings& s = context.settings;
  s.n_individuals = list.n_individuals;
  s.n_individual_columns = list.n_columns;
  s.individual_column_names = list.column_names;
  s.individual_column_categories = list.column_categories;
  s.n_matrix_species = list.n_species;
  s.individual_list_source = source.file;
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
  const input::SpeciesListHeader list = input::taxonomy_as_species_list(context.taxonomy, context.taxonomy_header);
  s.trait_variable_names = list.variable_names;
  s.trait_variable_categories = list.variable_categories;
  s.n_trait_variables = list.n_variables;
  s.taxonomy_as_species_list = true;
}

}  // namespace quorvel::instructions
