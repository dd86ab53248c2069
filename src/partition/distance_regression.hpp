#pragma once

#include "core/arrays.hpp"
#include "partition/distance_classes.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::partition {

/// Mean of one pairwise statistic by distance class and its regressions on
/// distance and ln(distance): floats indexed -20..classes+3.
///  -20..-13 linear b, a, r2, N, Md, Vd, Mv, Vv; -12, -11 MISSING_VALUE;
///  -10..-3 the same on ln(distance) over pairs at distance != 0;
///  -2 b-lin, -1 b-log; 0 holds 0; 1..classes class means; classes+1 the mean
///  over the pairs of all classes.
using RegressionRow = core::FVector;

/// A regression row for `classes` classes (at least room for index 3).
RegressionRow make_regression_row(int classes);

/// Averages `statistic` (a pairwise matrix [0..n][0..n]) over the selected
/// pairs k < l by distance class and regresses it on distance and ln
/// distance. With selection mode 1 and no key the slopes are the common
/// within-category slopes (pooled sums of squares over `n_categories`
/// categories). With fewer than one class only the mean over all pairs is
/// given, in row[1]. Pairs with a MISSING_VALUE statistic or distance are
/// skipped; degenerate regressions give MISSING_VALUE.
void regress_on_distance(int n_plots, const DistanceClassTable& classes, const PairSelection& selection,
                         int n_categories, const PlotPositions& positions, const PairwiseStatMatrix& statistic,
                         RegressionRow& row);

}  // namespace quorvel::partition
