#include "traits/trait_distances.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::traits {
namespace {

constexpr float M = MISSING_VALUE_F;

// Six species: v1 has mean 0 and standard deviation 1 over species 1..5, v2
// standard deviation 2 over species 1..2, v3 is categorical, v4 constant;
// species 6 has no quantitative value.
class TraitDistances : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    const float values[4][6] = {
        {-0.5f, 0.5f, 1.5f, -1.5f, 0, M}, {0, 4, M, M, M, M}, {1, 2, 1, 2, 1, 2}, {7, 7, 7, 7, 7, M}};
    traits_ = core::matrix(0, 4, 0, 6);
    for (int v = 1; v <= 4; ++v) {
      for (int s = 1; s <= 6; ++s) traits_[v][s] = values[v - 1][s - 1];
    }
    categories_ = core::ivector(0, 4);
    categories_[3] = 2;
    names_ = core::name_table(0, 4);
    names_[1] = "beak";
    names_[2] = "mass";
    names_[3] = "diet";
    names_[4] = "clutch";
    d_ = core::matrix(0, 6, 0, 6);
  }

  core::FMatrix traits_;
  core::IVector categories_;
  core::NameTable names_;
  core::FMatrix d_;
};

TEST_F(TraitDistances, MeanOfDifferencesInStandardDeviationUnits) {
  ASSERT_TRUE(compute_trait_distances(6, 4, categories_, names_, traits_, d_));
  EXPECT_EQ(d_[1][2], 1.5f);  // (1/1 + 4/2) / 2
  EXPECT_EQ(d_[2][1], 1.5f);
  EXPECT_EQ(d_[3][4], 3.0f);  // v1 only; the categorical v3 differs but does not count
  EXPECT_EQ(d_[1][5], 0.5f);
  EXPECT_EQ(d_[3][3], 0.0f);
  for (int s = 1; s <= 5; ++s) EXPECT_EQ(d_[s][6], M) << s;
  const std::string console = console_output();
  // The constant variable is announced once and each pair of species 6 is warned about.
  EXPECT_EQ(console.find("\n\nWARNING: trait clutch has the same value for every species: it is left out of the "
                         "trait distances"),
            0u);
  EXPECT_NE(console.find("\n\nWARNING: trait distance between species 1 and 6 cannot be computed"), std::string::npos);
  EXPECT_NE(console.find("\n\nWARNING: trait distance between species 5 and 6 cannot be computed"), std::string::npos);
  EXPECT_EQ(console.find("between species 1 and 2"), std::string::npos);
}

TEST_F(TraitDistances, OneVariableUsesThePopulationStandardDeviation) {
  // Values 1, 2, 3, 6: mean 3, variance 50/4 - 9 = 3.5.
  core::FMatrix traits = core::matrix(0, 1, 0, 4);
  const float x[] = {1, 2, 3, 6};
  for (int s = 1; s <= 4; ++s) traits[1][s] = x[s - 1];
  core::IVector categories = core::ivector(0, 1);
  core::FMatrix d = core::matrix(0, 4, 0, 4);
  ASSERT_TRUE(compute_trait_distances(4, 1, categories, names_, traits, d));
  EXPECT_FLOAT_EQ(d[1][4], static_cast<float>(5 / std::sqrt(3.5)));
  EXPECT_FLOAT_EQ(d[2][3], static_cast<float>(1 / std::sqrt(3.5)));
}

TEST_F(TraitDistances, NoUsableQuantitativeVariableGivesNoDistances) {
  core::IVector only_categories = core::ivector(0, 4);
  only_categories[1] = only_categories[2] = only_categories[3] = only_categories[4] = 3;
  EXPECT_EQ(count_quantitative_traits(4, only_categories), 0);
  EXPECT_EQ(count_quantitative_traits(4, categories_), 3);
  EXPECT_FALSE(compute_trait_distances(6, 4, only_categories, names_, traits_, d_));
  EXPECT_EQ(d_[1][2], M);
  EXPECT_EQ(d_[2][2], 0.0f);
  EXPECT_EQ(console_output(), "");
  // A constant variable alone is no better.
  core::IVector constant_only = core::ivector(0, 4);
  constant_only[1] = constant_only[2] = constant_only[3] = 2;
  EXPECT_FALSE(compute_trait_distances(6, 4, constant_only, names_, traits_, d_));
  EXPECT_EQ(console_output().find("cannot be computed"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::traits
