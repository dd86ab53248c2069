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

/// Stops the run (status 3) when the category names of a pair selection by
/// plot category (mode 1, pairs within a category; mode 2, pairs between two
/// categories) cannot be used: the plots have no category, a name is not
/// among category_names[1..K], or mode 2 names one category twice. The
/// message lists the categories and names `plot_list` when it is given.
/// Other modes are not checked.
void check_selected_categories(int n_categories, const core::NameTable& category_names, int mode,
                               const std::string& first_name, const std::string& second_name,
                               const std::string& plot_list);

/// Turns the category names of the pair selection into category indices
/// among category_names[1..K]: mode 1 resolves the first name (none: pairs
/// within every category), mode 2 both, mode 3 reads the first name as an
/// integer code; other modes change nothing. Names that cannot be used stop
/// the run (check_selected_categories).
void select_plot_categories(int n_categories, const core::NameTable& category_names, int mode, int& first_index,
                            int& second_index, const std::string& first_name, const std::string& second_name);

}  // namespace quorvel::input
