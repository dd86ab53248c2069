#include "input/plot_list.hpp"

#include <cstring>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// Optional keyword line ahead of the data.
constexpr const char* kPlotListKeyword = "PLOT LIST";

// Column titles of the header: the first word, then one word after each tab
// for the columns the layout has. A title the header lacks stays empty.
void read_column_titles(const std::string& header, int n_coordinates, bool has_categories,
                        core::NameTable& column_titles) {
  column_titles = core::name_table(0, 3);
  const char* position = header.c_str();
  scan_word(position, column_titles[0], kLongNameLimit);
  const bool wanted[4] = {true, n_coordinates >= 1, n_coordinates >= 2, has_categories};
  for (int column = 1; column <= 3; ++column) {
    if (!wanted[column]) continue;
    const char* tab = std::strchr(position, '\t');
    if (!tab) break;
    position = tab + 1;
    if (*position != '\t') scan_word(position, column_titles[column], kLongNameLimit);
  }
}

[[noreturn]] void stop_on_missing_cell(const std::string& file_name, int line_number, const std::string& plot,
                                       const char* what) {
  reader_error(core::format("\nERROR: in plot list in %s, line %d: the line of plot %s has no %s.\nPress any key to "
                            "stop.",
                            file_name.c_str(), line_number, plot.c_str(), what),
               kDataStopStatus);
}

// The next cell of a plot line; a line that ends before it stops the run.
const char* next_cell(const char* position, const std::string& file_name, int line_number, const std::string& plot,
                      const char* what) {
  const char* tab = std::strchr(position, '\t');
  if (!tab) stop_on_missing_cell(file_name, line_number, plot, what);
  return tab + 1;
}

// A coordinate cell must hold a number: a plot placed at 0 for want of one
// would distort every distance to it.
double coordinate_at(const char* cell, const std::string& file_name, int line_number, const std::string& line,
                     const std::string& plot, const char* axis) {
  double value = 0;
  if (read_number_cell(cell, value, file_name, line_number, line.c_str()) != CellContent::kNumber) {
    std::string text(cell);
    strip_line_end(text);
    text = text.substr(0, text.find('\t'));
    reader_error(
        core::format("\nERROR: in plot list in %s, line %d, column %d: the %s coordinate of plot %s is not "
                     "a number (\"%s\").\nPress any key to stop.",
                     file_name.c_str(), line_number, column_of(line.c_str(), cell), axis, plot.c_str(), text.c_str()),
        kDataStopStatus);
  }
  return value;
}

}  // namespace

PlotListHeader scan_plot_list(const DataSource& source) {
  int counts[3] = {source.number(0), source.number(1), source.number(2)};
  // Announced plots each need a line; coordinates are none or x and y.
  const auto check_announced = [&](int line_number) {
    check_rows_available(kPlotListKeyword, counts[0], "plots", source.file, line_number);
    if (counts[1] < 0 || counts[1] > 2) {
      core::stop_run(core::format("\n\nERROR: \"PLOT LIST\" announces %d coordinates: give 0 or 2 (x and "
                                  "y).\nPress any key to stop.",
                                  counts[1]),
                     core::kStoppedStatus);
    }
    if (counts[2] < -1 || counts[2] > counts[0]) {
      core::stop_run(core::format("\n\nERROR: \"PLOT LIST\" announces %d categories for %d plots.\nPress any key "
                                  "to stop.",
                                  counts[2], counts[0]),
                     core::kStoppedStatus);
    }
  };
  if (source.is_inline()) {
    check_announced(source.keyword_line);
  } else {
    core::TextInput file;
    open_data_file(file, source.file, "the plot list");
    std::string header;
    if (file.find_keyword_line(kPlotListKeyword, header)) {
      read_line_numbers(after_keyword_text(header, kPlotListKeyword), counts, 3, kPlotListKeyword, source.file,
                        file.line_number());
      check_announced(file.line_number());
    } else {
      // Without a keyword line the header says which columns there are:
      // plot and category; plot, x and y; or plot, x, y and category.
      file.rewind();
      std::string first;
      if (!file.read_line(first)) first.clear();
      const char* position = first.c_str();
      std::string column;
      int words = 0;
      while (words < 4 && scan_word(position, column, kMaxLineLength, &position)) ++words;
      counts[1] = words >= 3 ? 2 : 0;
      counts[2] = (words == 2 || words == 4) ? -1 : 0;
      counts[0] = count_list_rows(file);
    }
  }
  // Without plot lines the list would silently be skipped, and with it the
  // positions and categories the analyses were asked for.
  if (counts[0] == 0) {
    core::stop_run(core::format("\n\nERROR: \"PLOT LIST\": the plot list in %s holds no plot: after its header "
                                "line, give one line per plot.\nPress any key to stop.",
                                source.file.c_str()),
                   core::kStoppedStatus);
  }
  return PlotListHeader{counts[0], counts[1], counts[2]};
}

