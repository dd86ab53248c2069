#pragma once

#include <random>
#include <vector>

#include "core/arrays.hpp"

namespace quorvel::partition::testing {

/// Abundance table [0..n][0..s] from per-plot values (counts, abundances or
/// 0/1): column 0 the plot totals (number of species for presence data), the
/// cells relative frequencies, row 0 the pooled sample.
core::DMatrix abundance_table(const std::vector<std::vector<double>>& plots, bool presence = false);

/// A random abundance table of n plots and s species for `data_type`:
/// plots of random density, now and then an empty plot, and for counts now
/// and then a plot of a single individual.
core::DMatrix random_abundance_table(std::mt19937& rng, int n, int s, int data_type);

/// Limits t[1..R] as a 1-based vector.
core::DVector limits(const std::vector<double>& values);

/// A symmetric divergence matrix [0..s][0..s] from its upper triangle rows.
core::FMatrix divergence_matrix(int s, const std::vector<std::vector<float>>& upper);

}  // namespace quorvel::partition::testing
