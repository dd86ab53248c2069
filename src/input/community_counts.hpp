#pragma once

#include <string>

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

/// Numbers of species (rows) and plots (columns) of the species-plot matrix in
/// `file_name`. With a keyword line whose two counts can be read, the counts
/// are taken from it; otherwise the header (the line after the keyword line,
/// or the first line) announces the plots, counted up to its first empty
/// cell, and the species are the following lines up to the end of the file or
/// the first line that begins with a tab (a blank line counts as a species).
/// The file is opened with the open retry ("the species-plot matrix").
void count_species_plot_matrix(const std::string& file_name, int& n_species, int& n_plots);

/// Numbers of distinct plots and species of the triplet table in `file_name`
/// (plot name, value, species name on each line; names compared over their
/// first 49 characters). Reading starts after the keyword line when there is
/// one, else at the first line, and stops at the first line that is not a
/// triplet; a last line without a line feed counts like any other. There is
/// no limit on the numbers of plots and species.
void count_triplets(const std::string& file_name, int& n_plots, int& n_species);

}  // namespace quorvel::input
