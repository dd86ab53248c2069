#pragma once

#include <string>

#include "input/community_matrix.hpp"

namespace quorvel::reports {

/// The community data in the other form: as plot-abundance-species triplets
/// when they came from a matrix (`from_matrix`), as a species-plot matrix
/// otherwise. Counts (kCountData) are written back as the counts first read,
/// relative abundances as within-plot relative abundances, presences as 1.
std::string converted_community_text(const input::Community& data, bool from_matrix);

}  // namespace quorvel::reports
