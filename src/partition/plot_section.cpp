#include "partition/plot_section.hpp"

namespace quorvel::partition {

void regress_statistics(const PlotSection& section, int n_categories, const PlotPositions& positions,
                        const PartitionTables& tables, int first_code, int last_code, RegressionRow* rows) {
  for (int code = first_code; code <= last_code; ++code) {
    regress_on_distance(section.n_plots, section.classes, section.selection, n_categories, positions,
                        tables.pairwise[code], rows[code]);
  }
}

}  // namespace quorvel::partition
