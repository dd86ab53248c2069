#include "input/community_matrix.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_counts.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// A cell holding nothing but blanks.
bool is_blank_text_cell(const char* cell) {
  while (*cell == ' ' || *cell == '\r') ++cell;
  return *cell == '\0' || *cell == '\t' || *cell == '\n';
}

// Reads the header line: plot names from cells 2..P+1, blank-free words of
// at most 50 characters. A header with fewer names than announced stops the
// run before any table is allocated.
void read_matrix_header(const std::string& header, const std::string& file_name, int line_number, int n_plots,
                        core::NameTable& plot_names) {
  const int header_plots = count_header_plots(header);
  if (header_plots < n_plots) {
    reader_error(core::format("\nERROR: In species-plot file %s, the header line (line %d) names only %d plots; %d "
                              "were announced.\nPress any key to stop.",
                              file_name.c_str(), line_number, header_plots, n_plots),
                 kDataStopStatus);
  }
  plot_names = core::name_table(0, n_plots);
  // The tabs are sought in the whole line, as they were counted: a stray NUL
  // byte must not hide them.
  std::size_t cell = 0;
  for (int p = 1; p <= n_plots; ++p) {
    cell = header.find('\t', cell) + 1;
    read_word_field(header.c_str() + cell, plot_names[p], kLongNameLimit, file_name, line_number, header.c_str());
  }
}

// Reads the announced species lines before anything is allocated for them,
// so that a count the file cannot back is refused at no cost.
std::vector<std::string> read_species_lines(core::TextInput& file, const std::string& file_name, int n_species,
                                            int& first_line_number) {
  std::vector<std::string> lines;
  std::string line;
  first_line_number = file.line_number() + 1;
  while (static_cast<int>(lines.size()) < n_species && file.read_line(line)) lines.push_back(line);
  if (static_cast<int>(lines.size()) < n_species) {
    reader_error(core::format("\nERROR: In species-plot file %s, %d species lines were announced but the file ends "
                              "after %d.\nPress any key to stop.",
                              file_name.c_str(), n_species, static_cast<int>(lines.size())),
                 kDataStopStatus);
  }
  return lines;
}

[[noreturn]] void stop_on_cell(const std::string& file_name, const std::string& species, const std::string& plot,
                               int line_number, int column) {
  reader_error(core::format("ERROR: In species-plot file %s, cannot read the number of individuals of species %s in "
                            "plot %s (line %d, column %d)",
                            file_name.c_str(), species.c_str(), plot.c_str(), line_number, column),
               kDataStopStatus);
}

}  // namespace

double read_abundance_cell(const char* cell, const std::string& file_name, int line_number, const char* line_start,
                           bool& readable) {
  double value = 0;
  readable = read_number_cell(cell, value, file_name, line_number, line_start) == CellContent::kNumber;
  if (!readable) return 0;
  if (value < 0 || value > kMaxAbundance) {
    // A negative count or abundance has no meaning, and a value beyond 2^53
    // cannot be held (or written back) exactly as a count.
    reader_error(core::format("\nERROR: In file %s, line %d, column %d: the abundance %s is %s.\nAbundances are "
                              "counts of individuals, presences (0/1) or relative abundances: numbers from 0 to "
                              "9007199254740992.\nPress any key to stop.",
                              file_name.c_str(), line_number, column_of(line_start, cell),
                              core::format("%g", value).c_str(), value < 0 ? "negative" : "too large"),
                 kDataStopStatus);
  }
  return value;
}

bool same_name(const std::string& a, const std::string& b) { return a.compare(0, kNameLimit, b, 0, kNameLimit) == 0; }

int find_name(const core::NameTable& names, int count, const std::string& name) {
  for (int i = 1; i <= count; ++i) {
    if (same_name(names[i], name)) return i;
  }
  return 0;
}

