#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::partition {

/// Global values of each statistic, doubles [0..4][0..4]: row = StatisticCode,
/// column 1 within, 2 among, 3 st, 4 a further value (MISSING_VALUE unless set).
using StatisticSummary = core::DMatrix;

/// A summary table with every cell MISSING_VALUE.
StatisticSummary make_statistic_summary();

/// Copies within (table [0][0]), among ([1][0]) and st (matrix [0][0]) of the
/// four statistics of a partition into `summary`.
void fill_statistic_summary(const PartitionTables& tables, StatisticSummary& summary);

/// What the partition section of the main result file reports.
struct PartitionReportInput {
  std::string result_file;
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
  int data_type = 1;
  PlotWeighting weighting = PlotWeighting::kEqual;
  int analysis_kind = 0;  ///< 0 no divergences, 1 phylogeny, 2 traits
  /// Names of plots 0..n, to name the plots left out (none named when null).
  const core::NameTable* plot_names = nullptr;
  /// Plots without individuals, out of the whole analysis (increasing).
  std::vector<int> empty_plots;
};

/// The text of the partition section (what write_partition_results appends).
/// With plot names, it names the plots left out of the analysis and of each
/// statistic after the pairs used, and those left out of each divergence
/// interval after the decomposition (left_out_report.hpp).
std::string partition_results_text(const PartitionReportInput& input);

/// Appends the partition section to the result file, asking the user to free
/// the file while it cannot be opened. Returns 0.
int write_partition_results(const PartitionReportInput& input);

}  // namespace quorvel::partition
