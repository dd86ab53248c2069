#pragma once

#include <functional>
#include <vector>

#include "core/arrays.hpp"
#include "core/paired_sums.hpp"
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

/// Where each selected pair of plots k < l with a known distance stands for
/// the regressions: its distance class, its distance and ln distance, its set
/// of sums (its category, with pooled within-category regressions). Computed
/// once per set of positions; every statistic regressed on them then costs a
/// few additions per pair.
struct RegressionPairs {
  struct Pair {
    int k = 0;
    int l = 0;
    int distance_class = 1;  ///< 1..classes+1
    int set = 0;             ///< sums of its category (pooled regressions), else 0
    double distance = 0;
    double ln_distance = 0;  ///< when the distance is not 0
  };
  std::vector<Pair> pairs;  ///< in the order k < l
  int classes = 0;          ///< the classes of the table (< 1: the mean over all pairs only)
  int n_sets = 1;
  bool by_category = false;
  int n_categories = 0;
};

/// The pairs of a regression: the selected pairs k < l of plots 1..n whose
/// distance is known (every selected pair without classes).
RegressionPairs regression_pairs(int n_plots, const DistanceClassTable& classes, const PairSelection& selection,
                                 int n_categories, const PlotPositions& positions);

/// The same without the pairs (`pairs` empty): what the sums need.
RegressionPairs regression_layout(int n_plots, const DistanceClassTable& classes, const PairSelection& selection,
                                  int n_categories);

/// Visits the pairs of a regression in the order k < l, one at a time (no
/// table of O(plots^2) pairs), `layout` from regression_layout.
void for_each_regression_pair(int n_plots, const DistanceClassTable& classes, const PairSelection& selection,
                              const PlotPositions& positions, const RegressionPairs& layout,
                              const std::function<void(const RegressionPairs::Pair&)>& visit);

/// The sums of one statistic's regressions over the pairs of a
/// RegressionPairs, added pair by pair in their order.
class RegressionSums {
 public:
  explicit RegressionSums(const RegressionPairs& pairs);
  /// Clears the sums for another statistic.
  void clear();
  /// Adds the value v of pair `pair` (an element of pairs.pairs, or any
  /// record with its distance_class, set, distance and ln_distance).
  template <typename Pair>
  void add(const Pair& pair, double v) {
    class_count_[static_cast<std::size_t>(pair.distance_class)] += 1;
    class_sum_[static_cast<std::size_t>(pair.distance_class)] += v;
    linear_[static_cast<std::size_t>(pair.set)].add(pair.distance, v);
    if (pair.distance != 0) logarithmic_[static_cast<std::size_t>(pair.set)].add(pair.ln_distance, v);
  }
  /// add in two halves, for many statistics over the same pairs: the
  /// positions of the pairs (counts, distances and their squares) and the
  /// values (their sums, squares and products with the distances).
  template <typename Pair>
  void add_position(const Pair& pair) {
    class_count_[static_cast<std::size_t>(pair.distance_class)] += 1;
    linear_[static_cast<std::size_t>(pair.set)].add_x(pair.distance);
    if (pair.distance != 0) logarithmic_[static_cast<std::size_t>(pair.set)].add_x(pair.ln_distance);
  }
  template <typename Pair>
  void add_value(const Pair& pair, double v) {
    class_sum_[static_cast<std::size_t>(pair.distance_class)] += v;
    linear_[static_cast<std::size_t>(pair.set)].add_y(pair.distance, v);
    if (pair.distance != 0) logarithmic_[static_cast<std::size_t>(pair.set)].add_y(pair.ln_distance, v);
  }
  /// Takes the positions of `other` (sums over the same layout), as if its
  /// pairs had been added here in its order.
  void take_positions(const RegressionSums& other);
  /// The row of the regressions of the values added.
  void finish(RegressionRow& row);

 private:
  const RegressionPairs& pairs_;
  std::vector<core::PairedSums> linear_, logarithmic_;
  std::vector<double> class_sum_;
  std::vector<int> class_count_;
};

/// The row of the regressions of `statistic` (a pairwise matrix [0..n][0..n])
/// over `pairs`, pairs whose statistic is MISSING_VALUE left out; `sums`
/// (over the same pairs) is cleared first.
void regress_pairs(const RegressionPairs& pairs, const PairwiseStatMatrix& statistic, RegressionSums& sums,
                   RegressionRow& row);

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
