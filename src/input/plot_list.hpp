#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::input {

/// Reads the plot list: a header line (plot column title, then the x, y and
/// category titles the layout has), then one line per plot: name, then x and
/// y when `n_coordinates` is 1 or 2, then a category name when
/// `n_categories` is not 0. Only the P plots of the matrix are taken (by
/// name); at most `n_listed` lines are read, and reading stops once every
/// matrix plot was found. Allocates and fills x and y [0..P] (doubles; a
/// coordinate cell without a number leaves 0), plot_category [0..P] (index
/// 1..K of each plot's category), category_names [0..K] (order of first
/// appearance) and column_titles [0..3]; K is returned in n_categories.
/// Missing matrix plots stop the run (status 0).
void read_plot_list(const std::string& file_name, int n_plots, int n_listed, const core::NameTable& plot_names,
                    int n_coordinates, core::DVector& x, core::DVector& y, int& n_categories,
                    core::NameTable& category_names, core::IVector& plot_category, core::NameTable& column_titles);

}  // namespace quorvel::input
