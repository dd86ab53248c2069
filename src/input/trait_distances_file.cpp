#include "input/trait_distances_file.hpp"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// The species of the file and the distance matrices being filled. In build
// mode the species list grows as names are met, so the matrices grow with it
// (by doubling, then trimmed to the final count).
class DistanceStore {
 public:
  DistanceStore(const std::string& file_name, int n_variables, bool build, int n_known,
                const core::NameTable& known_names, bool matrix_layout)
      : file_name_(file_name), build_(build), matrix_layout_(matrix_layout) {
    const int capacity = build ? 16 : n_known;
    names_.push_back(std::string());
    if (!build) {
      for (int s = 1; s <= n_known; ++s) {
        names_.push_back(known_names[s]);
        index_.emplace(known_names[s], s);  // the first of duplicated names wins
      }
    }
    seen_.assign(static_cast<std::size_t>(n_known) + 1, false);
    matrices_.resize(static_cast<std::size_t>(n_variables));
    for (auto& m : matrices_) {
      m = core::matrix(0, capacity, 0, capacity);
      m.fill(MISSING_VALUE_F);
    }
  }

  // Species index of `name`, 0 when it is not part of the run.
  int species(const std::string& name) {
    named_.insert(name);
    auto it = index_.find(name);
    if (it == index_.end()) {
      if (!build_) return 0;
      names_.push_back(name);
      const int s = static_cast<int>(names_.size()) - 1;
      it = index_.emplace(name, s).first;
      seen_.push_back(false);
      if (s > matrices_.front().row_hi()) grow(2 * s);
    }
    if (!seen_[static_cast<std::size_t>(it->second)]) {
      seen_[static_cast<std::size_t>(it->second)] = true;
      ++n_seen_;
    }
    return it->second;
  }

  // Stores distance `value` of variable m (1-based) for the pair (a, b).
  void store(int m, int a, int b, float value) {
    const int i = std::min(a, b);
    const int j = std::max(a, b);
    core::FMatrix& d = matrices_[static_cast<std::size_t>(m - 1)];
    if (d[i][j] == MISSING_VALUE_F) {
      d[i][j] = value;
      d[j][i] = value;
    } else if (d[i][j] != value) {
      const char* text = matrix_layout_
                             ? "\nWARNING: In data for pairwise distances in \"%s\", the distance between \"%s\" and "
                               "\"%s\" is redefined: first value= %f, second value= %f"
                             : "\nIn data for pairwise distances in \"%s\", the distance between \"%s\" and \"%s\" "
                               "is redefine: first value= %f, second value= %f";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      reader_error(core::format(text, file_name_.c_str(), names_[static_cast<std::size_t>(i)].c_str(),
                                names_[static_cast<std::size_t>(j)].c_str(), static_cast<double>(d[i][j]),
                                static_cast<double>(value)),
                   kDataStopStatus);
#pragma GCC diagnostic pop
    }
  }

  int n_seen() const { return n_seen_; }
  // Every species the file names, of the run or not.
  int n_named() const { return static_cast<int>(named_.size()); }

  // The known species that the file never names.
  std::vector<std::string> unseen_names() const {
    std::vector<std::string> unseen;
    for (std::size_t s = 1; s < seen_.size() && s < names_.size(); ++s) {
      if (!seen_[s]) unseen.push_back(names_[s]);
    }
    return unseen;
  }

  // Hands the matrices and, in build mode, the species names over.
  void finish(core::NameTable& species_names, core::Vector<core::FMatrix>& distances) {
    const int n = static_cast<int>(names_.size()) - 1;
    if (build_) {
      grow(n);
      species_names = core::name_table(0, n);
      for (int s = 1; s <= n; ++s) species_names[s] = names_[static_cast<std::size_t>(s)];
    }
    const int n_variables = static_cast<int>(matrices_.size());
    distances = core::Vector<core::FMatrix>(1, n_variables);
    for (int m = 1; m <= n_variables; ++m) {
      distances[m] = std::move(matrices_[static_cast<std::size_t>(m - 1)]);
      // A species is at distance 0 from itself, whether or not the file gives
      // the diagonal (the list layout never does).
      for (int s = 1; s <= distances[m].row_hi(); ++s) distances[m](s, s) = 0.0f;
    }
  }

