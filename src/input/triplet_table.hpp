#pragma once

#include <string>

#include "input/community_matrix.hpp"

namespace quorvel::input {

/// Reads a plot-abundance-species triplet table (lines "plot<TAB>value<TAB>
/// species", up to the end of the file or the first line that is not a
/// triplet) of the size that `counts` (scan_triplets) gives. Plots and
/// species take their indices in order of first appearance; the community
/// is the one the species-plot matrix reader would give. A plot-species
/// pair given twice gets the sum of its values, with one console warning per
/// pair. More distinct plots or species than counted stop the run (status 3).
Community read_triplets(const std::string& file_name, const CommunityHeader& counts);

}  // namespace quorvel::input
