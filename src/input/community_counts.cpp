#include "input/community_counts.hpp"

#include <unordered_set>

#include "core/constants.hpp"
#include "core/text_input.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

bool is_line_end(char c) { return c == '\0' || c == '\n' || c == '\r'; }

// Plot cells of a matrix header: the cells after the first, up to the first
// empty one (two tabs in a row, or a tab just before the line end).
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

// One triplet line read as "%s\t%f\t%s": plot word, number, species word.
bool read_triplet(const std::string& line, std::string& plot, std::string& species) {
  const char* position = line.c_str();
  float value = 0.0f;
  return scan_word(position, plot, kMaxLineLength, &position) && scan_float(position, value, &position) &&
         scan_word(position, species, kMaxLineLength);
}

}  // namespace

void count_species_plot_matrix(const std::string& file_name, int& n_species, int& n_plots) {
  core::TextInput file;
  open_data_file(file, file_name, "the species-plot matrix");
  std::string line;
  if (file.find_keyword_line(kMatrixKeyword, line)) {
    if (read_keyword_counts(line, n_species, n_plots)) return;
    // A keyword line without its counts: count the block that follows it.
  } else {
    file.rewind();
  }
  n_plots = 0;
  n_species = 0;
  if (!file.read_line(line)) return;
  n_plots = count_header_plots(line);
  while (file.read_line(line) && line[0] != '\t') ++n_species;
}

void count_triplets(const std::string& file_name, int& n_plots, int& n_species) {
  core::TextInput file;
  open_data_file(file, file_name, "plot-abundance-species triplets");
  std::string line;
  if (!file.find_keyword_line(kTripletKeyword, line)) file.rewind();
  std::unordered_set<std::string> plots;
  std::unordered_set<std::string> species;
  std::string plot_name;
  std::string species_name;
  while (file.read_line(line) && read_triplet(line, plot_name, species_name)) {
    plots.insert(plot_name.substr(0, kNameLimit));
    species.insert(species_name.substr(0, kNameLimit));
  }
  n_plots = static_cast<int>(plots.size());
  n_species = static_cast<int>(species.size());
}

}  // namespace quorvel::input
