#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::input {

/// Reads the category code of pairs of plots, as a matrix (header of column
/// plots after an empty cell, then one row per plot, empty cells meaning no
/// code) or as a list (lines "plot<TAB>plot<TAB>code"). A first line with an
/// empty first cell is a matrix header; a first line of three cells ending
/// with a number is a list entry; otherwise the file is a matrix when a
/// later line begins with the first line's second word. Allocates categories
/// [0..P][0..P] (single precision), every cell first MISSING_VALUE_F, and
/// stores each code symmetrically; codes of plots absent from the matrix are
/// ignored. A pair given two different codes stops the run (status 0);
/// missing pairs are reported and keep MISSING_VALUE_F.
void read_pairwise_categories(const std::string& file_name, int n_plots, const core::NameTable& plot_names,
                              core::FMatrix& categories);

/// Turns the category names of the pair selection into category indices
/// among category_names[1..K]: mode 1 resolves the first name, mode 2 both
/// (they must differ), mode 3 reads the first name as an integer code; other
/// modes change nothing. Unknown names are reported with the list of names
/// and leave index 0; the run goes on.
void select_plot_categories(int n_categories, const core::NameTable& category_names, int mode, int& first_index,
                            int& second_index, const std::string& first_name, const std::string& second_name);

}  // namespace quorvel::input
