#pragma once

#include "reports/partition_text.hpp"
#include "reports/results_table.hpp"

namespace quorvel::reports {

/// Adds the values of one partition section of the main result file (the
/// record `write_partition_results` writes): species-pool values, distance
/// classes, global within/among/st values, mean pairwise values by class with
/// their slopes on distance and ln(distance), and the decomposition by
/// divergence intervals. Rows follow the same conditions as the report, so a
/// value is in the table exactly when the report shows it.
void add_partition_rows(ResultsTable& table, const PartitionReportInput& input);

/// Section name of a plot-level analysis kind (2 traits, otherwise phylogeny).
const char* plot_section_name(int analysis_kind);

/// Names of statistic code 1..4 of an analysis kind: the st statistic and its
/// within and among diversities ("Ist", "Diw", "Dia"; "Tst", "Dtw", "Dta"...).
struct StatisticNames {
  const char* st;
  const char* within;
  const char* among;
};
StatisticNames statistic_names(int code, int analysis_kind);

/// "b(<statistic>, distance)" and "b(<statistic>, ln(distance))": the slopes
/// of a pairwise statistic on distance.
std::string linear_slope_name(const std::string& statistic);
std::string log_slope_name(const std::string& statistic);

}  // namespace quorvel::reports
