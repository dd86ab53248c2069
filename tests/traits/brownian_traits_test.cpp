#include "traits/brownian_traits.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::traits {
namespace {

constexpr float M = MISSING_VALUE_F;

// ((A:a,B:b):2,C:3): tips 1..3, root 4, clade of A and B node 5.
phylogeny::NodeTable three_tip_tree(float a, float b, float inner, float c) {
  phylogeny::NodeTable nodes(0, 5);
  nodes[1] = {"A", 5, a, 0, 1, 1};
  nodes[2] = {"B", 5, b, 0, 2, 2};
  nodes[3] = {"C", 4, c, 0, 3, 3};
  nodes[4] = {"", 0, 0, 3, 1, 3};
  nodes[5] = {"", 4, inner, 1, 1, 2};
  return nodes;
}

// Deviates 1, 2, 3, ... in order, counting the draws.
struct CountingNormal {
  int calls = 0;
  double operator()() { return ++calls; }
};

struct Tables {
  Tables(int V, int S) {
    observed = core::matrix(0, V, 0, S);
    se = core::matrix(0, V, 0, S);
    simulated = core::matrix(0, V, 0, S);
    species_of_leaf = core::ivector(0, S);
  }
  core::FMatrix observed, se, simulated;
  core::IVector species_of_leaf;
};

TEST(BrownianTraits, DrawsInternalNodesThenTipsAndKeepsMissingValues) {
  const auto nodes = three_tip_tree(1, 1, 2, 3);
  Tables t(2, 3);
  t.species_of_leaf[1] = 2;  // tip A is species 2, tip B species 1, tip C is not sampled
  t.species_of_leaf[2] = 1;
  t.observed[2][1] = M;
  CountingNormal normal;
  simulate_brownian_traits(std::ref(normal), nodes, 5, 3, t.species_of_leaf, 2, 3, t.observed, t.se, t.simulated, "");
  EXPECT_EQ(normal.calls, 4);  // node 5, then tips 1, 2, 3
  const double clade = std::sqrt(2.0) * 1;
  EXPECT_FLOAT_EQ(t.simulated[1][2], static_cast<float>(clade + 2));  // tip A
  EXPECT_FLOAT_EQ(t.simulated[1][1], static_cast<float>(clade + 3));  // tip B
  EXPECT_FLOAT_EQ(t.simulated[2][2], t.simulated[1][2]);              // one value for all variables of a species
  EXPECT_EQ(t.simulated[2][1], M);                                    // observed missing stays missing
  EXPECT_EQ(t.simulated[1][3], M);                                    // species without a tip
  EXPECT_EQ(t.simulated[0][3], 3.0f);
}

TEST(BrownianTraits, RemovedNodesConsumeTheirDrawAndZeroBranchesGiveZero) {
  phylogeny::NodeTable nodes = three_tip_tree(0, 0, 0, 0);
  phylogeny::NodeTable with_removed(0, 6);
  for (int k = 1; k <= 5; ++k) with_removed[k] = nodes[k];
  with_removed[6] = {"", 0, 0, 0, 0, 0};  // spliced out by the tree clean-up
  Tables t(1, 3);
  for (int l = 1; l <= 3; ++l) t.species_of_leaf[l] = l;
  CountingNormal normal;
  simulate_brownian_traits(std::ref(normal), with_removed, 6, 3, t.species_of_leaf, 1, 3, t.observed, t.se, t.simulated,
                           "");
  EXPECT_EQ(normal.calls, 5);
  for (int s = 1; s <= 3; ++s) EXPECT_EQ(t.simulated[1][s], 0.0f) << s;
}

TEST(BrownianTraits, SisterTipsDifferByTheSumOfTheirBranchLengths) {
  const auto nodes = three_tip_tree(0.5f, 1.5f, 2, 3);
  Tables t(1, 3);
  for (int l = 1; l <= 3; ++l) t.species_of_leaf[l] = l;
  std::mt19937 engine(12345);
  std::normal_distribution<double> gauss;
  auto normal = [&] { return gauss(engine); };
  double sum2 = 0;
  const int replicates = 20000;
  for (int r = 0; r < replicates; ++r) {
    simulate_brownian_traits(normal, nodes, 5, 3, t.species_of_leaf, 1, 3, t.observed, t.se, t.simulated, "");
    const double diff = t.simulated[1][1] - t.simulated[1][2];
    sum2 += diff * diff;
  }
  EXPECT_NEAR(sum2 / replicates, 2.0, 0.08);
}

// A star tree of n tips with unit branches.
phylogeny::NodeTable star_tree(int n) {
  phylogeny::NodeTable nodes(0, n + 1);
  for (int l = 1; l <= n; ++l) nodes[l] = {"t" + std::to_string(l), n + 1, 1, 0, l, l};
  nodes[n + 1] = {"", 0, 0, 1, 1, n};
  return nodes;
}

double sample_variance(const core::FMatrix& table, int v, int n) {
  double sum = 0, sum2 = 0;
  int count = 0;
  for (int s = 1; s <= n; ++s) {
    if (table[v][s] == M) continue;
    sum += table[v][s];
    sum2 += static_cast<double>(table[v][s]) * table[v][s];
    ++count;
  }
  return (sum2 / count - (sum / count) * (sum / count)) * count / (count - 1);
}

class BrownianWithErrors : public testing::WorkDirTest {};

TEST_F(BrownianWithErrors, VarianceIsMatchedToTheObservedOne) {
  const int n = 8;
  const auto nodes = star_tree(n);
  Tables t(2, n);
  for (int s = 1; s <= n; ++s) {
    t.species_of_leaf[s] = s;
    t.observed[1][s] = static_cast<float>(10 * s);  // large variance, small errors
    t.se[1][s] = 1;
    t.observed[2][s] = static_cast<float>(s % 2);  // variance 0.29, errors of variance 4
    t.se[2][s] = 2;
  }
  t.observed[1][3] = M;
  std::mt19937 engine(7);
  std::normal_distribution<double> gauss;
  int calls = 0;
  auto normal = [&] {
    ++calls;
    return gauss(engine);
  };
  simulate_brownian_traits(normal, nodes, n + 1, n, t.species_of_leaf, 2, n, t.observed, t.se, t.simulated, "se.txt");
  EXPECT_EQ(calls, n + 2 * n);  // tips, then one error draw per species and variable
  const double observed_variance = sample_variance(t.observed, 1, n);
  const double simulated_variance = sample_variance(t.simulated, 1, n);
  EXPECT_GE(simulated_variance, 0.99 * observed_variance);
  EXPECT_LE(simulated_variance, 1.01 * observed_variance);
  EXPECT_EQ(t.simulated[1][3], M);
  for (int s = 1; s <= n; ++s) EXPECT_EQ(t.simulated[2][s], M) << s;  // errors explain everything
  EXPECT_EQ(console_output(), "");
}

TEST_F(BrownianWithErrors, SpeciesWithoutTipStayOutOfTheMatching) {
  // Species 9 has an observed value and a standard error but no tip: it has
  // no simulated value, and the variance of the others is matched to the
  // observed variance of the species simulated.
  const int n = 8;
  const auto nodes = star_tree(n);
  Tables t(1, n + 1);
  for (int s = 1; s <= n + 1; ++s) {
    if (s <= n) t.species_of_leaf[s] = s;
    t.observed[1][s] = static_cast<float>(10 * s);
    t.se[1][s] = 1;
  }
  t.observed[1][n + 1] = 1000;  // far off: would dominate the target if counted
  std::mt19937 engine(11);
  std::normal_distribution<double> gauss;
  auto normal = [&] { return gauss(engine); };
  simulate_brownian_traits(normal, nodes, n + 1, n, t.species_of_leaf, 1, n + 1, t.observed, t.se, t.simulated,
                           "se.txt");
  EXPECT_EQ(console_output(), "");
  EXPECT_EQ(t.simulated[1][n + 1], M);
  const double observed_variance = sample_variance(t.observed, 1, n);
  const double simulated_variance = sample_variance(t.simulated, 1, n + 1);
  EXPECT_GE(simulated_variance, 0.99 * observed_variance);
  EXPECT_LE(simulated_variance, 1.01 * observed_variance);
}

TEST_F(BrownianWithErrors, UnmatchableVarianceEndsWithAWarning) {
  // Zero branch lengths give identical simulated values: only the errors
  // vary, and their variance cannot be scaled.
  const int n = 5;
  phylogeny::NodeTable nodes = star_tree(n);
  for (int l = 1; l <= n; ++l) nodes[l].branch_length = 0;
  Tables t(1, n);
  for (int s = 1; s <= n; ++s) {
    t.species_of_leaf[s] = s;
    t.observed[1][s] = static_cast<float>(100 * s);
    t.se[1][s] = 0.001f;
  }
  CountingNormal normal;
  simulate_brownian_traits(std::ref(normal), nodes, n + 1, n, t.species_of_leaf, 1, n, t.observed, t.se, t.simulated,
                           "se.txt");
  EXPECT_EQ(console_output(),
            "\n\nWARNING: Brownian evolution test, variable 1: the variance of the simulated values could not be "
            "matched to the observed variance");
  for (int s = 1; s <= n; ++s) EXPECT_NE(t.simulated[1][s], M);
}

}  // namespace
}  // namespace quorvel::traits

