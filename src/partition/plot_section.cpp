#include "partition/plot_section.hpp"

#include <vector>

#include "core/constants.hpp"
#include "partition/diversity_partition.hpp"
#include "partition/partition_workspace.hpp"

namespace quorvel::partition {

StatisticSummary make_statistic_summary() {
  StatisticSummary summary = core::dmatrix(0, 4, 0, 4);
  summary.fill(MISSING_VALUE);
  return summary;
}

void fill_statistic_summary(const PartitionTables& tables, StatisticSummary& summary) {
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    summary(code, 1) = tables.interval[code](0, 0);
    summary(code, 2) = tables.interval[code](1, 0);
    const float st = tables.pairwise[code](0, 0);
    summary(code, 3) = st == MISSING_VALUE_F ? MISSING_VALUE : static_cast<double>(st);
  }
}

std::vector<int> plots_in_selection(const PlotSection& section) {
  const PairSelection& selection = section.selection;
  std::vector<int> plots;
  for (int k = 1; k <= section.n_plots; ++k) {
    const int category = selection.categories == nullptr ? 0 : (*selection.categories)[k];
    const bool kept = selection.mode == 1 ? selection.key1 == 0 || category == selection.key1
                      : selection.mode == 2
                          ? selection.key1 == 0 || category == selection.key1 || category == selection.key2
                          : true;
    if (kept) plots.push_back(k);
  }
  return plots;
}

void prepare_plot_section(PlotSection& section, int n_classes, const core::DVector& class_limits) {
  section.classes = make_distance_class_table(n_classes);
  for (int j = 1; j <= n_classes; ++j) section.classes.limit[j] = class_limits[j];
  if (n_classes != 0) {
    assign_distance_classes(section.n_plots, section.classes, section.positions, section.selection,
                            section.empty_plots);
  }
  section.tables = make_partition_tables(section.n_plots);
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    section.rows[code] = make_regression_row(section.classes.classes);
    section.rows[code].fill(MISSING_VALUE_F);
  }
  section.summary = make_statistic_summary();
}

void compute_observed_partition(PlotSection& section, core::DMatrix& abundances, int data_type, int n_categories) {
  PartitionWorkspace workspace;
  compute_diversity_partition(section.n_plots, section.n_species, abundances, data_type, section.selection,
                              section.distances, section.n_intervals, section.limits, section.weighting, section.tables,
                              workspace);
  fill_statistic_summary(section.tables, section.summary);
  // Distance classes are never negative once fixed; without intervals the
  // rows hold the mean over all pairs.
  if (section.classes.classes >= 0) {
    regress_statistics(section, n_categories, section.positions, section.tables, kStatisticI, kStatisticPI,
                       section.rows);
  }
}

void regress_statistics(const PlotSection& section, int n_categories, const PlotPositions& positions,
                        const PartitionTables& tables, int first_code, int last_code, RegressionRow* rows) {
  // One pass over the pairs, their distance classes, d and ln d computed
  // once for every statistic, without a table of the pairs.
  const RegressionPairs layout = regression_layout(section.n_plots, section.classes, section.selection, n_categories);
  std::vector<RegressionSums> sums;
  for (int code = first_code; code <= last_code; ++code) sums.emplace_back(layout);
  for_each_regression_pair(section.n_plots, section.classes, section.selection, positions, layout,
                           [&](const RegressionPairs::Pair& pair) {
                             for (int code = first_code; code <= last_code; ++code) {
                               const double v = tables.pairwise[code](pair.k, pair.l);
                               if (!is_missing(v)) sums[static_cast<std::size_t>(code - first_code)].add(pair, v);
                             }
                           });
  for (int code = first_code; code <= last_code; ++code)
    sums[static_cast<std::size_t>(code - first_code)].finish(rows[code]);
}

void regress_statistics(const RegressionPairs& pairs, const PartitionTables& tables, int first_code, int last_code,
                        RegressionRow* rows) {
  RegressionSums sums(pairs);
  for (int code = first_code; code <= last_code; ++code) regress_pairs(pairs, tables.pairwise[code], sums, rows[code]);
}

}  // namespace quorvel::partition
