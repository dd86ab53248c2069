#include "input/divergence_matrix_file.hpp"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// Index of a species named `name` (compared over its first 49 characters),
// 0 when the data have no such species.
class SpeciesIndex {
 public:
  SpeciesIndex(int n_species, const core::NameTable& species_names) {
    for (int s = n_species; s >= 1; --s) index_[species_names[s].substr(0, kNameLimit)] = s;
  }
  int find(const std::string& name) const {
    const auto found = index_.find(name.substr(0, kNameLimit));
    return found == index_.end() ? 0 : found->second;
  }

 private:
  std::unordered_map<std::string, int> index_;
};

// First word of the cell at `position` (up to its tab or line end); empty
// for an empty cell. A name longer than 49 characters stops the run.
std::string cell_word(const char* position, const std::string& file_name, int line_number, const std::string& line) {
  if (is_empty_cell(position)) return std::string();
  std::string word;
  read_word_field(position, word, kNameLimit, file_name, line_number, line.c_str());
  return word;
}

void store_divergence(const std::string& file_name, const core::NameTable& species_names, int row, int column,
                      float value, core::FMatrix& divergences) {
  if (row == 0 || column == 0) return;  // a species the data do not have
  const int i = row < column ? row : column;
  const int j = row < column ? column : row;
  const float stored = divergences[i][j];
  if (stored == MISSING_VALUE_F) {
    divergences[i][j] = value;
    divergences[j][i] = value;
  } else if (stored != value) {
    reader_error(core::format("\nWARNING: In data for pairwise distances in \"%s\", the distance between \"%s\" and "
                              "\"%s\" is redefined: first value= %f, second value= %f",
                              file_name.c_str(), species_names[i].c_str(), species_names[j].c_str(),
                              static_cast<double>(stored), static_cast<double>(value)),
                 kDataStopStatus);
  }
}

// Two species of the table whose two cells are both empty have no
// divergence: the table is incomplete, not a statement about the pair.
void check_every_pair_given(const std::string& file_name, int n_species, const core::NameTable& species_names,
                            const std::vector<char>& in_table, const core::FMatrix& divergences) {
  std::vector<std::string> pairs;
  for (int i = 1; i <= n_species; ++i) {
    if (!in_table[static_cast<std::size_t>(i)]) continue;
    for (int j = i + 1; j <= n_species; ++j) {
      if (in_table[static_cast<std::size_t>(j)] && divergences[i][j] == MISSING_VALUE_F) {
        pairs.push_back(species_names[i] + " with " + species_names[j]);
      }
    }
  }
  if (pairs.empty()) return;
  const int n = static_cast<int>(pairs.size());
  reader_error(core::format("\nERROR: In divergences file %s, %d %s of species %s no divergence (both cells of the "
                            "pair are empty)",
                            file_name.c_str(), n, n == 1 ? "pair" : "pairs", n == 1 ? "has" : "have") +
                   listed_names(pairs) + ".\nPress any key to stop.",
               kDataStopStatus);
}

}  // namespace

int scan_species_divergences(const DataSource& source) {
  constexpr const char* kKeyword = "INTER-SPECIES DIVERGENCES";
  int n_species = source.number(0);
  if (source.is_inline()) {
    check_rows_available(kKeyword, n_species, "species", source.file, source.keyword_line);
    return n_species;
  }
  core::TextInput file;
  open_file_generic(file, source.file);
  std::string header;
  if (file.find_keyword_line(kKeyword, header)) {
    if (read_line_numbers(after_keyword_text(header, kKeyword), &n_species, 1, kKeyword, source.file,
                          file.line_number()) < 1) {
      core::stop_run(core::format("\n\nERROR: in file %s, \"INTER-SPECIES DIVERGENCES\" must be followed by the "
                                  "number of species.\nPress any key to stop.",
                                  source.file.c_str()),
                     core::kStoppedStatus);
    }
    check_rows_available(kKeyword, n_species, "species", source.file, file.line_number());
    return n_species;
  }
  file.rewind();
  std::string first;
  file.read_line(first);
  return count_matrix_rows(file, nullptr);
}

core::FMatrix read_species_divergences(const std::string& file_name, int n_table_species,
                                       const core::NameTable& species_names) {
  const int n_species = species_names.hi();
  core::FMatrix divergences = core::matrix(0, n_species, 0, n_species);
  core::TextInput file;
  open_file_wait_return(file, file_name, false);
  std::string line;
  if (!file.find_keyword_line("INTER-SPECIES DIVERGENCES", line)) file.rewind();
  divergences.fill(MISSING_VALUE_F);

  const SpeciesIndex index(n_species, species_names);
  int line_number = 0;
  read_data_line(file, line, file_name, line_number);
  // The header must name every announced column before a table is made for
  // them: a count the file cannot back is refused at no cost.
  const int header_columns = static_cast<int>(std::count(line.begin(), line.end(), '\t'));
  if (n_table_species < 0 || header_columns < n_table_species) {
    reader_error(core::format("\nERROR: In divergences file %s, the header line (line %d) names %d species; %d were "
                              "announced.\nPress any key to stop.",
                              file_name.c_str(), line_number, header_columns, n_table_species),
                 kDataStopStatus);
  }
  core::IVector column_species = core::ivector(0, n_table_species);
  std::vector<char> in_table(static_cast<std::size_t>(n_species) + 1, 0);  // species the table names
  const char* position = line.c_str();
  for (int c = 1; c <= n_table_species; ++c) {
    position = next_field_allow_empty(position, file_name, line_number);
    column_species[c] = index.find(cell_word(position, file_name, line_number, line));
    in_table[static_cast<std::size_t>(column_species[c])] = 1;
  }

  for (int r = 1; r <= n_table_species; ++r) {
    read_data_line(file, line, file_name, line_number);
    const int row_species = index.find(cell_word(line.c_str(), file_name, line_number, line));
    in_table[static_cast<std::size_t>(row_species)] = 1;
    position = line.c_str();
    for (int c = 1; c <= n_table_species; ++c) {
      const char* tab = std::strchr(position, '\t');
      if (tab == nullptr) break;  // the row ends early
      position = tab + 1;
      if (*position == '\n' || *position == '\0') break;
      if (is_empty_cell(position)) continue;  // empty cell: no value
      float value = 0;
      read_float_field(position, value, file_name, line_number, line.c_str());
      if (value < 0) {
        reader_error(
            core::format("\nERROR: In divergences file %s, line %d, column %d: the divergence %g is negative."
                         "\nPress any key to stop.",
                         file_name.c_str(), line_number, column_of(line.c_str(), position), static_cast<double>(value)),
            kDataStopStatus);
      }
      store_divergence(file_name, species_names, row_species, column_species[c], value, divergences);
    }
  }
  check_every_pair_given(file_name, n_species, species_names, in_table, divergences);
  // A species does not diverge from itself, whether or not the table gives
  // its diagonal: the pairs of individuals of one species belong to
  // divergence 0.
  for (int s = 1; s <= n_species; ++s) divergences(s, s) = 0.0f;
  return divergences;
}

}  // namespace quorvel::input
