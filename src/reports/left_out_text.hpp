#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "reports/partition_text.hpp"

namespace quorvel::reports {

/// Most plot names a list shows before "and n more".
inline constexpr int kListedPlots = 20;

/// "a, b, c" with the names of `plots` (1-based; a plot without a name in
/// the table by its number), the first 20 and then " and n more".
std::string plot_name_list(const std::vector<int>& plots, const core::NameTable& names);

/// "A", "A and B", "A, B and C".
std::string joined_names(const std::vector<std::string>& names);

/// "\nPlots left out of <what> (<reason>): <names>", or "" without plots.
std::string left_out_line(const std::string& what, const std::string& reason, const std::vector<int>& plots,
                          const core::NameTable& names);

/// The lines of a partition section that name the plots left out: the
/// plots without individuals (out of the whole analysis), then the plots
/// without a within value of each reported statistic, statistics with the
/// same plots on one line ("Plots left out of P*st and PIst (fewer than two
/// species): S01"). "" when no plot is left out or without plot names.
std::string partition_left_out_lines(const PartitionReportInput& input);

/// The same for the columns of the decomposition by divergence intervals
/// that the section shows, one line per column and set of plots.
std::string interval_left_out_lines(const PartitionReportInput& input);

}  // namespace quorvel::reports
