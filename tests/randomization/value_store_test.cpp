// Summaries of a test from its store alone, under the three rules for
// undefined values.
#include "randomization/value_store.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/constants.hpp"

namespace quorvel::randomization {
namespace {

// Observed `observed`; randomizations 0.1, missing, 0.9, NaN, 0.3.
ValueStore store_of(float observed) {
  ValueStore store(2, 5);
  const float values[] = {0.1f, MISSING_VALUE_F, 0.9f, std::nanf(""), 0.3f};
  store.values(0)[1] = observed;
  for (int i = 1; i <= 5; ++i) store.values(i)[1] = values[i - 1];
  return store;
}

TEST(SummarizeValue, LeavesUndefinedRandomizationsOut) {
  for (const UndefinedRule rule : {UndefinedRule::kNoPValues, UndefinedRule::kSummarizeAll, UndefinedRule::kNothing}) {
    const TestSummary summary = summarize_value(store_of(0.5f), 1, 5, rule);
    EXPECT_EQ(summary.valid_count, 3);
    EXPECT_EQ(summary.distinct_count, 3);
    EXPECT_FLOAT_EQ(summary.mean, (0.1f + 0.9f + 0.3f) / 3);
    EXPECT_DOUBLE_EQ(summary.p_upper, 2.0 / 4.0);
  }
}

TEST(SummarizeValue, WithoutObservationEachRuleSaysWhatItMust) {
  const TestSummary no_p = summarize_value(store_of(MISSING_VALUE_F), 1, 5, UndefinedRule::kNoPValues);
  EXPECT_EQ(no_p.observed, MISSING_VALUE_F);
  EXPECT_EQ(no_p.p_two_sided, MISSING_VALUE);
  EXPECT_EQ(no_p.distinct_count, 3);  // the null distribution is still described
  const TestSummary all = summarize_value(store_of(MISSING_VALUE_F), 1, 5, UndefinedRule::kSummarizeAll);
  EXPECT_EQ(all.observed, MISSING_VALUE_F);
  EXPECT_FLOAT_EQ(all.mean, (0.1f + 0.9f + 0.3f) / 3);
  const TestSummary nothing = summarize_value(store_of(MISSING_VALUE_F), 1, 5, UndefinedRule::kNothing);
  EXPECT_EQ(nothing.mean, MISSING_VALUE_F);
  EXPECT_EQ(nothing.p_lower, MISSING_VALUE);
  EXPECT_EQ(nothing.valid_count, 3);
}

TEST(SummarizeValue, NoRandomizationKeptGivesNoDistribution) {
  ValueStore store(1, 0);
  store.values(0)[0] = 0.25f;
  const TestSummary observed_only = summarize_value(store, 0, 0, UndefinedRule::kNoPValues);
  EXPECT_EQ(observed_only.observed, 0.25f);
  EXPECT_EQ(observed_only.mean, MISSING_VALUE_F);
  EXPECT_EQ(summarize_value(store, 0, 0, UndefinedRule::kNothing).observed, MISSING_VALUE_F);
}

TEST(OneMinusRatio, IsMissingWhenAnOperandIsUndefinedOrTheDivisorZero) {
  EXPECT_EQ(one_minus_ratio(1.0, 0.0), MISSING_VALUE);
  EXPECT_EQ(one_minus_ratio(MISSING_VALUE, 2.0), MISSING_VALUE);
  EXPECT_DOUBLE_EQ(one_minus_ratio(1.0, 4.0), 0.75);
  EXPECT_EQ(store_value(MISSING_VALUE), MISSING_VALUE_F);
}

}  // namespace
}  // namespace quorvel::randomization
