#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"

namespace quorvel::partition {
namespace {

// Plots placed by an explicit distance matrix: every pair at `far` except those listed.
struct Layout {
  core::DMatrix distances;
  PlotPositions positions;

  Layout(int n, double far) : distances(core::dmatrix(0, n, 0, n)) {
    for (int k = 1; k <= n; ++k)
      for (int l = 1; l <= n; ++l) distances[k][l] = k == l ? 0 : far;
    distances[0][0] = 1;  // a matrix is given
    positions.distances = &distances;
  }
  void set(int k, int l, double d) { distances[k][l] = distances[l][k] = d; }
};

DistanceClassTable classes_with_limits(const std::vector<double>& limits) {
  DistanceClassTable table = make_distance_class_table(static_cast<int>(limits.size()));
  for (std::size_t j = 0; j < limits.size(); ++j) table.limit[static_cast<int>(j) + 1] = limits[j];
  return table;
}

TEST(DistanceClasses, PairsBeyondTheLastLimitOpenAClass) {
  Layout layout(3, 5);
  layout.set(1, 3, 15);
  layout.set(2, 3, 25);
  DistanceClassTable table = classes_with_limits({10, 20});
  assign_distance_classes(3, table, layout.positions, PairSelection());
  ASSERT_EQ(table.classes, 3);
  EXPECT_DOUBLE_EQ(table.limit[3], 25 * 1.000001);
  EXPECT_EQ(table.pairs[1], 1);
  EXPECT_EQ(table.pairs[2], 1);
  EXPECT_EQ(table.pairs[3], 1);
  EXPECT_EQ(table.pairs[4], 3);  // total
  EXPECT_DOUBLE_EQ(table.mean_distance[3], 25);
  EXPECT_DOUBLE_EQ(table.mean_ln_distance[2], std::log(15.0));
  EXPECT_TRUE(is_missing(table.mean_distance[0]));
}

TEST(DistanceClasses, AddedClassReachesAPairJustAboveAnEarlierMaximum) {
  // The first pair sets the running maximum to 10 x 1.000001; the second lies
  // beyond the last limit but below that maximum: it opens the added class,
  // which must still contain it.
  Layout layout(3, 1);
  layout.set(1, 2, 10);
  layout.set(1, 3, 10.000005);
  DistanceClassTable table = classes_with_limits({10});
  assign_distance_classes(3, table, layout.positions, PairSelection());
  ASSERT_EQ(table.classes, 2);
  EXPECT_DOUBLE_EQ(table.limit[2], 10 * 1.000001);
  EXPECT_EQ(table.pairs[1], 2);
  EXPECT_EQ(table.pairs[2], 1);
  EXPECT_EQ(table.pairs[3], 3);
}

TEST(DistanceClasses, EqualFrequencyLimitsFromTheSortedDistances) {
  // 15 plots, 105 pairs of which 5 have no distance: 100 pairs at 1..100.
  Layout layout(15, 0);
  int next = 100;
  int skipped = 0;
  for (int k = 1; k <= 15; ++k)
    for (int l = k + 1; l <= 15; ++l) layout.set(k, l, skipped++ < 5 ? MISSING_VALUE : next--);
  DistanceClassTable table = make_distance_class_table(-4);
  assign_distance_classes(15, table, layout.positions, PairSelection());
  ASSERT_EQ(table.classes, 4);
  EXPECT_DOUBLE_EQ(table.limit[1], 25);
  EXPECT_DOUBLE_EQ(table.limit[2], 50);
  EXPECT_DOUBLE_EQ(table.limit[3], 75);
  EXPECT_DOUBLE_EQ(table.limit[4], 100 * 1.0001);
  for (int j = 1; j <= 4; ++j) EXPECT_EQ(table.pairs[j], 25) << j;
}

TEST(DistanceClasses, ParticipationAndItsCoefficientOfVariation) {
  // Four plots; only plots 1 and 2 form a pair in class 1.
  Layout layout(4, 50);
  layout.set(1, 2, 1);
  DistanceClassTable table = classes_with_limits({10, 100});
  assign_distance_classes(4, table, layout.positions, PairSelection());
  EXPECT_FLOAT_EQ(table.participation[1][0], 0.5f);
  // Pairs per plot 1, 1, 0, 0 around the mean 2 x 1 / 4 = 0.5, divisor n - 1 = 3.
  EXPECT_FLOAT_EQ(table.participation[1][1], static_cast<float>(std::sqrt(1.0 / 3) / 0.5));
  EXPECT_FLOAT_EQ(table.participation[2][0], 1.0f);
  EXPECT_FLOAT_EQ(table.participation[0][0], 1.0f);
}

TEST(DistanceClasses, EmptyPlotsFormNoPairAndDoNotTakePart) {
  // Plot 3 of five has no individual: its pairs (one in class 1, one beyond
  // the last limit) are out, and the classes are those of the four others.
  Layout five(5, 50);
  five.set(1, 2, 1);
  five.set(1, 3, 2);
  five.set(3, 5, 500);
  Layout four(4, 50);
  four.set(1, 2, 1);
  for (const int classes : {2, -2}) {  // given limits, then equal-frequency limits
    SCOPED_TRACE(classes);
    DistanceClassTable with_empty = classes > 0 ? classes_with_limits({10, 100}) : make_distance_class_table(-2);
    DistanceClassTable without = classes > 0 ? classes_with_limits({10, 100}) : make_distance_class_table(-2);
    assign_distance_classes(5, with_empty, five.positions, PairSelection(), {3});
    assign_distance_classes(4, without, four.positions, PairSelection());
    ASSERT_EQ(with_empty.classes, without.classes);
    for (int j = 1; j <= without.classes + 1; ++j) EXPECT_EQ(with_empty.pairs[j], without.pairs[j]) << j;
    for (int j = 1; j <= without.classes; ++j) {
      EXPECT_EQ(with_empty.limit[j], without.limit[j]);
      EXPECT_EQ(with_empty.mean_distance[j], without.mean_distance[j]);
      EXPECT_EQ(with_empty.participation[j][0], without.participation[j][0]);
      EXPECT_EQ(with_empty.participation[j][1], without.participation[j][1]);
    }
  }
}

// A statistic matrix over n plots with v(k, l) given by a function.
template <typename Value>
PairwiseStatMatrix statistic(int n, Value value) {
  PairwiseStatMatrix m = core::matrix(0, n, 0, n);
  m.fill(MISSING_VALUE_F);
  for (int k = 1; k <= n; ++k)
    for (int l = k + 1; l <= n; ++l) m[k][l] = m[l][k] = static_cast<float>(value(k, l));
  return m;
}

TEST(DistanceRegression, PairAtDistanceZeroStaysOutOfTheLogarithmicRegression) {
  Layout layout(3, 0);
  layout.set(1, 2, 0);
  layout.set(1, 3, 2);
  layout.set(2, 3, 4);
  DistanceClassTable table = classes_with_limits({1, 10});
  assign_distance_classes(3, table, layout.positions, PairSelection());
  EXPECT_TRUE(is_missing(table.mean_ln_distance[1]));  // class 1 holds only the pair at 0
  EXPECT_DOUBLE_EQ(table.mean_distance[1], 0);
  const PairwiseStatMatrix v = statistic(3, [](int k, int l) { return k + l; });  // 3, 4, 5
  RegressionRow row = make_regression_row(table.classes);
  regress_on_distance(3, table, PairSelection(), 0, layout.positions, v, row);
  EXPECT_FLOAT_EQ(row[-17], 3);     // N linear
  EXPECT_FLOAT_EQ(row[-7], 2);      // N logarithmic
  EXPECT_FLOAT_EQ(row[-20], 0.5f);  // v = 3 + d / 2
  EXPECT_FLOAT_EQ(row[-19], 3);
  EXPECT_FLOAT_EQ(row[-18], 1);
  EXPECT_FLOAT_EQ(row[-10], static_cast<float>(1 / std::log(2.0)));
  EXPECT_FLOAT_EQ(row[-2], row[-20]);
  EXPECT_FLOAT_EQ(row[-1], row[-10]);
  EXPECT_FLOAT_EQ(row[1], 3);
  EXPECT_FLOAT_EQ(row[2], 4.5f);
  EXPECT_FLOAT_EQ(row[3], 4);  // average of all pairs
  EXPECT_EQ(row[-12], MISSING_VALUE_F);
  EXPECT_EQ(row[0], 0.0f);
}

TEST(DistanceRegression, PairsAllAtOneDistanceHaveNoSlope) {
  Layout layout(4, 7);
  DistanceClassTable table = classes_with_limits({10});
  assign_distance_classes(4, table, layout.positions, PairSelection());
  const PairwiseStatMatrix v = statistic(4, [](int k, int l) { return k * l; });
  RegressionRow row = make_regression_row(table.classes);
  regress_on_distance(4, table, PairSelection(), 0, layout.positions, v, row);
  for (int i : {-20, -19, -18, -10, -9, -8, -2, -1}) EXPECT_EQ(row[i], MISSING_VALUE_F) << i;
  EXPECT_FLOAT_EQ(row[-17], 6);
  EXPECT_FLOAT_EQ(row[-16], 7);
  EXPECT_FLOAT_EQ(row[-15], 0);
  EXPECT_FLOAT_EQ(row[-14], 35.0f / 6);
  EXPECT_GT(row[-13], 0);
  EXPECT_FLOAT_EQ(row[2], 35.0f / 6);  // the average (the report leaves it empty with one class)
}

TEST(DistanceRegression, WithoutClassesOnlyTheMeanOfAllPairs) {
  const PairwiseStatMatrix v = statistic(3, [](int k, int l) { return k + l; });
  DistanceClassTable none = make_distance_class_table(0);
  RegressionRow row = make_regression_row(0);
  regress_on_distance(3, none, PairSelection(), 0, PlotPositions(), v, row);
  EXPECT_FLOAT_EQ(row[1], 4);
  for (int i = -20; i <= -1; ++i) EXPECT_EQ(row[i], MISSING_VALUE_F) << i;
}

TEST(DistanceRegression, WithinCategoriesTheSlopeIsTheCommonSlope) {
  // Two categories, each on the line v = d + 10 c: parallel lines of slope 1.
  const int n = 6;
  core::IVector category = core::ivector(0, n);
  for (int k = 1; k <= n; ++k) category[k] = k <= 3 ? 1 : 2;
  Layout layout(n, 0);
  for (int k = 1; k <= n; ++k)
    for (int l = k + 1; l <= n; ++l) layout.set(k, l, k + 2 * l);
  PairSelection within;
  within.mode = 1;
  within.categories = &category;
  DistanceClassTable table = classes_with_limits({100});
  assign_distance_classes(n, table, layout.positions, within);
  const PairwiseStatMatrix v = statistic(n, [&](int k, int l) { return layout.distances[k][l] + 10.0 * category[k]; });
  RegressionRow row = make_regression_row(table.classes);
  regress_on_distance(n, table, within, 2, layout.positions, v, row);
  EXPECT_FLOAT_EQ(row[-20], 1);
  EXPECT_FLOAT_EQ(row[-17], 6);  // 3 + 3 pairs within categories
  EXPECT_FLOAT_EQ(row[-18], 1);
}

}  // namespace
}  // namespace quorvel::partition
