#include "input/pairwise_categories.hpp"

#include <cstring>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"
#include "input/plot_distances.hpp"

namespace quorvel::input {

namespace {

// Optional keyword line ahead of the data.
constexpr const char* kPairwiseCategoriesKeyword = "PAIRWISE CATEGORIES";

enum class PairwiseLayout { kList, kMatrix };

// A plot name cut to its first 49 characters could match another plot: a
// longer name is refused, naming it.
void check_plot_name(const std::string& name, const std::string& file_name, int line_number) {
  if (static_cast<int>(name.size()) <= kNameLimit) return;
  core::fatal_error(core::format("\nthe name \"%s\" on line %d from file %s is longer than the %d characters allowed",
                                 name.c_str(), line_number, file_name.c_str(), kNameLimit));
}

// Goes to the first data line: after the keyword line, or the first line.
void go_to_data(core::TextInput& file) {
  std::string line;
  if (!file.find_keyword_line(kPairwiseCategoriesKeyword, line)) file.rewind();
}

bool cell_is_empty(const char* cell) {
  while (*cell == ' ') ++cell;
  return *cell == '\0' || *cell == '\t' || *cell == '\n';
}

// A list line "A<TAB>B<TAB>code": exactly three cells, the last a number.
bool is_list_entry(const std::string& line) {
  const char* first_tab = std::strchr(line.c_str(), '\t');
  if (!first_tab) return false;
  const char* second_tab = std::strchr(first_tab + 1, '\t');
  if (!second_tab || std::strchr(second_tab + 1, '\t')) return false;
  double code = 0;
  return !cell_is_empty(second_tab + 1) && scan_double(second_tab + 1, code);
}

// A matrix header has an empty first cell. A list file whose pairs run
// A-B, A-C, B-C has a later line beginning with B, so that older test alone
// (a later line beginning with the header's second word) would take most
// list files for matrices; it decides only for first lines that are
// neither a plain header nor a plain list entry.
PairwiseLayout detect_layout(core::TextInput& file) {
  std::string line;
  if (!file.read_line(line)) return PairwiseLayout::kList;
  if (line[0] == '\t') return PairwiseLayout::kMatrix;
  if (is_list_entry(line)) return PairwiseLayout::kList;
  const char* position = line.c_str();
  std::string a;
  std::string b;
  if (!scan_word(position, a, kNameLimit, &position) || !scan_word(position, b, kNameLimit)) {
    return PairwiseLayout::kList;
  }
  std::string word;
  while (file.read_line(line)) {
    if (scan_word(line.c_str(), word, kNameLimit) && word == b) return PairwiseLayout::kMatrix;
  }
  return PairwiseLayout::kList;
}

struct CategoryStore {
  const std::string& file_name;
  const core::NameTable& plot_names;
  core::FMatrix& categories;

