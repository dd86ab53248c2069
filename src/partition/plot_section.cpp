#include "partition/plot_section.hpp"

#include "core/constants.hpp"

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

void regress_statistics(const PlotSection& section, int n_categories, const PlotPositions& positions,
                        const PartitionTables& tables, int first_code, int last_code, RegressionRow* rows) {
  for (int code = first_code; code <= last_code; ++code) {
    regress_on_distance(section.n_plots, section.classes, section.selection, n_categories, positions,
                        tables.pairwise[code], rows[code]);
  }
}

}  // namespace quorvel::partition
