#pragma once

#include <string>
#include <vector>

#include "reports/run_reports.hpp"
#include "reports/svg_plot.hpp"

namespace quorvel::reports {

/// One figure and the name of its file; its description (plot.description)
/// is its caption on the report page.
struct Figure {
  std::string file_name;
  PanelFigure plot;
};

/// The figures of a run, drawn from the rows of its results table (the same
/// values as the report), one panel per statistic with the 95% envelope of
/// every test run for it: for each plot-level section, the mean pairwise
/// statistics by distance class; the decomposition by divergence intervals
/// (PAD, P*st, PIst below t); per trait variable, the trait signal by
/// divergence interval; the individual-level autocorrelations and the
/// frequencies of the pair tests by distance class. Distance axes give
/// `distance_unit`; divergence axes of a classification name its levels. A
/// figure without any value is not drawn.
std::vector<Figure> build_figures(const RunReports& reports);

}  // namespace quorvel::reports
