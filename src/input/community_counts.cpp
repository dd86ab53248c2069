#include "input/community_counts.hpp"

#include <unordered_set>
#include <vector>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

bool is_line_end(char c) { return c == '\0' || c == '\n' || c == '\r'; }

}  // namespace

int count_header_plots(const std::string& header) {
  std::size_t position = header.find('\t');
  int plots = 0;
  while (position != std::string::npos) {
    const char next = position + 1 < header.size() ? header[position + 1] : '\0';
    if (next == '\t' || is_line_end(next)) break;
    ++plots;
    position = header.find('\t', position + 1);
  }
  return plots;
}

namespace {

// The two counts of a keyword line "SPECIES-PLOT MATRIX <species> <plots>".
bool read_keyword_counts(const std::string& line, int& n_species, int& n_plots) {
  const char* after = line.c_str() + std::string(kMatrixKeyword).size();
  int species = 0;
  int plots = 0;
  if (!scan_int(after, species, &after) || !scan_int(after, plots) || species < 0 || plots < 0) return false;
  n_species = species;
  n_plots = plots;
  return true;
}

}  // namespace

namespace {

// Counts announced on a keyword line are checked against the lines and cells
// the file holds before anything is allocated for them: "SPECIES-PLOT MATRIX
// 10000 10000" over two plots would otherwise take hundreds of megabytes.
void check_announced_counts(core::TextInput& file, const std::string& file_name, int n_species, int n_plots) {
  std::string line;
  const int header_plots = file.read_line(line) ? count_header_plots(line) : 0;
  if (header_plots < n_plots) {
    reader_error(core::format("\nERROR: In species-plot file %s, the header line (line %d) names only %d plots; %d "
                              "were announced.\nPress any key to stop.",
                              file_name.c_str(), file.line_number(), header_plots, n_plots),
                 kDataStopStatus);
  }
  int lines = 0;
  while (lines < n_species && file.read_line(line)) ++lines;
  if (lines < n_species) {
    reader_error(core::format("\nERROR: In species-plot file %s, %d species lines were announced but the file ends "
                              "after %d.\nPress any key to stop.",
                              file_name.c_str(), n_species, lines),
                 kDataStopStatus);
  }
}

}  // namespace

namespace {

// Inline data: the header line names every plot announced, and a line
// follows per species.
CommunityHeader scan_inline_matrix(const DataSource& source) {
  CommunityHeader counts{source.number(0), source.number(1)};
  const int header_line = source.keyword_line + 1;
  check_rows_available(kMatrixKeyword, counts.n_species, "species", source.file, header_line);
  core::TextInput file;
  open_inline_data(file, source);
  std::string header;
  if (!file.read_line(header)) header.clear();
  check_cells_available(kMatrixKeyword, counts.n_plots, "plots", header, 1, source.file, header_line);
  return counts;
}

}  // namespace

CommunityHeader scan_species_plot_matrix(const DataSource& source) {
  if (source.is_inline()) return scan_inline_matrix(source);
  CommunityHeader counts;
  core::TextInput file;
  open_data_file(file, source.file, "the species-plot matrix");
  std::string line;
  if (file.find_keyword_line(kMatrixKeyword, line)) {
    if (read_keyword_counts(line, counts.n_species, counts.n_plots)) {
      check_announced_counts(file, source.file, counts.n_species, counts.n_plots);
      return counts;
    }
    // A keyword line without its counts: count the block that follows it.
  } else {
    file.rewind();
  }
  if (!file.read_line(line)) return counts;
  counts.n_plots = count_header_plots(line);
  // Blank lines at the very end of the file are no species; a blank line
  // before other species lines is one, and its reading then stops the run
  // naming it.
  int lines = 0;
  while (file.read_line(line) && line[0] != '\t') {
    ++lines;
    if (!is_blank_line(line)) counts.n_species = lines;
  }
  return counts;
}

namespace {

// Cells of a triplet line: tab-separated, or blank-separated when the line
// has no tab. Empty cells at the end of the line are dropped.
std::vector<std::string> triplet_cells(const std::string& line) {
  std::vector<std::string> cells;
  std::string text = line;
  strip_line_end(text);
  if (text.find('\t') != std::string::npos) {
    std::size_t start = 0;
    while (true) {
      const std::size_t tab = text.find('\t', start);
      cells.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    while (!cells.empty() && is_blank_line(cells.back())) cells.pop_back();
  } else {
    const char* position = text.c_str();
    std::string word;
    while (scan_word(position, word, kMaxLineLength, &position)) cells.push_back(word);
  }
  return cells;
}

}  // namespace

bool read_triplet_line(const std::string& line, const std::string& file_name, int line_number, Triplet& triplet) {
  if (is_blank_line(line)) return false;
  const std::vector<std::string> cells = triplet_cells(line);
  std::string text = line;
  strip_line_end(text);
  if (cells.size() != 3 || is_blank_line(cells[0]) || is_blank_line(cells[2])) {
    reader_error(core::format("\nERROR: In triplet file %s, line %d is not a plot-abundance-species triplet (plot "
                              "name, tab, value, tab, species name): \"%s\"\nPress any key to stop.",
                              file_name.c_str(), line_number, text.c_str()),
                 kDataStopStatus);
  }
  const std::string row = cells[0] + "\t" + cells[1] + "\t" + cells[2];
  const char* value_cell = row.c_str() + cells[0].size() + 1;
  const char* species_cell = value_cell + cells[1].size() + 1;
  read_name_field(row.c_str(), triplet.plot, kNameLimit, file_name, line_number, row.c_str());
  bool readable = false;
  triplet.value = read_abundance_cell(value_cell, file_name, line_number, row.c_str(), readable);
  if (!readable) {
    reader_error(core::format("\nERROR: In triplet file %s, line %d, column 2: cannot read the abundance of species "
                              "%s in plot %s from \"%s\".\nPress any key to stop.",
                              file_name.c_str(), line_number, cells[2].c_str(), cells[0].c_str(), cells[1].c_str()),
                 kDataStopStatus);
  }
  read_name_field(species_cell, triplet.species, kNameLimit, file_name, line_number, row.c_str());
  return true;
}

void stop_on_blank_triplet_line(const std::string& file_name, int blank_line) {
  reader_error(core::format("\nERROR: In triplet file %s, line %d is blank but more triplets follow it: a triplet "
                            "table ends at its last line.\nPress any key to stop.",
                            file_name.c_str(), blank_line),
               kDataStopStatus);
}

CommunityHeader scan_triplets(const std::string& file_name) {
  core::TextInput file;
  open_data_file(file, file_name, "plot-abundance-species triplets");
  std::string line;
  const bool after_keyword = file.find_keyword_line(kTripletKeyword, line);
  if (!after_keyword) file.rewind();
  std::unordered_set<std::string> plots;
  std::unordered_set<std::string> species;
  for_each_triplet(file, file_name, after_keyword, [&](const Triplet& triplet, int) {
    plots.insert(triplet.plot);
    species.insert(triplet.species);
  });
  if (plots.empty()) {
    reader_error(core::format("\nERROR: The triplet file %s holds no plot-abundance-species triplet.\nPress any key "
                              "to stop.",
                              file_name.c_str()),
                 kDataStopStatus);
  }
  CommunityHeader counts;
  counts.n_plots = static_cast<int>(plots.size());
  counts.n_species = static_cast<int>(species.size());
  return counts;
}

}  // namespace quorvel::input
