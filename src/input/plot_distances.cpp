#include "input/plot_distances.hpp"

#include <unordered_set>
#include <utility>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// Optional keyword line ahead of the data.
constexpr const char* kPlotDistancesKeyword = "INTER-PLOT DISTANCES";

}  // namespace

void check_distinct_plot_names(int n_plots, const core::NameTable& plot_names, const std::string& warning) {
  std::unordered_set<std::string> seen;
  bool distinct = true;
  for (int p = 1; p <= n_plots && distinct; ++p) distinct = seen.insert(plot_names[p].substr(0, kNameLimit)).second;
  if (distinct) return;
  core::console_print(warning);
  // The names go to the error log, where the warning sends the user, and to
  // the console.
  std::string names;
  for (int p = 1; p <= n_plots; ++p) names += "\n" + plot_names[p];
  throw core::FatalError(names, kDataStopStatus, true, true);
}

namespace {

// The user may accept a distance file that ends early with an "END" line;
// any other answer (or no answer at all) ends the run.
void confirm_early_end(int n_read, int line_number, const std::string& file_name) {
  core::console_printf(
      "\nWARNING: END message encountered after only %d elements of the distance matrix on line %d from file %s",
      n_read, line_number, file_name.c_str());
  core::console_print("\nEnter 'g' if you want to go on anyway, otherwise press Return to stop the program.");
  std::string answer;
  if (!core::console_read_line(answer) || answer.empty() || answer[0] != 'g') {
    throw core::FatalError("", 1, false, false);
  }
}

}  // namespace

core::DMatrix read_plot_distances(const std::string& file_name, const core::NameTable& plot_names) {
  const int n_plots = plot_names.hi();
  core::DMatrix distances;
  check_distinct_plot_names(n_plots, plot_names,
                            core::format("\n\nWARNING: Not all individual or plot names are different.\nTo define "
                                         "each pairwise distance, all names must be different.\nCheck in the file "
                                         "\"%s\" the list of names found.\nPress any key to stop the program.",
                                         core::kErrorFile));
  core::TextInput file;
  open_file_wait_return(file, file_name, true);
  std::string line;
  if (!file.find_keyword_line(kPlotDistancesKeyword, line)) file.rewind();
  int n_entries = 0;
  const char* after = nullptr;
  if (!file.read_line(line) || !scan_int(line.c_str(), n_entries, &after) || !is_blank_line(after) || n_entries < 0) {
    reader_error(core::format("\nERROR: In inter-plot distances file %s, line %d: the number of distances given is "
                              "missing before the first distance (a whole number alone on its line).\nPress any "
                              "key to stop.",
                              file_name.c_str(), file.line_number()),
                 kDataStopStatus);
  }
  distances = core::dmatrix(0, n_plots, 0, n_plots);
  distances.fill(MISSING_VALUE);

  int line_number = 0;
  std::string first;
  std::string second;
  for (int e = 1; e <= n_entries; ++e) {
    do {
      read_data_line(file, line, file_name, line_number);
    } while (is_comment_line(line));
    const char* position = line.c_str();
    read_word_field(position, first, kNameLimit, file_name, line_number, line.c_str());
    if (first == "END") {
      // Accepted: the line then counts as an entry that names no plot.
      confirm_early_end(e - 1, line_number, file_name);
      continue;
    }
    int i = find_name(plot_names, n_plots, first);
    if (i == 0) continue;
    position = next_field(position, file_name, line_number);
    read_word_field(position, second, kNameLimit, file_name, line_number, line.c_str());
    int j = find_name(plot_names, n_plots, second);
    if (j == 0) continue;
    position = next_field(position, file_name, line_number);
    double distance = 0;
    read_double_field(position, distance, file_name, line_number, line.c_str());
    if (distance < 0) {
      reader_error(core::format("\nERROR: In inter-plot distances file %s, line %d, column %d: the distance between "
                                "%s and %s is negative (%g).\nPress any key to stop.",
                                file_name.c_str(), line_number, column_of(line.c_str(), position), first.c_str(),
                                second.c_str(), distance),
                   kDataStopStatus);
    }
    if (i > j) std::swap(i, j);
    const double old = distances(i, j);
    if (!is_missing(old) && old != distance) {
      reader_error(
          core::format("\nIn data for pairwise distances in \"%s\", the distance between \"%s\" and \"%s\" "
                       "is redefine: first value= %f, second value= %f (line %d)",
                       file_name.c_str(), plot_names[i].c_str(), plot_names[j].c_str(), old, distance, line_number),
          kDataStopStatus);
    }
    distances(i, j) = distance;
    distances(j, i) = distance;
  }
  file.close();

  int n_defined = 0;
  for (int i = 1; i <= n_plots; ++i) {
    for (int j = i + 1; j <= n_plots; ++j) n_defined += is_missing(distances(i, j)) ? 0 : 1;
  }
  const int n_pairs = n_plots * (n_plots - 1) / 2;
  if (n_defined != n_pairs) {
    core::console_printf(
        "\nThere are only %i pairwise distances defined for %i potential pairwise comparisons "
        "(excluding self comparisons)\nPress any key to go on",
        n_defined, n_pairs);
    core::wait_for_key();
  }
  return distances;
}

}  // namespace quorvel::input
