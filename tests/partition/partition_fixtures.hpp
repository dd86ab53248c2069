#pragma once

#include <vector>

#include "core/arrays.hpp"

namespace quorvel::partition::testing {

/// Abundance table [0..n][0..s] from per-plot values (counts, abundances or
/// 0/1): column 0 the plot totals (number of species for presence data), the
/// cells relative frequencies, row 0 the pooled sample.
core::DMatrix abundance_table(const std::vector<std::vector<double>>& plots, bool presence = false);

/// Limits t[1..R] as a 1-based vector.
core::DVector limits(const std::vector<double>& values);

/// A symmetric divergence matrix [0..s][0..s] from its upper triangle rows.
core::FMatrix divergence_matrix(int s, const std::vector<std::vector<float>>& upper);

}  // namespace quorvel::partition::testing
