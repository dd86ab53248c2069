#include "input/individual_list.hpp"

#include <unordered_map>
#include <unordered_set>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// Labels met so far in one column, with their index (1, 2, ... in order of
// first appearance).
class LabelIndex {
 public:
  int find_or_add(const std::string& label, core::NameTable* names) {
    auto it = index_.find(label);
    if (it != index_.end()) return it->second;
    const int next = static_cast<int>(index_.size()) + 1;
    index_.emplace(label, next);
    if (names) {
      if (names->hi() < next) grow(*names, next);
      (*names)[next] = label;
    }
    return next;
  }
  int size() const { return static_cast<int>(index_.size()); }

 private:
  static void grow(core::NameTable& names, int needed) {
    core::NameTable larger = core::name_table(0, std::max(needed, 2 * names.hi() + 1));
    for (int k = std::max(names.lo(), 0); k <= names.hi(); ++k) larger[k] = names[k];
    names = std::move(larger);
  }
  std::unordered_map<std::string, int> index_;
};

}  // namespace

IndividualListHeader scan_individual_list(const DataSource& source) {
  constexpr const char* kKeyword = "INDIVIDUAL";
  IndividualListHeader list;
  core::TextInput file;
  int counts[2] = {source.number(0), source.number(1)};
  bool counts_read = true;
  if (source.is_inline()) {
    open_inline_data(file, source);
  } else {
    open_data_file(file, source.file, "the individual list");
    std::string keyword_line;
    counts_read =
        file.find_keyword_line(kKeyword, keyword_line) &&
        read_line_numbers(after_first_tab(keyword_line), counts, 2, kKeyword, source.file, file.line_number()) == 2;
  }
  // The four fixed columns (group, x, y, species) must exist.
  if (!counts_read || counts[1] < 0) {
    core::console_print("\n\nERROR: Can not read the number of individuals or of variables of the individual list");
    return list;
  }
  // The header must hold the four fixed columns and every variable announced
  // before the tables are sized from the count; the rows are counted below.
  std::string header;
  if (!file.read_line(header)) header.clear();
  const int header_line = file.line_number();
  check_cells_available(kKeyword, counts[1], "variables", header, 4, source.file, header_line);
  check_not_negative(kKeyword, counts[0], "individuals");
  list.counts_read = true;
  list.n_individuals = counts[0];
  list.n_columns = counts[1] + 4;
  list.column_names = core::name_table(0, list.n_columns - 1);
  list.column_categories = core::ivector(0, list.n_columns - 1);
  list.column_names[0] = header_field(header.c_str(), kNameLimit);
  const char* position = header.c_str();
  for (int j = 1; j < list.n_columns; ++j) {
    position = next_field(position, source.file, header_line);
    if (j <= 3) {
      list.column_names[j] = header_field(position, kNameLimit);
    } else if (!read_variable_cell(position, list.column_names[j], list.column_categories[j])) {
      core::console_print(
          core::format("\n\nERROR: Individual list: cannot read the number of categories of variable %s",
                       list.column_names[j].c_str()));
      list.unreadable_category = true;
    }
  }

  // The distinct species of the individuals become the species of the run.
  std::unordered_set<std::string> species;
  std::string row;
  int rows = 0;
  while (rows < list.n_individuals && file.read_line(row)) {
    ++rows;
    const char* cell = row.c_str();
    for (int k = 0; k < 3; ++k) cell = next_field(cell, source.file, file.line_number());
    std::string name;
    read_name_field(cell, name, kNameLimit, source.file, file.line_number());
    strip_line_end(name);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    // Counted as the list is read later: 49 characters, and a name beginning
    // with 0 marks an individual without species.
    if (name.empty() || name[0] != '0') species.insert(name);
  }
  if (rows < list.n_individuals) {
    core::stop_run(
        core::format("\n\nERROR: in the indivual list in file %s, only %i individuals found for %i announced",
                     source.file.c_str(), rows, list.n_individuals),
        core::kStoppedStatus);
  }
  list.n_species = static_cast<int>(species.size());
  list.column_categories[0] = list.n_individuals;
  list.column_categories[1] = 0;
  list.column_categories[2] = 0;
  list.column_categories[3] = list.n_species;
  return list;
}

