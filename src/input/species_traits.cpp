#include "input/species_traits.hpp"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

constexpr const char* kRetryAdvice =
    "\".\nIf it is being used by another application, close it first.\n"
    "If it does not exist in the specified directory, bring it first.\nThen press Return.\n";

// Index of every species name (1..n), for the lookups of each data line.
std::unordered_map<std::string, int> index_names(const core::NameTable& names, int n) {
  std::unordered_map<std::string, int> index;
  for (int s = n; s >= 1; --s) index[names[s]] = s;  // the first of duplicated names wins
  return index;
}

// Reads the next non-blank line of the species lines; false at end of file.
bool next_species_line(core::TextInput& file, std::string& line) {
  while (file.read_line(line)) {
    if (!is_blank_line(line)) {
      strip_line_end(line);
      return true;
    }
  }
  return false;
}

// Reads the species name that starts `line` (at most 49 characters).
std::string read_species_name(const std::string& line, const std::string& file_name, int line_number) {
  std::string name;
  read_name_field(line.c_str(), name, kNameLimit, file_name, line_number, line.c_str());
  return name;
}

struct SpeciesLine {
  std::string text;  // without its line end
  int line_number = 0;
};

// The species lines after the header, read before anything is allocated for
// them. A list introduced by a keyword line (inline, or with its counts) has
// exactly `n_lines` lines; a whole file of species goes to its end, blank
// lines being allowed only at the very end. A blank line among the species
// would otherwise end the list there and drop the species after it.
std::vector<SpeciesLine> read_species_lines(core::TextInput& file, const std::string& file_name, int n_lines,
                                            bool to_end_of_file) {
  std::vector<SpeciesLine> lines;
  std::string line;
  int first_blank = 0;
  while ((to_end_of_file || static_cast<int>(lines.size()) < n_lines) && file.read_line(line)) {
    if (is_blank_line(line)) {
      if (!to_end_of_file) {
        reader_error(core::format("\n\nERROR: in species traits in file %s, line %d is blank where a species line "
                                  "was expected.\nPress any key to stop now",
                                  file_name.c_str(), file.line_number()),
                     101);
      }
      if (first_blank == 0) first_blank = file.line_number();
      continue;
    }
    if (first_blank != 0) {
      reader_error(core::format("\n\nERROR: in species traits in file %s, line %d is blank but more species lines "
                                "follow it.\nPress any key to stop now",
                                file_name.c_str(), first_blank),
                   101);
    }
    strip_line_end(line);
    lines.push_back(SpeciesLine{line, file.line_number()});
  }
  return lines;
}

}  // namespace

