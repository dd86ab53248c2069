#include "partition/plot_section.hpp"

#include "core/constants.hpp"
#include "partition/diversity_partition.hpp"

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
  compute_diversity_partition(section.n_plots, section.n_species, abundances, data_type, section.selection,
                              section.distances, section.n_intervals, section.limits, section.weighting,
                              section.tables);
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
  for (int code = first_code; code <= last_code; ++code) {
    regress_on_distance(section.n_plots, section.classes, section.selection, n_categories, positions,
                        tables.pairwise[code], rows[code]);
  }
}

}  // namespace quorvel::partition