  void store(int i, int j, float code) {
    if (i > j) std::swap(i, j);
    const float old = categories(i, j);
    if (old != MISSING_VALUE_F && old != code) {
      reader_error(core::format("\nIn data for pairwise categories in \"%s\", the category between \"%s\" and "
                                "\"%s\" is redefined: first value= %f, second value= %f",
                                file_name.c_str(), plot_names[i].c_str(), plot_names[j].c_str(),
                                static_cast<double>(old), static_cast<double>(code)),
                   kDataStopStatus);
    }
    categories(i, j) = code;
    categories(j, i) = code;
  }
};

void read_matrix_layout(core::TextInput& file, int n_plots, const core::NameTable& plot_names, CategoryStore& store) {
  std::string line;
  if (!file.read_line(line)) return;
  // Column plots: one per cell of the header after its first tab, up to the
  // first empty cell; 0 for a name that is not a plot of the matrix.
  std::vector<int> columns;
  std::string name;
  for (const char* tab = std::strchr(line.c_str(), '\t'); tab && !cell_is_empty(tab + 1);
       tab = std::strchr(tab + 1, '\t')) {
    scan_word(tab + 1, name);
    check_plot_name(name, store.file_name, file.line_number());
    columns.push_back(find_name(plot_names, n_plots, name));
  }
  for (std::size_t r = 0; r < columns.size() && file.read_line(line); ++r) {
    const int line_number = file.line_number();
    const bool named = scan_word(line.c_str(), name);
    if (named) check_plot_name(name, store.file_name, line_number);
    const int row = named ? find_name(plot_names, n_plots, name) : 0;
    const char* position = line.c_str();
    for (const int column : columns) {
      const char* tab = std::strchr(position, '\t');
      if (!tab) break;  // the line feed ends the row
      position = tab + 1;
      if (cell_is_empty(position)) continue;
      float code = 0;
      read_float_field(position, code, store.file_name, line_number, line.c_str());
      if (row != 0 && column != 0) store.store(row, column, code);
    }
  }
}

void read_list_layout(core::TextInput& file, int n_plots, const core::NameTable& plot_names, CategoryStore& store) {
  std::string line;
  std::string first;
  std::string second;
  while (file.read_line(line)) {
    const int line_number = file.line_number();
    const char* position = line.c_str();
    if (!scan_word(position, first, kMaxLineLength, &position) ||
        !scan_word(position, second, kMaxLineLength, &position)) {
      continue;  // a blank line
    }
    check_plot_name(first, store.file_name, line_number);
    check_plot_name(second, store.file_name, line_number);
    const int i = find_name(plot_names, n_plots, first);
    const int j = find_name(plot_names, n_plots, second);
    if (i == 0 || j == 0) continue;
    while (*position == ' ' || *position == '\t') ++position;
    float code = 0;
    read_float_field(position, code, store.file_name, line_number, line.c_str());
    store.store(i, j, code);
  }
}

}  // namespace

void read_pairwise_categories(const std::string& file_name, int n_plots, const core::NameTable& plot_names,
                              core::FMatrix& categories) {
  check_distinct_plot_names(n_plots, plot_names,
                            core::format("\n\nWARNING: Not all plot names are different.\nTo define each pairwise "
                                         "category, all names must be different.\nCheck in the file \"%s\" the list "
                                         "of names found.\nPress any key to stop the program.",
                                         core::kErrorFile));
  core::TextInput file;
  open_file_wait_return(file, file_name, true);
  go_to_data(file);
  const PairwiseLayout layout = detect_layout(file);
  file.rewind();
  go_to_data(file);

  categories = core::matrix(0, n_plots, 0, n_plots);
  categories.fill(MISSING_VALUE_F);
  CategoryStore store{file_name, plot_names, categories};
  if (layout == PairwiseLayout::kMatrix) {
    read_matrix_layout(file, n_plots, plot_names, store);
  } else {
    read_list_layout(file, n_plots, plot_names, store);
  }
  file.close();

  int n_defined = 0;
  for (int i = 1; i <= n_plots; ++i) {
    for (int j = i + 1; j <= n_plots; ++j) n_defined += categories(i, j) == MISSING_VALUE_F ? 0 : 1;
  }
  const int n_pairs = n_plots * (n_plots - 1) / 2;
  if (n_defined != n_pairs) {
    core::console_printf(
        "\nThere are only %i pairwise categories defined for %i potential pairwise comparisons "
        "(excluding self comparisons)\nPress any key to go on",
        n_defined, n_pairs);
    core::wait_for_key();
  }
}

namespace {

// Index of `name` among names[1..K] (whole names, the last match wins), 0
// when absent.
int category_index(int n_categories, const core::NameTable& category_names, const std::string& name) {
  int index = 0;
  for (int k = 1; k <= n_categories; ++k) {
    if (category_names[k] == name) index = k;
  }
  return index;
}

}  // namespace

void check_selected_categories(int n_categories, const core::NameTable& category_names, int mode,
                               const std::string& first_name, const std::string& second_name,
                               const std::string& plot_list) {
  if (mode != 1 && mode != 2) return;
  const char* keyword = mode == 1 ? "SELECT PLOT PAIRS WITHIN CATEGORY" : "SELECT PLOT PAIRS BETWEEN CATEGORIES";
  // Pairs chosen by category need categories: without them every pair would
  // silently be kept.
  if (n_categories <= 0) {
    core::stop_run(core::format("\n\nERROR: \"%s\" selects pairs of plots by their category, but the plots have no "
                                "category: give the categories in a column of the plot list.\nPress any key to stop.",
                                keyword),
                   core::kStoppedStatus);
  }
  std::vector<std::string> names;
  for (int k = 1; k <= n_categories; ++k) names.push_back(category_names[k]);
  const std::string where = plot_list.empty() ? std::string("the plot list") : "the plot list " + plot_list;
  for (const std::string* name : {&first_name, &second_name}) {
    if (name->empty() || category_index(n_categories, category_names, *name) != 0) continue;
    core::stop_run(core::format("\n\nERROR: \"%s\" names the category \"%s\", which %s does not hold. Its "
                                "categories are",
                                keyword, name->c_str(), where.c_str()) +
                       listed_names(names) + ".\nPress any key to stop.",
                   core::kStoppedStatus);
  }
  if (mode == 2 && first_name == second_name) {
    core::stop_run(core::format("\n\nERROR: \"%s\" names the category \"%s\" twice: the two categories must be "
                                "different. The categories of %s are",
                                keyword, first_name.c_str(), where.c_str()) +
                       listed_names(names) + ".\nPress any key to stop.",
                   core::kStoppedStatus);
  }
}

void select_plot_categories(int n_categories, const core::NameTable& category_names, int mode, int& first_index,
                            int& second_index, const std::string& first_name, const std::string& second_name) {
  check_selected_categories(n_categories, category_names, mode, first_name, second_name, std::string());
  if (mode == 1) {
    if (!first_name.empty()) first_index = category_index(n_categories, category_names, first_name);
  } else if (mode == 2) {
    if (first_name.empty() || second_name.empty()) return;
    first_index = category_index(n_categories, category_names, first_name);
    second_index = category_index(n_categories, category_names, second_name);
  } else if (mode == 3) {
    int code = 0;
    if (scan_int(first_name.c_str(), code)) first_index = code;
  }
}

}  // namespace quorvel::input