void update_data_type_code(int& data_type, double value) {
  if (data_type == kRelativeAbundanceData) return;
  if (std::trunc(value) != value) {
    data_type = kRelativeAbundanceData;
  } else if (value != 0 && value != 1) {
    data_type = kCountData;
  }
}

void finish_relative_abundances(int n_plots, int n_species, const core::NameTable& plot_names,
                                core::DMatrix& abundances) {
  double grand_total = 0;
  for (int p = 1; p <= n_plots; ++p) grand_total += abundances(p, 0);
  abundances(0, 0) = grand_total;
  for (int p = 0; p <= n_plots; ++p) {
    const double total = abundances(p, 0);
    if (total == 0) {
      // An empty plot has no composition: its relative abundances are set to
      // 0 rather than 0/0, and the user is told which plot it is.
      if (p >= 1) {
        core::console_printf("\nWARNING: plot %s has no individuals (total 0): its relative abundances are set to 0",
                             plot_names[p].c_str());
      }
      for (int s = 1; s <= n_species; ++s) abundances(p, s) = 0;
      continue;
    }
    for (int s = 1; s <= n_species; ++s) abundances(p, s) /= total;
  }
}

Community read_species_plot_matrix(const std::string& file_name, const CommunityHeader& counts) {
  const int n_plots = counts.n_plots;
  const int n_species = counts.n_species;
  Community data;
  core::NameTable& plot_names = data.plot_names;
  core::NameTable& species_names = data.species_names;
  core::DMatrix& abundances = data.abundances;
  int& data_type = data.data_type;
  core::TextInput file;
  open_data_file(file, file_name, "the species-plot matrix");
  std::string line;
  const bool has_keyword = file.find_keyword_line(kMatrixKeyword, line);
  if (!has_keyword) file.rewind();
  if (!file.read_line(line)) {
    reader_error(core::format("\nERROR: In species-plot file %s, the header line with the plot names is "
                              "missing.\nPress any key to stop.",
                              file_name.c_str()),
                 kDataStopStatus);
  }
  read_matrix_header(line, file_name, file.line_number(), n_plots, plot_names);
  int first_line = 0;
  const std::vector<std::string> rows = read_species_lines(file, file_name, n_species, first_line);

  species_names = core::name_table(0, n_species);
  abundances = core::dmatrix(0, n_plots, 0, n_species);
  data_type = kPresenceAbsenceData;
  for (int s = 1; s <= n_species; ++s) {
    const std::string& row = rows[static_cast<std::size_t>(s - 1)];
    const int line_number = first_line + s - 1;
    read_name_field(row.c_str(), species_names[s], kNameLimit, file_name, line_number, row.c_str());
    const char* position = row.c_str();
    for (int p = 1; p <= n_plots; ++p) {
      const char* tab = std::strchr(position, '\t');
      if (!tab) stop_on_cell(file_name, species_names[s], plot_names[p], line_number, p + 1);
      position = tab + 1;
      bool readable = false;
      const double value = read_abundance_cell(position, file_name, line_number, row.c_str(), readable);
      if (!readable) stop_on_cell(file_name, species_names[s], plot_names[p], line_number, p + 1);
      abundances(p, s) = value;
      abundances(p, 0) += value;
      abundances(0, s) += value;
      update_data_type_code(data_type, value);
    }
    // Cells beyond the plots of the header would be dropped without a word.
    const char* extra = std::strchr(position, '\t');
    while (extra && is_blank_text_cell(extra + 1)) extra = std::strchr(extra + 1, '\t');
    if (extra) {
      reader_error(core::format("\nERROR: In species-plot file %s, line %d holds a value in column %d, beyond the %d "
                                "plots named by the header line.\nPress any key to stop.",
                                file_name.c_str(), line_number, column_of(row.c_str(), extra + 1), n_plots),
                   kDataStopStatus);
    }
  }
  finish_relative_abundances(n_plots, n_species, plot_names, abundances);
  return data;
}

}  // namespace quorvel::input
