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

}  // namespace quorvel::reports
