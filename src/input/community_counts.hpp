#pragma once

#include <string>

#include "core/text_input.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

// Counting passes of the two forms of community data. They run while the
// instruction file is read, so that the abundance tables can be allocated
// before the readers fill them. Both forms may open with an optional keyword
// line; a source written inside the instruction file is found the same way,
// by its keyword line.

/// Keyword line of a species-plot matrix: "SPECIES-PLOT MATRIX", then the
/// numbers of species and of plots.
inline constexpr const char* kMatrixKeyword = "SPECIES-PLOT MATRIX";
/// Keyword line of a plot-abundance-species triplet table; the data follow it.
inline constexpr const char* kTripletKeyword = "PLOT-ABUNDANCE-SPECIES TRIPLET";

/// Plot cells of a matrix header: the cells after the first, up to the first
/// empty one (two tabs in a row, or a tab just before the line end).
int count_header_plots(const std::string& header);

/// The size of the community data: its numbers of species and of plots.
struct CommunityHeader {
  int n_species = 0;
  int n_plots = 0;
};

/// Numbers of species (rows) and plots (columns) of the species-plot matrix
/// of `source`. Inline data: the counts written after the keyword, checked
/// against the header line and the lines that follow (status 3). A file of
/// its own (opened with the open retry, "the species-plot matrix"): with a
/// keyword line whose two counts can be read, the counts are taken from it
/// and checked; otherwise the header (the line after the keyword line, or
/// the first line) announces the plots, counted up to its first empty cell,
/// and the species are the following lines up to the end of the file or the
/// first line that begins with a tab (a blank line counts as a species,
/// except blank lines at the very end).
CommunityHeader scan_species_plot_matrix(const DataSource& source);

/// One occurrence of a triplet table.
struct Triplet {
  std::string plot;
  double value = 0;
  std::string species;
};

/// Reads one line of a triplet table: plot name, value and species name in
/// three tab-separated cells (or, on a line without tabs, three blank-
/// separated words). Returns false for a blank line. Any other line that is
/// not a triplet, a name longer than 49 characters, and a value that is not
/// an abundance (see read_abundance_cell) stop the run naming the line.
bool read_triplet_line(const std::string& line, const std::string& file_name, int line_number, Triplet& triplet);

/// Reads the triplet lines of `file`, calling `use` for each. A table that
/// follows a keyword line (`after_keyword`, as inside an instruction file)
/// ends at its first blank line or at the end of the file; a whole file of
/// triplets goes to its end, blank lines being allowed only at the very end.
template <typename Use>
void for_each_triplet(core::TextInput& file, const std::string& file_name, bool after_keyword, Use use);

/// Numbers of distinct plots and species of the triplet table in `file_name`
/// (plot name, value, species name on each line; names compared over their
/// first 49 characters). Reading starts after the keyword line when there is
/// one, else at the first line, and goes to the end of the file: every line
/// must be a triplet (blank lines only at the very end), so that the counts
/// and the reading always agree. An empty table stops the run. There is no
/// limit on the numbers of plots and species.
CommunityHeader scan_triplets(const std::string& file_name);

}  // namespace quorvel::input

// ---- implementation of the template above ----

namespace quorvel::input {

/// Stops the run: blank line `blank_line` of a triplet table comes before
/// more triplets.
[[noreturn]] void stop_on_blank_triplet_line(const std::string& file_name, int blank_line);

template <typename Use>
void for_each_triplet(core::TextInput& file, const std::string& file_name, bool after_keyword, Use use) {
  std::string line;
  Triplet triplet;
  int first_blank = 0;
  while (file.read_line(line)) {
    if (!read_triplet_line(line, file_name, file.line_number(), triplet)) {
      if (after_keyword) return;
      if (first_blank == 0) first_blank = file.line_number();
      continue;
    }
    if (first_blank != 0) stop_on_blank_triplet_line(file_name, first_blank);
    use(triplet, file.line_number());
  }
}

}  // namespace quorvel::input
