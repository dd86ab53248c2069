#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"
#include "partition/partition_types.hpp"
#include "partition/plot_section.hpp"

namespace quorvel::reports {

using partition::DistanceClassTable;
using partition::PairSelection;
using partition::PartitionTables;
using partition::PlotWeighting;
using partition::RegressionRow;
using partition::StatisticSummary;

/// What the partition section of the main result file reports: the
/// observed partition of a plot-level section and what names its values.
struct PartitionReportInput {
  int n_plots = 0;
  const DistanceClassTable* classes = nullptr;  ///< may be null when there are no classes
  int data_level = 2;                           ///< 2 plot data, 3 spatial groups of individuals
  PairSelection selection;                      ///< mode, key1, key2
  const core::NameTable* category_names = nullptr;
  std::vector<int> statistics;                 ///< StatisticCodes written, in order (4 codes, or 1)
  const RegressionRow* regressions = nullptr;  ///< [StatisticCode], rows of make_regression_row
  const StatisticSummary* summary = nullptr;
  const PartitionTables* tables = nullptr;
  int n_intervals = 0;                    ///< R; 0 for traits
  const core::DVector* limits = nullptr;  ///< t[1..R]
  bool full_regression = false;
  int pairwise_mode = 0;  ///< 0 none, 1 pairwise statistics without positions, 2 with plot positions
  int data_type = kRelativeAbundanceData;
  PlotWeighting weighting = PlotWeighting::kEqual;
  int analysis_kind = 0;  ///< 0 no divergences, 1 phylogeny, 2 traits
  /// Names of plots 0..n, to name the plots left out (none named when null).
  const core::NameTable* plot_names = nullptr;
  /// Plots without individuals, out of the whole analysis (increasing).
  std::vector<int> empty_plots;
};

/// The text of the partition section of the main result file.
/// With plot names, it names the plots left out of the analysis and of each
/// statistic after the pairs used, and those left out of each divergence
/// interval after the decomposition (left_out_report.hpp).
std::string partition_results_text(const PartitionReportInput& input);

/// The console line of the global statistics of the section,
/// "\n\nIst=%.4f\tPst=..." (or the trait names) for the statistics it reports
/// (PI or TAU alone for presence/absence data), an undefined value left
/// empty; then the lines naming the plots left out.
std::string global_statistics_line(const PartitionReportInput& input);

}  // namespace quorvel::reports