 private:
  void grow(int capacity) {
    for (auto& old : matrices_) {
      core::FMatrix bigger = core::matrix(0, capacity, 0, capacity);
      bigger.fill(MISSING_VALUE_F);
      const int keep = std::min(capacity, old.row_hi());
      for (int i = 0; i <= keep; ++i) {
        for (int j = 0; j <= keep; ++j) bigger[i][j] = old[i][j];
      }
      old = std::move(bigger);
    }
  }

  std::string file_name_;
  bool build_;
  bool matrix_layout_;
  std::vector<std::string> names_;  // 1-based, entry 0 unused
  std::unordered_map<std::string, int> index_;
  std::vector<bool> seen_;
  int n_seen_ = 0;
  std::unordered_set<std::string> named_;
  std::vector<core::FMatrix> matrices_;
};

// The name in the cell at `position` (spaces allowed, trimmed); empty for an
// empty cell.
std::string cell_name(const char* position, const std::string& file_name, int line_number, const std::string& line) {
  if (is_empty_cell(position)) return std::string();
  std::string name;
  read_name_field(position, name, kNameLimit, file_name, line_number, line.c_str());
  return name;
}

// A distance: the whole cell, a finite number not below 0.
float read_distance(const char* position, const std::string& file_name, int line_number, const std::string& line) {
  float value = 0;
  read_float_field(position, value, file_name, line_number, line.c_str());
  if (value < 0) {
    reader_error(
        core::format("\nERROR: In trait distances file %s, line %d, column %d: the distance %g is negative."
                     "\nPress any key to stop.",
                     file_name.c_str(), line_number, column_of(line.c_str(), position), static_cast<double>(value)),
        kDataStopStatus);
  }
  return value;
}

void read_matrix_layout(core::TextInput& file, const std::string& file_name, int n_data_lines, DistanceStore& store,
                        core::NameTable& variable_names) {
  std::string line;
  int line_number = 0;
  read_data_line(file, line, file_name, line_number);
  strip_line_end(line);
  std::string title = cell_name(line.c_str(), file_name, line_number, line);
  variable_names = core::name_table(0, 1);
  variable_names[1] = title.empty() ? "var" : title;
  // Column species, in header order (0: a cell naming no species of the run).
  std::vector<int> column_species;
  for (const char* tab = std::strchr(line.c_str(), '\t'); tab; tab = std::strchr(tab + 1, '\t')) {
    const std::string name = cell_name(tab + 1, file_name, line_number, line);
    column_species.push_back(name.empty() ? 0 : store.species(name));
  }
  for (int r = 1; r <= n_data_lines; ++r) {
    read_data_line(file, line, file_name, line_number);
    strip_line_end(line);
    const int row = store.species(cell_name(line.c_str(), file_name, line_number, line));
    if (row == 0) continue;
    std::size_t column = 0;
    for (const char* tab = std::strchr(line.c_str(), '\t'); tab && column < column_species.size();
         tab = std::strchr(tab + 1, '\t'), ++column) {
      const int col = column_species[column];
      if (col == 0 || is_empty_cell(tab + 1)) continue;
      store.store(1, row, col, read_distance(tab + 1, file_name, line_number, line));
    }
  }
}

void read_list_layout(core::TextInput& file, const std::string& file_name, int n_data_lines, int n_variables,
                      DistanceStore& store, core::NameTable& variable_names) {
  std::string line;
  int line_number = 0;
  read_data_line(file, line, file_name, line_number);
  strip_line_end(line);
  variable_names = core::name_table(0, n_variables);
  const char* position = line.c_str();
  position = next_field_allow_empty(position, file_name, line_number);
  for (int m = 1; m <= n_variables; ++m) {
    position = next_field_allow_empty(position, file_name, line_number);
    variable_names[m] = cell_name(position, file_name, line_number, line);
  }
  for (int r = 1; r <= n_data_lines; ++r) {
    read_data_line(file, line, file_name, line_number);
    strip_line_end(line);
    const int first = store.species(cell_name(line.c_str(), file_name, line_number, line));
    position = next_field_allow_empty(line.c_str(), file_name, line_number);
    const int second = store.species(cell_name(position, file_name, line_number, line));
    if (first == 0 || second == 0) continue;
    for (int m = 1; m <= n_variables; ++m) {
      position = next_field_allow_empty(position, file_name, line_number);
      if (is_empty_cell(position)) continue;
      store.store(m, first, second, read_distance(position, file_name, line_number, line));
    }
  }
}

}  // namespace

