#include "input/species_traits.hpp"

#include <stdexcept>
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

bool is_blank_line(const std::string& line) {
  for (char c : line) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

// A cell holds nothing when only spaces stand before the next tab or the end.
bool cell_is_empty(const char* position) {
  while (*position == ' ') ++position;
  return *position == '\t' || *position == '\0' || *position == '\n';
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
  read_name_field(line.c_str(), name, kNameLimit, file_name, line_number);
  strip_line_end(name);
  return name;
}

}  // namespace

core::IVector read_species_traits(const std::string& file_name, int n_lines, int n_variables, int n_matrix_species,
                                  const core::NameTable& variable_names, const core::IVector& announced_categories,
                                  core::NameTable& species_names, core::FMatrix& traits,
                                  TraitCategoryNames& category_names) {
  const bool with_matrix = n_matrix_species > 0;
  const int n_species = with_matrix ? n_matrix_species : n_lines;
  const int V = n_variables;

  core::TextInput file;
  open_with_warning(file, file_name,
                    "\nWarning: cannot open the file containing the species traits \"" + file_name + kRetryAdvice);
  std::string line;
  // The keyword line is optional; the header line follows it (or starts the file).
  if (!file.find_keyword_line("SPECIES TRAIT", line)) file.rewind();
  file.read_line(line);

  traits = core::matrix(0, V, 0, n_species);
  traits.fill(MISSING_VALUE_F);
  for (int s = 0; s <= n_species; ++s) traits[0][s] = static_cast<float>(s);
  if (!with_matrix && species_names.hi() < n_lines) species_names = core::name_table(0, n_lines);
  std::unordered_map<std::string, int> known;
  if (with_matrix) known = index_names(species_names, n_species);

  // Labels per categorical variable, in order of first appearance.
  std::vector<std::vector<std::string>> labels(static_cast<std::size_t>(V) + 1);
  std::vector<std::unordered_map<std::string, int>> label_index(static_cast<std::size_t>(V) + 1);
  std::vector<bool> found(static_cast<std::size_t>(n_species) + 1, false);
  int n_found = 0;
  int n_read = 0;

  for (int line_number = 1; line_number <= n_lines; ++line_number) {
    if (!next_species_line(file, line)) break;
    ++n_read;
    const std::string name = read_species_name(line, file_name, line_number);
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
    const char* position = line.c_str();
    for (int v = 1; v <= V; ++v) {
      position = next_field_allow_empty(position, file_name, line_number);
      if (cell_is_empty(position)) {
        traits[v][s] = MISSING_VALUE_F;
      } else if (announced_categories[v] == 0) {
        read_float_field(position, traits[v][s], file_name, line_number);
      } else {
        std::string label;
        read_word_field(position, label, kNameLimit, file_name, line_number);
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

  core::IVector categories_found = core::ivector(0, V);
  categories_found[0] = n_species;
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
    errors +=
        core::format("\n\nERROR: in species traits in file %s, %i species from the species-plot matrix are missing",
                     file_name.c_str(), n_species - n_found);
  } else if (!with_matrix && n_read != n_lines) {
    errors +=
        core::format("\n\nERROR: in species traits in file %s, %i species are missing compared to what was announced",
                     file_name.c_str(), n_lines - n_read);
  }
  file.close();
  if (!errors.empty()) core::stop_run(errors + "\nPress any key to stop now", 101);
  return categories_found;
}

void read_species_se_traits(const std::string& file_name, int n_lines, int n_species, int n_variables,
                            const core::IVector& categories, core::FMatrix& se, const core::NameTable& species_names) {
  if (se.row_lo() > 1 || se.row_hi() < n_variables || se.col_lo() > 1 || se.col_hi() < n_species) {
    throw std::invalid_argument("read_species_se_traits: the standard error table is too small");
  }
  core::TextInput file;
  open_with_warning(file, file_name,
                    "\nWarning: cannot open the file containing the species SE traits \"" + file_name + kRetryAdvice);
  std::string line;
  file.read_line(line);  // header
  const auto known = index_names(species_names, n_species);
  for (int line_number = 1; line_number <= n_lines; ++line_number) {
    if (!next_species_line(file, line)) break;
    const auto it = known.find(read_species_name(line, file_name, line_number));
    if (it == known.end()) continue;
    const int s = it->second;
    const char* position = line.c_str();
    for (int v = 1; v <= n_variables; ++v) {
      position = next_field_allow_empty(position, file_name, line_number);
      if (cell_is_empty(position)) {
        se[v][s] = MISSING_VALUE_F;
      } else if (categories[v] != 0) {
        se[v][s] = 0;
      } else {
        read_float_field(position, se[v][s], file_name, line_number);
      }
    }
  }
}

}  // namespace quorvel::input
