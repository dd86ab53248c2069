#include "input/individual_list.hpp"

#include <unordered_map>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
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

int read_individual_list(const std::string& file_name, int n, int expected_species, int n_columns,
                         const core::NameTable& column_names, const core::IVector& announced_categories,
                         core::NameTable& species_names, IndividualList& list) {
  core::TextInput file;
  open_data_file(file, file_name, "the inividual list");
  std::string line;
  if (!file.find_keyword_line("INDIVIDUAL", line)) {
    core::stop_run(core::format("\nERROR: list of individuals not found in file \"%s\".\nNo line beginning with "
                                "\"INDIVIDUALS\" was found. \nPress any key to stop the programm now.\n",
                                file_name.c_str()),
                   1);
  }
  const int C = n_columns;
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
                       column_names[j].c_str(), count, announced_categories[j]));
    }
  }
  return found;
}

}  // namespace quorvel::input
