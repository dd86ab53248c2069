#pragma once

#include <string>

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

/// The layout of a plot list: its lines and its columns.
struct PlotListHeader {
  int n_listed = 0;       ///< plot lines
  int n_coordinates = 0;  ///< 0, or 2 for x and y
  int n_categories = 0;   ///< 0 no category column; -1 a category column whose number of categories is not given
};

/// Reads the layout of the plot list of `source`: the numbers written after
/// the keyword (inline data), those of the list's keyword line "PLOT LIST
/// plots coordinates categories", or, without keyword line, the columns of
/// its first line (2 words: plot and category; 3: plot, x and y; 4: plot, x,
/// y and category) and its lines to the end of the file. A file is opened
/// with the open retry ("the plot list"). Counts the list cannot back,
/// coordinates other than 0 or 2 and a list without plot stop the run
/// (status 3).
PlotListHeader scan_plot_list(const DataSource& source);

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
