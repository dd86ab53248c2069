#pragma once

#include <string>
#include <vector>

#include "reports/results_table.hpp"
#include "reports/svg_plot.hpp"

namespace quorvel::reports {

/// One figure and the name of its file.
struct Figure {
  std::string file_name;
  LinePlot plot;
};

/// The figures of a run, drawn from the rows of its results table (the same
/// values as the report): for each plot-level section, the mean pairwise
/// statistics by distance class with the 95% envelope of the spatial test;
/// the decomposition by divergence intervals (PAD, P*st, PIst below t) with
/// the envelopes of the time-decomposition test; per trait variable, the
/// trait signal by divergence interval with the envelope of each test; the
/// individual-level autocorrelations and the frequencies of the pair tests by
/// distance class. A figure without any value is not drawn. `data_files` names
/// the data in every subtitle.
std::vector<Figure> build_figures(const ResultsTable& table, const std::string& data_files);

}  // namespace quorvel::reports
