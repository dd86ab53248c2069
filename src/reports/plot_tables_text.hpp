#pragma once

#include <string>

#include "core/arrays.hpp"
#include "partition/diversity_indices.hpp"
#include "partition/lineages_through_time.hpp"

namespace quorvel::reports {

/// The plot diversity table (pooled sample first when there are several
/// plots) and the plot-pair similarity table; undefined values are empty
/// cells. `plot_names` [1..n].
std::string diversity_indices_text(const core::NameTable& plot_names, const partition::DiversityIndices& indices);

/// The four lineages-through-time tables: number of lineages, their Simpson
/// diversity, and the Jaccard and Morisita-Horn similarity of plot pairs, one
/// column per time.
std::string lineages_through_time_text(const core::NameTable& plot_names,
                                       const partition::LineagesThroughTime& lineages);

}  // namespace quorvel::reports
