#include "randomization/permutation_summary.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/constants.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/shuffle.hpp"
#include "support/test_support.hpp"

namespace quorvel::randomization {
namespace {

// v[1..n] = 1..n in a shuffled order, so that the sort is exercised.
core::FVector shuffled_ranks(int n) {
  core::IVector order = core::ivector(0, n);
  for (int i = 0; i <= n; ++i) order[i] = i;
  RandomGenerator generator = make_random_generator(-77);
  shuffle_range(order, 1, n, generator);
  core::FVector v = core::vector(0, n);
  for (int i = 1; i <= n; ++i) v[i] = static_cast<float>(order[i]);
  return v;
}

TestSummary summarize(core::FVector& v, float observed) {
  TestSummary summary;
  summarize_permutations(v, 1, v.hi(), summary, observed);
  return summary;
}

TEST(ShellSort, SortsLikeTheStandardSort) {
  RandomGenerator generator = make_random_generator(-4);
  for (int n : {0, 1, 2, 3, 13, 14, 40, 41, 1000}) {
    core::FVector a = core::vector(0, n + 1);
    std::vector<float> expected;
    for (int i = 1; i <= n; ++i) {
      a[i] = std::floor(uniform_random(generator) * 50) - 25;  // many ties
      expected.push_back(a[i]);
    }
    a[0] = 999;
    a[n + 1] = -999;
    std::sort(expected.begin(), expected.end());
    shell_sort(n, a);
    for (int i = 1; i <= n; ++i) ASSERT_EQ(a[i], expected[static_cast<std::size_t>(i - 1)]) << "n=" << n;
    EXPECT_EQ(a[0], 999);  // outside 1..n untouched
    EXPECT_EQ(a[n + 1], -999);
  }
}

TEST(SummarizePermutations, EnvelopeIndices) {
  struct Case {
    int n;
    float low95, high95, low99, high99;
  };
  const Case cases[] = {
      {39, 0, 0, 0, 0},    {40, 2, 40, 0, 0},     {99, 3, 98, 0, 0},
      {199, 5, 196, 0, 0}, {200, 6, 197, 2, 200}, {1000, 26, 977, 6, 997},
  };
  for (const Case& c : cases) {
    core::FVector v = shuffled_ranks(c.n);
    const TestSummary s = summarize(v, 0.5f);
    EXPECT_EQ(s.ci95_low, c.low95) << "N=" << c.n;
    EXPECT_EQ(s.ci95_high, c.high95) << "N=" << c.n;
    EXPECT_EQ(s.ci99_low, c.low99) << "N=" << c.n;
    EXPECT_EQ(s.ci99_high, c.high99) << "N=" << c.n;
    EXPECT_EQ(s.distinct_count, c.n);
    for (int i = 1; i <= c.n; ++i) ASSERT_EQ(v[i], static_cast<float>(i));  // left sorted
  }
}

TEST(SummarizePermutations, ExtremeObservedValuesCountThemselves) {
  // The observed arrangement is one of the N + 1: P is never below 1/(N + 1).
  // P-values are double quotients of the counts: 1/100 is 0.01 exactly as printed.
  core::FVector v = shuffled_ranks(99);
  TestSummary below = summarize(v, 0.5f);
  EXPECT_EQ(below.p_lower, 1.0 / 100.0);
  EXPECT_EQ(below.p_upper, 1.0);
  EXPECT_EQ(below.p_two_sided, 1.0 / 100.0);
  TestSummary above = summarize(v, 100.0f);
  EXPECT_EQ(above.p_lower, 1.0);
  EXPECT_EQ(above.p_upper, 1.0 / 100.0);
  EXPECT_EQ(above.p_two_sided, 1.0 / 100.0);
  EXPECT_EQ(above.observed, 100.0f);
  // Equal to the largest permuted value: that one ties, (1 + 1)/(N + 1).
  TestSummary top = summarize(v, 99.0f);
  EXPECT_EQ(top.p_upper, 2.0 / 100.0);
  EXPECT_EQ(top.p_lower, 1.0);
}

TEST(SummarizePermutations, MedianOfDistinctValues) {
  core::FVector v = shuffled_ranks(99);
  const TestSummary s = summarize(v, 50.0f);
  EXPECT_EQ(s.p_lower, 51.0 / 100.0);
  EXPECT_EQ(s.p_upper, 51.0 / 100.0);
  EXPECT_EQ(s.p_two_sided, 1.0);
  EXPECT_FLOAT_EQ(s.mean, 50.0f);
  EXPECT_FLOAT_EQ(s.sd, static_cast<float>(std::sqrt(99.0 * 100.0 / 12.0)));  // sd of 1..99
}

TEST(SummarizePermutations, AllEqualAndTies) {
  core::FVector v = core::vector(0, 20);
  v.fill(3.5f);
  TestSummary s = summarize(v, 3.5f);
  EXPECT_EQ(s.p_lower, 1.0);
  EXPECT_EQ(s.p_upper, 1.0);
  EXPECT_EQ(s.p_two_sided, 1.0);
  EXPECT_EQ(s.distinct_count, 1);
  EXPECT_EQ(s.sd, 0.0f);

  // 1 2 2 2 3 with observed 2: 4 values <= 2, 4 values >= 2.
  core::FVector w = core::vector(0, 5);
  const float values[] = {2, 3, 2, 1, 2};
  for (int i = 1; i <= 5; ++i) w[i] = values[i - 1];
  s = summarize(w, 2.0f);
  EXPECT_EQ(s.p_lower, 5.0 / 6.0);
  EXPECT_EQ(s.p_upper, 5.0 / 6.0);
  EXPECT_EQ(s.p_two_sided, 1.0);
  EXPECT_EQ(s.distinct_count, 3);

  // One value below the observed: p_lower = 2/(N+1).
  s = summarize(w, 1.5f);
  EXPECT_EQ(s.p_lower, 2.0 / 6.0);
  EXPECT_EQ(s.p_upper, 5.0 / 6.0);
  EXPECT_EQ(s.p_two_sided, 1.0 - 5.0 / 6.0 + 2.0 / 6.0);
}

TEST(SummarizePermutations, MeanAndSdInDoubleThenSingle) {
  core::FVector v = core::vector(0, 4);
  for (int i = 1; i <= 4; ++i) v[i] = static_cast<float>(i);
  const TestSummary s = summarize(v, 2.0f);
  EXPECT_EQ(s.mean, 2.5f);
  EXPECT_EQ(s.sd, static_cast<float>(std::sqrt(5.0 / 3.0)));
}

TEST(SummarizePermutations, OneOrNoValueGivesMissingInsteadOfNaN) {
  core::FVector v = core::vector(0, 1);
  v[1] = 4;
  TestSummary s;
  s.valid_count = 7;
  s.object = 3;
  summarize_permutations(v, 1, 1, s, 4.0f);
  EXPECT_EQ(s.mean, 4.0f);
  EXPECT_EQ(s.sd, MISSING_VALUE_F);
  EXPECT_EQ(s.p_lower, 1.0);  // (1 + 1)/(1 + 1)
  EXPECT_EQ(s.p_upper, 1.0);
  EXPECT_EQ(s.valid_count, 1);  // the values summarized
  EXPECT_EQ(s.object, 3);

  summarize_permutations(v, 1, 0, s, 4.0f);
  EXPECT_EQ(s.observed, 4.0f);
  EXPECT_EQ(s.mean, MISSING_VALUE_F);
  EXPECT_EQ(s.p_two_sided, MISSING_VALUE);
  EXPECT_EQ(s.distinct_count, 0);
}

TEST(ResampleStatTypeMatrix, ZeroedRecordsOverTheGivenRanges) {
  const TestSummaryMatrix m = resample_stat_type_matrix(0, 4, -20, 5);
  EXPECT_EQ(m.row_lo(), 0);
  EXPECT_EQ(m.col_lo(), -20);
  EXPECT_EQ(m(4, 5).distinct_count, 0);
  EXPECT_EQ(m(0, -20).p_two_sided, 0.0);
}

}  // namespace
}  // namespace quorvel::randomization