SpeciesTraits read_species_traits(const std::string& file_name, const SpeciesListHeader& header,
                                  const core::NameTable* known_species) {
  const int n_lines = header.n_species;
  const core::NameTable& variable_names = header.variable_names;
  const core::IVector& announced_categories = header.variable_categories;
  const bool with_matrix = known_species != nullptr;
  const int n_species = with_matrix ? known_species->hi() : n_lines;
  const int V = header.n_variables;
  SpeciesTraits result;
  core::FMatrix& traits = result.values;
  core::NameTable& species_names = result.species_names;

  core::TextInput file;
  open_with_warning(file, file_name,
                    "\nWarning: cannot open the file containing the species traits \"" + file_name + kRetryAdvice);
  std::string line;
  // The keyword line is optional; the header line follows it (or starts the file).
  const bool has_keyword = file.find_keyword_line("SPECIES TRAIT", line);
  if (!has_keyword) file.rewind();
  if (!file.read_line(line)) {
    reader_error(
        core::format("\n\nERROR: the species traits file %s is empty.\nPress any key to stop now", file_name.c_str()),
        101);
  }
  const int header_line = file.line_number();
  const int header_cells = static_cast<int>(std::count(line.begin(), line.end(), '\t'));
  if (V < 0 || header_cells < V) {
    reader_error(core::format("\n\nERROR: in species traits in file %s, the header line (line %d) names %d variables; "
                              "%d were announced.\nPress any key to stop now",
                              file_name.c_str(), header_line, header_cells, V),
                 101);
  }
  const std::vector<SpeciesLine> species_lines = read_species_lines(file, file_name, n_lines, !has_keyword);
  const int n_lines_found = static_cast<int>(species_lines.size());
  if (n_lines_found < n_lines) {
    reader_error(
        core::format("\n\nERROR: in species traits in file %s, %i species are missing compared to what was announced"
                     "\nPress any key to stop now",
                     file_name.c_str(), n_lines - n_lines_found),
        101);
  }
  if (n_lines_found > n_lines) {
    reader_error(core::format("\n\nERROR: in species traits in file %s, %d species lines were found but %d were "
                              "counted.\nPress any key to stop now",
                              file_name.c_str(), n_lines_found, n_lines),
                 101);
  }

  traits = core::matrix(0, V, 0, n_species);
  traits.fill(MISSING_VALUE_F);
  for (int s = 0; s <= n_species; ++s) traits[0][s] = static_cast<float>(s);
  if (!with_matrix) species_names = core::name_table(0, n_lines);
  std::unordered_map<std::string, int> known;
  if (with_matrix) known = index_names(*known_species, n_species);

  // Labels per categorical variable, in order of first appearance.
  std::vector<std::vector<std::string>> labels(static_cast<std::size_t>(V) + 1);
  std::vector<std::unordered_map<std::string, int>> label_index(static_cast<std::size_t>(V) + 1);
  std::vector<bool> found(static_cast<std::size_t>(n_species) + 1, false);
  int n_found = 0;
  int n_read = 0;

  for (const SpeciesLine& species_line : species_lines) {
    const std::string& text = species_line.text;
    const int line_number = species_line.line_number;
    ++n_read;
    const std::string name = read_species_name(text, file_name, line_number);
    int s = 0;
    if (with_matrix) {
      const auto it = known.find(name);
      if (it == known.end()) continue;  // a species of no plot: not part of this run
      s = it->second;
    } else {
      s = n_read;
      species_names[s] = name;
    }
    if (!found[static_cast<std::size_t>(s)]) {
      found[static_cast<std::size_t>(s)] = true;
      ++n_found;
    }
    const char* position = text.c_str();
    for (int v = 1; v <= V; ++v) {
      position = next_field_allow_empty(position, file_name, line_number);
      if (is_empty_cell(position)) {
        traits[v][s] = MISSING_VALUE_F;
      } else if (announced_categories[v] == 0) {
        read_float_field(position, traits[v][s], file_name, line_number, text.c_str());
      } else {
        std::string label;
        read_word_field(position, label, kNameLimit, file_name, line_number, text.c_str());
        auto& index = label_index[static_cast<std::size_t>(v)];
        auto it = index.find(label);
        if (it == index.end()) {
          labels[static_cast<std::size_t>(v)].push_back(label);
          it = index.emplace(label, static_cast<int>(labels[static_cast<std::size_t>(v)].size())).first;
        }
        traits[v][s] = static_cast<float>(it->second);
      }
    }
  }

  core::IVector& categories_found = result.categories_found;
  categories_found = core::ivector(0, V);
  categories_found[0] = n_species;
  TraitCategoryNames& category_names = result.category_names;
  category_names = TraitCategoryNames(0, V);
  std::string errors;
  for (int v = 1; v <= V; ++v) {
    const auto& list = labels[static_cast<std::size_t>(v)];
    const int n_labels = static_cast<int>(list.size());
    categories_found[v] = n_labels;
    category_names[v] = core::name_table(1, n_labels);
    for (int k = 1; k <= n_labels; ++k) category_names[v][k] = list[static_cast<std::size_t>(k - 1)];
    if (announced_categories[v] != 0 && n_labels > announced_categories[v]) {
      errors += core::format("\n\nERROR: Species traits, variable %s: %i categories found but only %i announced",
                             variable_names[v].c_str(), n_labels, announced_categories[v]);
    }
  }
  if (with_matrix && n_found < n_species) {
    std::vector<std::string> missing;
    for (int s = 1; s <= n_species; ++s) {
      if (!found[static_cast<std::size_t>(s)]) missing.push_back((*known_species)[s]);
    }
    errors +=
        core::format("\n\nERROR: in species traits in file %s, %i species from the species-plot matrix are missing",
                     file_name.c_str(), n_species - n_found) +
        listed_names(missing);
  } else if (!with_matrix && n_read != n_lines) {
    errors +=
        core::format("\n\nERROR: in species traits in file %s, %i species are missing compared to what was announced",
                     file_name.c_str(), n_lines - n_read);
  }
  file.close();
  if (!errors.empty()) reader_error(errors + "\nPress any key to stop now", 101);
  return result;
}

core::FMatrix read_species_se_traits(const std::string& file_name, const SpeciesListHeader& header,
                                     const core::NameTable& species_names, int n_species) {
  const int n_lines = header.n_species;
  const int n_variables = header.n_variables;
  const core::IVector& categories = header.variable_categories;
  core::FMatrix se = core::matrix(0, n_variables, 0, n_species);
  core::TextInput file;
  open_with_warning(file, file_name,
                    "\nWarning: cannot open the file containing the species SE traits \"" + file_name + kRetryAdvice);
  std::string line;
  file.read_line(line);  // header
  const auto known = index_names(species_names, n_species);
  for (int line_number = 1; line_number <= n_lines; ++line_number) {
    if (!next_species_line(file, line)) break;
    const auto it = known.find(read_species_name(line, file_name, file.line_number()));
    if (it == known.end()) continue;
    const int s = it->second;
    const char* position = line.c_str();
    for (int v = 1; v <= n_variables; ++v) {
      position = next_field_allow_empty(position, file_name, file.line_number());
      if (is_empty_cell(position)) {
        se[v][s] = MISSING_VALUE_F;
      } else if (categories[v] != 0) {
        se[v][s] = 0;
      } else {
        read_float_field(position, se[v][s], file_name, file.line_number(), line.c_str());
      }
    }
  }
  return se;
}

}  // namespace quorvel::input
