#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::partition {

/// Where the plots are: coordinates x[1..n], y[1..n], or an inter-plot distance
/// matrix [0..n][0..n] used when present and its element [0][0] is not 0 (a
/// MISSING_VALUE distance then leaves the pair out). Borrowed tables.
struct PlotPositions {
  const core::DVector* x = nullptr;
  const core::DVector* y = nullptr;
  const core::DMatrix* distances = nullptr;

  /// Distance between plots k and l (MISSING_VALUE when unknown or without positions).
  double distance(int k, int l) const;
};

/// Classes of inter-plot distance and their description. Arrays have room for
/// |classes| + 3 entries from index 0 (a class may be added beyond the last
/// limit). Class j holds limit[j-1] < d <= limit[j].
struct DistanceClassTable {
  int classes = 0;                 ///< number of classes; negative on entry: equal-frequency classes
  core::DVector limit;             ///< [1..classes] upper limits
  core::IVector pairs;             ///< [1..classes] pairs per class, [classes+1] total
  core::DVector mean_distance;     ///< [0..classes], [0] = MISSING_VALUE
  core::DVector mean_ln_distance;  ///< [0..classes], over pairs at distance > 0
  core::FMatrix participation;     ///< [0..classes][0..1]: share of plots in a pair, CV of pairs per plot
};

/// A table for `classes` classes as read from the distance intervals (negative
/// for equal-frequency classes), with `limits` [1..classes] when given.
DistanceClassTable make_distance_class_table(int classes);

/// Fixes the classes (computing equal-frequency limits when `table.classes` is
/// negative, opening one more class when selected pairs lie beyond the last
/// limit) and describes each class, over the selected pairs k < l of plots 1..n.
/// Plots of `empty_plots` (without individuals) are out of the analysis: they
/// form no pair and do not count among the plots of the participation.
void assign_distance_classes(int n_plots, DistanceClassTable& table, const PlotPositions& positions,
                             const PairSelection& selection, const std::vector<int>& empty_plots = {});

}  // namespace quorvel::partition