IndividualList read_individual_list(const std::string& file_name, const IndividualListHeader& header) {
  const int n = header.n_individuals;
  const int expected_species = header.n_species;
  const core::IVector& announced_categories = header.column_categories;
  IndividualList list;
  list.species_names = core::name_table(0, expected_species);
  core::NameTable& species_names = list.species_names;
  core::TextInput file;
  open_data_file(file, file_name, "the inividual list");
  std::string line;
  if (!file.find_keyword_line("INDIVIDUAL", line)) {
    core::stop_run(core::format("\nERROR: list of individuals not found in file \"%s\".\nNo line beginning with "
                                "\"INDIVIDUALS\" was found. \nPress any key to stop the programm now.\n",
                                file_name.c_str()),
                   1);
  }
  const int C = header.n_columns;
  list.values = core::matrix(0, C - 1, 0, n);
  list.x = core::dvector(0, n);
  list.y = core::dvector(0, n);
  list.group_names = core::name_table(0, 0);
  list.category_names = core::Vector<core::NameTable>(0, C - 1);
  list.categories_found = core::ivector(0, C - 1);
  list.individuals_per_species = core::ivector(0, expected_species);

  int line_number = 0;
  read_data_line(file, line, file_name, line_number);  // the header line
  LabelIndex groups;
  LabelIndex species;
  std::vector<LabelIndex> labels(static_cast<std::size_t>(C));
  for (int j = 4; j < C; ++j) {
    if (announced_categories[j] != 0) list.category_names[j] = core::name_table(0, announced_categories[j]);
  }

  for (int t = 1; t <= n; ++t) {
    read_data_line(file, line, file_name, line_number);
    const char* position = line.c_str();
    std::string word;
    read_word_field(position, word, kNameLimit, file_name, line_number, line.c_str());
    list.values(0, t) = static_cast<float>(groups.find_or_add(word, &list.group_names));

    position = next_field_allow_empty(position, file_name, line_number);
    // An empty x is an error here: the next number on the line is y.
    read_double_field(position, list.x[t], file_name, line_number, line.c_str());
    position = next_field(position, file_name, line_number);
    read_double_field(position, list.y[t], file_name, line_number, line.c_str());
    list.values(1, t) = static_cast<float>(list.x[t]);
    list.values(2, t) = static_cast<float>(list.y[t]);

    position = next_field(position, file_name, line_number);
    std::string name;
    read_name_field(position, name, kNameLimit, file_name, line_number, line.c_str());
    strip_line_end(name);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    int s = 0;
    if (name.empty() || name[0] != '0') {
      s = species.find_or_add(name, nullptr);
      // More species than counted first: the tables were sized for them.
      if (s > expected_species) {
        core::stop_run(core::format("\n\nERROR: Individual list \"%s\", line %d: species \"%s\" makes more species "
                                    "than the %i counted when the instruction file was read.\nPress any key to stop.",
                                    file_name.c_str(), line_number, name.c_str(), expected_species),
                       344);
      }
      species_names[s] = name;
    }
    list.values(3, t) = static_cast<float>(s);
    ++list.individuals_per_species[s];

    for (int j = 4; j < C; ++j) {
      position = next_field(position, file_name, line_number);
      if (announced_categories[j] == 0) {
        float value = 0;
        read_float_field(position, value, file_name, line_number, line.c_str());
        list.values(j, t) = value;
      } else {
        read_word_field(position, word, kNameLimit, file_name, line_number, line.c_str());
        list.values(j, t) =
            static_cast<float>(labels[static_cast<std::size_t>(j)].find_or_add(word, &list.category_names[j]));
      }
    }
  }
  list.n_groups = groups.size();

  const int found = species.size();
  if (found != expected_species) {
    core::stop_run(core::format("\n\nERROR: Individual list \"%s\": %i species found whereas %i were counted when "
                                "the instruction file was read.\nPress any key to stop.",
                                file_name.c_str(), found, expected_species),
                   344);
  }
  for (int j = 0; j < C; ++j) {
    if (j < 4 || announced_categories[j] == 0) continue;
    const int count = labels[static_cast<std::size_t>(j)].size();
    list.categories_found[j] = count;
    if (count > announced_categories[j]) {
      core::console_print(
          core::format("\n\nERROR: Individual list, variable %s: %i categories found but only %i "
                       "announced",
                       header.column_names[j].c_str(), count, announced_categories[j]));
    }
  }
  return list;
}

}  // namespace quorvel::input