TraitDistanceHeader scan_trait_distances(const std::string& file_name) {
  constexpr const char* kKeyword = "INTER-SPECIES TRAIT DISTANCES";
  TraitDistanceHeader header;
  core::TextInput file;
  open_file_generic(file, file_name);
  std::string keyword_line;
  if (file.find_keyword_line("INTER-SPECIES TRAIT DI", keyword_line)) {
    int counts[2] = {0, 0};
    const int line_number = file.line_number();
    if (read_line_numbers(after_keyword_text(keyword_line, kKeyword), counts, 2, kKeyword, file_name, line_number) <
        2) {
      core::stop_run(core::format("\n\nERROR: in file %s, \"INTER-SPECIES TRAIT DISTANCES\" must be followed by two "
                                  "numbers (# species, layout).\nPress any key to stop.",
                                  file_name.c_str()),
                     core::kStoppedStatus);
    }
    // A row per species or pair follows; the layout is -1 (matrix) or the
    // number of distance columns of a list.
    check_rows_available(kKeyword, counts[0], "rows", file_name, line_number);
    if (counts[1] < -1) check_not_negative(kKeyword, counts[1], "distance variables");
    if (counts[1] > 0) {
      std::string title_line;
      if (!file.read_line(title_line)) title_line.clear();
      check_cells_available(kKeyword, counts[1], "distance variables", title_line, 2, file_name, line_number + 1);
    }
    header.n_rows = counts[0];
    header.layout = counts[1];
    return header;
  }
  file.rewind();
  std::string first;
  file.read_line(first);
  // A square matrix names its columns by species, and some row repeats one
  // of its first two column names; a list has other column headers.
  std::string a;
  std::string b;
  const char* position = first.c_str();
  scan_word(position, a, kMaxLineLength, &position);
  scan_word(position, b, kMaxLineLength, &position);
  std::vector<std::string> first_words;
  header.n_rows = count_matrix_rows(file, &first_words);
  const bool square = std::any_of(first_words.begin(), first_words.end(), [&](const std::string& w) {
    return (!a.empty() && w == a) || (!b.empty() && w == b);
  });
  header.layout = square ? kTraitDistanceMatrixLayout : count_filled_cells(first, 2);
  return header;
}

TraitDistances read_trait_distances(const std::string& file_name, const TraitDistanceHeader& header,
                                    const core::NameTable* known_species) {
  const int layout = header.layout;
  const int n_data_lines = header.n_rows;
  const bool build_species_list = known_species == nullptr;
  const int n_known_species = build_species_list ? 0 : known_species->hi();
  const core::NameTable no_species;
  TraitDistances result;
  const bool matrix_layout = layout < 0;
  const int n_variables = matrix_layout ? 1 : layout;
  core::TextInput file;
  open_file_wait_return(file, file_name, false);
  std::string line;
  if (!file.find_keyword_line("INTER-SPECIES TRAIT DISTANCES", line)) file.rewind();

  DistanceStore store(file_name, n_variables, build_species_list, n_known_species,
                      build_species_list ? no_species : *known_species, matrix_layout);
  if (matrix_layout) {
    read_matrix_layout(file, file_name, n_data_lines, store, result.variable_names);
  } else {
    read_list_layout(file, file_name, n_data_lines, n_variables, store, result.variable_names);
  }
  const std::vector<std::string> unseen = store.unseen_names();
  store.finish(result.species_names, result.matrices);
  const int n_species = store.n_seen();
  result.n_found = n_species;
  result.n_named = store.n_named();
  if (!build_species_list && n_species < n_known_species) {
    core::console_print(
        core::format(
            "\n\nERROR: in inter-species trait distance matrix, %i species from the species-plot matrix are missing",
            n_known_species - n_species) +
        listed_names(unseen));
  }
  return result;
}

}  // namespace quorvel::input
