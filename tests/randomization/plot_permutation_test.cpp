#include "randomization/plot_permutation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quorvel::randomization {
namespace {

constexpr double kUnwritten = -999;

struct Plots {
  int n;
  core::IVector category;
  core::DVector x, y;
  core::DMatrix d;
  core::DVector x_out, y_out;
  core::DMatrix d_out;

  Plots(int plots, bool matrix_form) : n(plots) {
    category = core::ivector(0, n);
    x = core::dvector(0, n);
    y = core::dvector(0, n);
    x_out = core::dvector(0, n);
    y_out = core::dvector(0, n);
    d = core::dmatrix(0, n, 0, n);
    d_out = core::dmatrix(0, n, 0, n);
    x_out.fill(kUnwritten);
    y_out.fill(kUnwritten);
    d_out.fill(kUnwritten);
    for (int i = 1; i <= n; ++i) {
      x[i] = 10 * i;
      y[i] = 100 * i;
      for (int j = 1; j <= n; ++j) d(i, j) = 1000 * i + j;
    }
    d(0, 0) = matrix_form ? 1 : 0;
  }
};

// The plot whose coordinates plot i received.
int source_of(const Plots& p, int i) { return static_cast<int>(p.x_out[i] / 10); }

TEST(PermutePlots, AllPlotsKnownShuffleOfCoordinates) {
  Plots p(10, false);
  RandomGenerator generator = make_random_generator(-1);
  permute_plots(p.n, 0, p.category, 0, p.x, p.y, p.d, p.x_out, p.y_out, p.d_out, generator);
  const std::vector<int> expected = {5, 2, 9, 7, 10, 4, 3, 8, 1, 6};  // shuffle of 1..10 from seed -1
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(source_of(p, i), expected[static_cast<std::size_t>(i - 1)]);
    EXPECT_EQ(p.y_out[i], 10 * p.x_out[i]);  // x and y move together
  }
  EXPECT_EQ(p.d_out(1, 2), kUnwritten);  // coordinates form never writes the matrix
}

TEST(PermutePlots, PlotsOutOfTheAnalysisKeepTheirPositions) {
  // Plots 3 and 8 are empty: the other eight share their positions, drawn
  // as a shuffle of eight plots.
  Plots p(10, false);
  RandomGenerator generator = make_random_generator(-1);
  RandomGenerator eight = generator;
  core::IVector source;
  draw_plot_permutation(p.n, 0, p.category, 0, source, generator, {3, 8});
  apply_plot_permutation(p.n, 0, p.category, source, p.x, p.y, p.d, p.x_out, p.y_out, p.d_out);
  core::IVector shuffled;
  draw_plot_permutation(8, 0, p.category, 0, shuffled, eight);
  const std::vector<int> moving = {1, 2, 4, 5, 6, 7, 9, 10};
  for (std::size_t r = 0; r < moving.size(); ++r) {
    EXPECT_EQ(source[moving[r]], moving[static_cast<std::size_t>(shuffled[static_cast<int>(r) + 1] - 1)]);
  }
  EXPECT_EQ(source[3], 0);
  EXPECT_EQ(p.x_out[8], kUnwritten);
  EXPECT_EQ(generator.random_seed, eight.random_seed);
}

TEST(PermutePlots, MatrixFormPermutesRowsAndColumnsTogether) {
  Plots p(6, true);
  RandomGenerator generator = make_random_generator(-5);
  core::IVector source;
  draw_plot_permutation(p.n, 0, p.category, 0, source, generator);
  apply_plot_permutation(p.n, 0, p.category, source, p.x, p.y, p.d, p.x_out, p.y_out, p.d_out);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(p.x_out[i], kUnwritten);
    for (int j = 1; j <= 6; ++j) EXPECT_EQ(p.d_out(i, j), p.d(source[i], source[j]));
  }
}

TEST(PermutePlots, WithinCategoriesOnlyMovesPlotsOfOneCategory) {
  Plots p(7, false);
  // Category 3 has one plot; plot 7 has a category outside 1..3.
  const std::vector<int> categories = {0, 1, 2, 1, 2, 3, 1, 4};
  for (int i = 1; i <= 7; ++i) p.category[i] = categories[static_cast<std::size_t>(i)];
  RandomGenerator generator = make_random_generator(-11);
  bool moved = false;
  for (int round = 0; round < 50; ++round) {
    permute_plots(p.n, kPermuteWithinCategories, p.category, 3, p.x, p.y, p.d, p.x_out, p.y_out, p.d_out, generator);
    for (int i = 1; i <= 6; ++i) {
      EXPECT_EQ(p.category[source_of(p, i)], p.category[i]) << "plot " << i;
      moved = moved || source_of(p, i) != i;
    }
    EXPECT_EQ(source_of(p, 5), 5);
    EXPECT_EQ(p.x_out[7], kUnwritten);
  }
  EXPECT_TRUE(moved);
}

TEST(PermutePlots, WithinCategoriesMatrixKeepsCrossCategoryCells) {
  Plots p(5, true);
  const std::vector<int> categories = {0, 1, 2, 1, 2, 1};
  for (int i = 1; i <= 5; ++i) p.category[i] = categories[static_cast<std::size_t>(i)];
  RandomGenerator generator = make_random_generator(-21);
  core::IVector source;
  draw_plot_permutation(p.n, kPermuteWithinCategories, p.category, 2, source, generator);
  apply_plot_permutation(p.n, kPermuteWithinCategories, p.category, source, p.x, p.y, p.d, p.x_out, p.y_out, p.d_out);
  for (int k = 1; k <= 5; ++k) {
    for (int l = 1; l <= 5; ++l) {
      if (p.category[k] == p.category[l]) {
        EXPECT_EQ(p.d_out(k, l), p.d(source[k], source[l]));
      } else {
        EXPECT_EQ(p.d_out(k, l), kUnwritten);
      }
    }
  }
}

TEST(PermutePlots, DrawsAreOnePerPositionInCategoryOrder) {
  // Categories of sizes 3 and 2: 2 + 1 draws, taken for category 1 first.
  Plots p(5, false);
  const std::vector<int> categories = {0, 2, 1, 2, 1, 1};
  for (int i = 1; i <= 5; ++i) p.category[i] = categories[static_cast<std::size_t>(i)];
  RandomGenerator generator = make_random_generator(-8);
  RandomGenerator reference = generator;
  core::IVector source;
  draw_plot_permutation(p.n, kPermuteWithinCategories, p.category, 2, source, generator);
  core::IVector cat1 = core::ivector(0, 3);
  cat1[1] = 2;
  cat1[2] = 4;
  cat1[3] = 5;
  for (int k = 1; k <= 3; ++k) {
    const int positions = 3 - k + 1;
    if (positions < 2) break;
    const int j = k + static_cast<int>(uniform_random(reference) * positions);
    std::swap(cat1[k], cat1[j]);
  }
  const int other = 1 + static_cast<int>(uniform_random(reference) * 2);
  EXPECT_EQ(source[2], cat1[1]);
  EXPECT_EQ(source[4], cat1[2]);
  EXPECT_EQ(source[5], cat1[3]);
  EXPECT_EQ(source[1], other == 1 ? 1 : 3);
  EXPECT_EQ(generator.random_seed, reference.random_seed);
}

}  // namespace
}  // namespace quorvel::randomization