namespace quorvel::traits {
namespace {

TEST(BrownianTraits, RunGeneratorIsDrawnInStreamOrder) {
  const auto nodes = three_tip_tree(1, 1, 2, 3);
  Tables t(1, 3);
  for (int l = 1; l <= 3; ++l) t.species_of_leaf[l] = l;
  randomization::RandomGenerator generator = randomization::make_random_generator(-1234);
  randomization::RandomGenerator copy = generator;
  simulate_brownian_traits(generator, nodes, 5, 3, t.species_of_leaf, 1, 3, t.observed, t.se, t.simulated, "");
  const double clade = std::sqrt(2.0) * randomization::normal_random(copy);
  EXPECT_FLOAT_EQ(t.simulated[1][1], static_cast<float>(clade + randomization::normal_random(copy)));
  EXPECT_FLOAT_EQ(t.simulated[1][2], static_cast<float>(clade + randomization::normal_random(copy)));
  EXPECT_FLOAT_EQ(t.simulated[1][3], static_cast<float>(std::sqrt(3.0) * randomization::normal_random(copy)));
  // The half-used pair carries over to the next call.
  EXPECT_EQ(generator.normal_calls, copy.normal_calls);
  EXPECT_EQ(generator.random_seed, copy.random_seed);
}

}  // namespace
}  // namespace quorvel::traits
