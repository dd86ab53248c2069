#include "input/species_lists.hpp"

#include <algorithm>
#include <string>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// What tells the two lists apart: their keyword, the open-retry text and
// the words of their messages.
struct ListKind {
  const char* keyword;
  const char* what;          // the open-retry text
  const char* columns;       // what the header cells after the species column are
  const char* header_error;  // the counts of the list's keyword line cannot be read
};

constexpr ListKind kTraitList{"SPECIES TRAITS", "the species list", "variables",
                              "\n\nERROR: Species traits: cannot read the number of species or traits"};
constexpr ListKind kTaxonomyList{"SPECIES TAXONOMY", "the species taxonomy", "taxonomic levels",
                                 "\n\nERROR: Species taxonomy: cannot read the number of species or variables"};

// The counts and the header line of a list.
struct ListStart {
  bool counts_read = false;
  int n_species = 0;
  int n_columns = 0;  // header cells announced or counted after the species column
  std::string header;
  int header_line = 0;
  bool keyword_line = false;  // a file of its own that holds the list's keyword line
};

ListStart read_list_start(const DataSource& source, const ListKind& kind) {
  ListStart start;
  core::TextInput file;
  int counts[2] = {source.number(0), source.number(1)};
  // Announced counts: each species needs its line and each column its
  // header cell, checked before any table is sized from them.
  const auto check_announced = [&]() {
    if (!file.read_line(start.header)) start.header.clear();
    start.header_line = file.line_number();
    check_cells_available(kind.keyword, counts[1], kind.columns, start.header, 1, source.file, start.header_line);
    check_rows_available(kind.keyword, counts[0], "species", source.file, start.header_line);
    start.counts_read = true;
  };
  if (source.is_inline()) {
    open_inline_data(file, source);
    check_announced();
  } else {
    open_data_file(file, source.file, kind.what);
    std::string keyword_line;
    if (file.find_keyword_line(kind.keyword, keyword_line)) {
      start.keyword_line = true;
      if (read_line_numbers(after_keyword_text(keyword_line, kind.keyword), counts, 2, kind.keyword, source.file,
                            file.line_number()) < 2) {
        core::console_print(kind.header_error);
        return start;
      }
      check_announced();
    } else {
      file.rewind();
      if (!file.read_line(start.header)) start.header.clear();
      counts[1] = count_filled_cells(start.header, 1);
      counts[0] = count_list_rows(file);
      // Messages about the header name its line, the first of the file.
      start.header_line = 1;
      start.counts_read = true;
    }
  }
  // A list named by a keyword must give species: an empty one would leave
  // the analyses indexing empty tables.
  if (counts[0] <= 0) {
    core::stop_run(core::format("\n\nERROR: \"%s\": the species list in %s holds no species.\nPress any key to stop.",
                                kind.keyword, source.file.c_str()),
                   core::kStoppedStatus);
  }
  start.n_species = counts[0];
  start.n_columns = std::max(counts[1], 0);
  return start;
}

// A list of `n_species` species and `n_variables` variables, the names and
// categories still to be filled (entry 0 of the categories: the species).
SpeciesListHeader list_of(int n_species, int n_variables) {
  SpeciesListHeader list;
  list.counts_read = true;
  list.n_species = n_species;
  list.n_variables = n_variables;
  list.variable_names = core::name_table(0, n_variables);
  list.variable_categories = core::ivector(0, n_variables);
  list.variable_categories[0] = n_species;
  return list;
}

}  // namespace

SpeciesListHeader scan_species_traits(const DataSource& source) {
  const ListStart start = read_list_start(source, kTraitList);
  if (!start.counts_read) return SpeciesListHeader();
  SpeciesListHeader list = list_of(start.n_species, start.n_columns);
  list.variable_names[0] = header_field(start.header.c_str(), kNameLimit);
  const char* position = start.header.c_str();
  for (int j = 1; j <= list.n_variables; ++j) {
    position = next_field(position, source.file, start.header_line);
    if (!read_variable_cell(position, list.variable_names[j], list.variable_categories[j])) {
      core::console_print(core::format("\n\nERROR: Species list: cannot read the number of categories of variable %s",
                                       list.variable_names[j].c_str()));
      list.unreadable_category = true;
    }
  }
  return list;
}

TaxonomyHeader scan_species_taxonomy(const DataSource& source) {
  TaxonomyHeader taxonomy;
  const ListStart start = read_list_start(source, kTaxonomyList);
  if (!start.counts_read) return taxonomy;
  taxonomy.counts_read = true;
  taxonomy.n_species = start.n_species;
  taxonomy.n_columns = start.n_columns + 1;
  taxonomy.header_line_first = !source.is_inline() && !start.keyword_line;
  const int n_levels = taxonomy.n_columns - 1;
  taxonomy.level_names = core::name_table(0, n_levels);
  taxonomy.level_sizes = core::ivector(0, n_levels);
  SpeciesListHeader& variables = taxonomy.levels_as_variables;
  variables = list_of(taxonomy.n_species, n_levels);
  taxonomy.level_names[0] = header_field(start.header.c_str(), kNameLimit);
  variables.variable_names[0] = taxonomy.level_names[0];
  const char* position = start.header.c_str();
  for (int j = 1; j <= n_levels; ++j) {
    position = next_field(position, source.file, start.header_line);
    taxonomy.level_names[j] = header_field(position, kNameLimit);
    // Levels are found by their names: a blank one could match nothing.
    if (taxonomy.level_names[j].empty()) {
      core::stop_run(core::format("\n\nERROR: \"SPECIES TAXONOMY\": taxonomic level %d has no name in the header "
                                  "line (line %d of %s).\nPress any key to stop.",
                                  j, start.header_line, source.file.c_str()),
                     core::kStoppedStatus);
    }
    int categories = 0;
    if (!read_variable_cell(position, variables.variable_names[j], categories) || categories <= 0) {
      categories = taxonomy.n_species;
    }
    variables.variable_categories[j] = categories;
  }
  taxonomy.level_sizes.fill(taxonomy.n_species);
  return taxonomy;
}

SpeciesListHeader taxonomy_as_species_list(const DataSource& source, const TaxonomyHeader& taxonomy) {
  if (!taxonomy.header_line_first) {
    core::stop_run(core::format("\n\nERROR: \"SPECIES TAXONOMY\" without \"SPECIES TRAITS\": the taxonomy list then "
                                "gives the taxonomic levels and must be a file of its own that begins with its header "
                                "line (not the case of %s). Name the list with \"SPECIES TRAITS\" too.\nPress any key "
                                "to stop.",
                                source.file.c_str()),
                   core::kStoppedStatus);
  }
  return taxonomy.levels_as_variables;
}

}  // namespace quorvel::input
