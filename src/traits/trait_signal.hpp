#pragma once

#include "core/arrays.hpp"

namespace quorvel::traits {

/// Columns of a row of the trait signal table besides the intervals 1..K:
/// correlation coefficients of the pair statistic with d, ln d, d^2, sqrt d
/// (-1..-4), an empty separator (-5), then the regression slopes on the same
/// transforms (-6..-9).
inline constexpr int kSignalCorrelationColumn = -1;
inline constexpr int kSignalSeparatorColumn = -5;
inline constexpr int kSignalSlopeColumn = -6;
inline constexpr int kSignalFirstColumn = -9;

/// Phylogenetic signal of traits by divergence interval.
/// Intervals: a divergence d falls in the first interval c (1..K) with
/// d <= limits[c] (limits [1..K], increasing); a pair beyond the last limit
/// enters the correlations only. Pairs whose divergence is MISSING_VALUE
/// (species without a tip) are left out everywhere.
/// `result` must span rows -1..max(V, W) and columns -9..K (single precision):
/// - row 0: number of pairs per interval (column 0: all pairs); row -1: mean
///   divergence per interval (MISSING_VALUE for an empty interval);
/// - with W == 0, row v of each quantitative variable (`categories`[v] == 0)
///   of `traits` [1..V][1..S]: per interval the autocorrelation coefficient
///   (mean over the interval's pairs of (x_i - m)(x_j - m) / s^2, plus
///   1/(n - 1)), and the Pearson correlation and slope of that pair statistic
///   on each divergence transform; categorical rows are all MISSING_VALUE;
/// - with W > 0, row w of each trait distance matrix `trait_distances`[w]
///   [0..S][0..S]: per interval the mean trait distance (pairs without a
///   distance skipped), and the correlation and slope of the distance.
/// Every value that cannot be computed (fewer than two species with a value,
/// no spread, an empty interval, a constant transform) is MISSING_VALUE.
/// The logarithm uses only pairs with d > 0. Sums are double precision.
void analyse_trait_signal(int n_species, int n_intervals, const core::DVector& limits, int n_variables,
                          const core::IVector& categories, const core::FMatrix& traits,
                          const core::Vector<core::FMatrix>& trait_distances, int n_distance_variables,
                          const core::FMatrix& divergences, core::FMatrix& result);

}  // namespace quorvel::traits