PlotList plots_without_list(int n_plots) {
  PlotList list;
  list.x = core::dvector(0, n_plots);
  list.y = core::dvector(0, n_plots);
  list.plot_category = core::ivector(0, n_plots);
  return list;
}

PlotList read_plot_list(const std::string& file_name, const PlotListHeader& header, const core::NameTable& plot_names) {
  const int n_plots = plot_names.hi();
  const int n_listed = header.n_listed;
  const int n_coordinates = header.n_coordinates;
  PlotList list = plots_without_list(n_plots);
  core::DVector& x = list.x;
  core::DVector& y = list.y;
  core::IVector& plot_category = list.plot_category;
  core::TextInput file;
  open_data_file(file, file_name, "the plot list");
  std::string line;
  if (!file.find_keyword_line(kPlotListKeyword, line)) file.rewind();
  const bool has_categories = header.n_categories != 0;
  if (!file.read_line(line)) line.clear();
  read_column_titles(line, n_coordinates, has_categories, list.column_titles);

  std::vector<std::string> categories;  // names in order of first appearance
  std::vector<bool> found(static_cast<std::size_t>(n_plots) + 1, false);
  int n_found = 0;
  std::string name;
  for (int l = 1; l <= n_listed && n_found < n_plots && file.read_line(line); ++l) {
    const int line_number = file.line_number();
    // Plot lines are counted up to the last line that is not blank: a blank
    // line among them would hide the plots after it.
    if (is_blank_line(line)) {
      reader_error(core::format("\nERROR: in plot list in %s, line %d is blank: every line after the header names a "
                                "plot (blank lines only at the end of the file).\nPress any key to stop.",
                                file_name.c_str(), line_number),
                   kDataStopStatus);
    }
    read_word_field(line.c_str(), name, kNameLimit, file_name, line_number, line.c_str());
    const int p = find_name(plot_names, n_plots, name);
    if (p == 0) continue;
    if (found[static_cast<std::size_t>(p)]) {
      // A plot listed twice must not count twice: another plot would then be
      // missed without notice. The later line is the one kept.
      core::console_printf("\nWARNING: in plot list in %s, plot %s is listed more than once: its last line is used",
                           file_name.c_str(), name.c_str());
    } else {
      found[static_cast<std::size_t>(p)] = true;
      ++n_found;
    }
    const char* position = line.c_str();
    if (n_coordinates >= 1) {
      position = next_cell(position, file_name, line_number, name, "x coordinate cell");
      x[p] = coordinate_at(position, file_name, line_number, line, name, "x");
    }
    if (n_coordinates >= 2) {
      position = next_cell(position, file_name, line_number, name, "y coordinate cell");
      y[p] = coordinate_at(position, file_name, line_number, line, name, "y");
    }
    if (has_categories) {
      position = next_cell(position, file_name, line_number, name, "category cell");
      std::string category;
      if (is_empty_cell(position)) {
        stop_on_missing_cell(file_name, line_number, name, "category name");
      }
      read_word_field(position, category, kNameLimit, file_name, line_number, line.c_str());
      int index = 0;
      for (std::size_t k = 0; k < categories.size(); ++k) {
        if (categories[k] == category) index = static_cast<int>(k) + 1;
      }
      if (index == 0) {
        categories.push_back(category);
        index = static_cast<int>(categories.size());
      }
      plot_category[p] = index;
    }
  }
  file.close();

  list.n_categories = static_cast<int>(categories.size());
  list.category_names = core::name_table(0, list.n_categories);
  for (int k = 1; k <= list.n_categories; ++k) list.category_names[k] = categories[static_cast<std::size_t>(k) - 1];
  if (n_found < n_plots) {
    std::vector<std::string> missing;
    for (int p = 1; p <= n_plots; ++p) {
      if (!found[static_cast<std::size_t>(p)]) missing.push_back(plot_names[p]);
    }
    reader_error(core::format("ERROR: in plot list in %s, %i plots from the species-plot matrix are missing",
                              file_name.c_str(), n_plots - n_found) +
                     listed_names(missing),
                 kDataStopStatus);
  }
  return list;
}

}  // namespace quorvel::input
