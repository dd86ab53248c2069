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

/// The positions and categories of the plots.
struct PlotList {
  core::DVector x, y;              ///< [0..P] doubles (0 for plots without coordinates)
  core::IVector plot_category;     ///< [0..P]: index 1..K of each plot's category, 0 without categories
  core::NameTable category_names;  ///< [0..K], in order of first appearance
  int n_categories = 0;            ///< K
  core::NameTable column_titles;   ///< [0..3]: plot, x, y and category titles of the header
};

/// Plots without a plot list: no coordinates (0) and no category.
PlotList plots_without_list(int n_plots);

/// Reads the plot list of `file_name` with the layout of `header`: a header
/// line (plot column title, then the x, y and category titles the layout
/// has), then one line per plot: name, then x and y when the layout has
/// coordinates, then a category name when it has categories. Only the P
/// plots of the community (`plot_names` [1..P], by name) are taken; at most
/// `header.n_listed` lines are read, and reading stops once every plot was
/// found. A coordinate cell must hold a number. Missing plots stop the run
/// (status 3).
PlotList read_plot_list(const std::string& file_name, const PlotListHeader& header, const core::NameTable& plot_names);

}  // namespace quorvel::input
