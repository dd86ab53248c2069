#include "randomization/phylogeny_permutation.hpp"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "randomization/permutation_units.hpp"
#include "randomization/test_tree.hpp"

namespace quorvel::randomization {
namespace {

using testing::kNodes;
using testing::kTips;
using testing::six_tip_tree;

core::FVector weights(const std::vector<float>& values) {
  core::FVector w = core::vector(1, static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) w[static_cast<int>(i) + 1] = values[i];
  return w;
}

// The set {perm[u] : u in units} equals the set of units and nothing else moved.
void expect_permutation_of(const core::IVector& perm, const std::set<int>& units, int n) {
  std::set<int> images;
  for (int u = 1; u <= n; ++u) {
    if (units.count(u) == 0) {
      EXPECT_EQ(perm[u], u) << "unit " << u << " is not permuted";
    } else {
      images.insert(perm[u]);
    }
  }
  EXPECT_EQ(images, units);
}

bool same_stream_position(const RandomGenerator& a, const RandomGenerator& b) {
  return a.random_seed == b.random_seed && a.last_output == b.last_output;
}

TEST(PermutePhylogeny, WholeTreeModesMoveTheRightTips) {
  const phylogeny::NodeTable nodes = six_tip_tree();
  RandomGenerator generator = make_random_generator(-3);
  core::IVector perm;
  const core::FVector w = weights({2, 0, 5, 1, 0, 0});
  for (int round = 0; round < 30; ++round) {
    draw_phylogeny_permutation(0, kWholeTree, "", kPermuteAllSpecies, nodes, kNodes, kTips, w, perm, generator);
    expect_permutation_of(perm, {1, 2, 3, 4, 5, 6}, kNodes);
    draw_phylogeny_permutation(0, kWholeTree, "", kPermuteSampledSpecies, nodes, kNodes, kTips, w, perm, generator);
    expect_permutation_of(perm, {1, 3, 4}, kNodes);  // unsampled tips stay in place
  }
}

TEST(PermutePhylogeny, ModeZeroWithOneOrNoSampledSpeciesDrawsNothing) {
  const phylogeny::NodeTable nodes = six_tip_tree();
  RandomGenerator generator = make_random_generator(-3);
  uniform_random(generator);
  const RandomGenerator before = generator;
  core::IVector perm;
  draw_phylogeny_permutation(0, kWholeTree, "", 0, nodes, kNodes, kTips, weights({0, 0, 0, 4, 0, 0}), perm, generator);
  expect_permutation_of(perm, {4}, kNodes);
  draw_phylogeny_permutation(0, kWholeTree, "", 0, nodes, kNodes, kTips, weights({0, 0, 0, 0, 0, 0}), perm, generator);
  EXPECT_TRUE(same_stream_position(generator, before));
}

TEST(PermutePhylogeny, AgeRestrictionPermutesWithinCladesCrossingTheAge) {
  // At age 1.5 the stems of AB (1..3) and DE (1..2) cross; CDE (age 2) and
  // the root do not qualify, and tips are never selected.
  const phylogeny::NodeTable nodes = six_tip_tree();
  RandomGenerator generator = make_random_generator(-17);
  core::IVector perm;
  const core::FVector w = weights({1, 1, 1, 1, 1, 1});
  bool swapped_ab = false;
  bool swapped_de = false;
  for (int round = 0; round < 40; ++round) {
    draw_phylogeny_permutation(0, 1.5f, "", kPermuteAllSpecies, nodes, kNodes, kTips, w, perm, generator);
    EXPECT_TRUE((perm[1] == 1 && perm[2] == 2) || (perm[1] == 2 && perm[2] == 1));
    EXPECT_TRUE((perm[4] == 4 && perm[5] == 5) || (perm[4] == 5 && perm[5] == 4));
    EXPECT_EQ(perm[3], 3);
    EXPECT_EQ(perm[6], 6);
    swapped_ab = swapped_ab || perm[1] == 2;
    swapped_de = swapped_de || perm[4] == 5;
  }
  EXPECT_TRUE(swapped_ab && swapped_de);

  // At an age above the root every tip is permuted within the root.
  draw_phylogeny_permutation(0, 10, "", kPermuteAllSpecies, nodes, kNodes, kTips, w, perm, generator);
  expect_permutation_of(perm, {1, 2, 3, 4, 5, 6}, kNodes);
}

TEST(PermutePhylogeny, NamedCladeAndMissingName) {
  const phylogeny::NodeTable nodes = six_tip_tree();
  RandomGenerator generator = make_random_generator(-17);
  core::IVector perm;
  const core::FVector w = weights({1, 1, 1, 1, 1, 1});
  draw_phylogeny_permutation(0, kNamedClade, "CDE", kPermuteAllSpecies, nodes, kNodes, kTips, w, perm, generator);
  expect_permutation_of(perm, {3, 4, 5}, kNodes);

  uniform_random(generator);
  const RandomGenerator before = generator;
  draw_phylogeny_permutation(0, kNamedClade, "cde", kPermuteAllSpecies, nodes, kNodes, kTips, w, perm, generator);
  expect_permutation_of(perm, {}, kNodes);
  EXPECT_TRUE(same_stream_position(generator, before));
}

TEST(PermutationUnits, SubCladeUnitsStopAtTheSelectedNode) {
  const phylogeny::NodeTable nodes = six_tip_tree();
  core::IVector units;
  ASSERT_EQ(collect_clade_units(nodes, 7, kTips, 1.5f, units), 4);
  EXPECT_EQ(units[1], 8);  // A climbs to AB (stem top 3)
  EXPECT_EQ(units[2], 3);  // C's own stem reaches 2
  EXPECT_EQ(units[3], 10);
  EXPECT_EQ(units[4], 6);
  EXPECT_EQ(collect_clade_units(nodes, 9, kTips, 100, units), 1);
  EXPECT_EQ(units[1], 9);
  ASSERT_EQ(collect_clade_units(nodes, 9, kTips, 0, units), 3);
  EXPECT_EQ(units[3], 5);
}

TEST(PermutePhylogeny, CladeUnitsNeverBecomeSpeciesIndices) {
  // With a sub-clade age, clade units may be shuffled onto tips: the
  // divergence copy must still only read sampled species.
  const phylogeny::NodeTable nodes = six_tip_tree();
  RandomGenerator generator = make_random_generator(-29);
  core::IVector perm;
  core::IVector leaf_of_species = core::ivector(0, 6);
  core::IVector species_of_leaf = core::ivector(0, 6);
  for (int i = 1; i <= 6; ++i) leaf_of_species[i] = species_of_leaf[i] = i;
  core::FMatrix in = core::matrix(0, 6, 0, 6);
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 6; ++j) in(i, j) = static_cast<float>(10 * i + j);
  core::FMatrix out = core::matrix(0, 6, 0, 6);
  for (int round = 0; round < 20; ++round) {
    draw_phylogeny_permutation(1.5f, kNamedClade, "ALL", kPermuteAllSpecies, nodes, kNodes, kTips,
                               weights({1, 1, 1, 1, 1, 1}), perm, generator);
    const int unmapped = apply_phylogeny_permutation(6, kTips, leaf_of_species, species_of_leaf, perm, in, out);
    EXPECT_GE(unmapped, 0);
    for (int i = 1; i <= 6; ++i)
      for (int j = 1; j <= 6; ++j) EXPECT_EQ(out(i, j), out(j, i));
  }
}

TEST(PermutePhylogeny, DivergenceCopyFollowsTheTipsAndSkipsUnmappedOnes) {
  // Species 1..3 sampled at tips 2, 4, 6; species 4 is not in the tree.
  core::IVector leaf_of_species = core::ivector(0, 4);
  core::IVector species_of_leaf = core::ivector(0, kTips);
  leaf_of_species[1] = 2;
  leaf_of_species[2] = 4;
  leaf_of_species[3] = 6;
  species_of_leaf[2] = 1;
  species_of_leaf[4] = 2;
  species_of_leaf[6] = 3;
  core::FMatrix in = core::matrix(0, 4, 0, 4);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) in(i, j) = i == j ? 0.0f : static_cast<float>(i + j);
  core::IVector perm = core::ivector(0, kNodes);
  for (int i = 0; i <= kNodes; ++i) perm[i] = i;
  perm[2] = 6;  // species 1 takes the place of the species at tip 6 (species 3)
  perm[6] = 2;
  perm[4] = 5;  // tip 5 holds no sampled species: species 2 must stay
  core::FMatrix out = core::matrix(0, 4, 0, 4);
  EXPECT_EQ(apply_phylogeny_permutation(4, kTips, leaf_of_species, species_of_leaf, perm, in, out), 1);
  EXPECT_EQ(out(1, 2), in(3, 2));
  EXPECT_EQ(out(1, 3), in(3, 1));
  EXPECT_EQ(out(2, 3), in(2, 1));
  EXPECT_EQ(out(1, 4), in(3, 4));
  EXPECT_EQ(out(4, 4), 0.0f);
  EXPECT_EQ(out(1, 1), 0.0f);
}

TEST(PermutePhylogeny, AllSpeciesModeRecomputesFromThePlacement) {
  const phylogeny::NodeTable nodes = six_tip_tree();
  core::IVector leaf_of_species = core::ivector(0, 3);
  core::IVector species_of_leaf = core::ivector(0, kTips);
  for (int i = 1; i <= 3; ++i) {
    leaf_of_species[i] = 2 * i;
    species_of_leaf[2 * i] = i;
  }
  core::FMatrix in = core::matrix(0, 3, 0, 3);
  in(0, 0) = 1;
  core::FMatrix out = core::matrix(0, 3, 0, 3);
  core::IVector seen;
  int calls = 0;
  const TreeDivergenceFunction recompute = [&](const phylogeny::NodeTable&, int n_species,
                                               const core::IVector& placement, core::FMatrix& divergences) {
    ++calls;
    EXPECT_EQ(n_species, 3);
    EXPECT_EQ(divergences(0, 0), 1.0f);
    seen = placement;
  };
  RandomGenerator generator = make_random_generator(-41);
  permute_phylogeny(0, kWholeTree, "", kPermuteAllSpecies, nodes, kNodes, kTips, weights({0, 0, 0, 0, 0, 0}), 3,
                    leaf_of_species, species_of_leaf, in, out, recompute, generator);
  ASSERT_EQ(calls, 1);
  std::set<int> tips;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_GE(seen[i], 1);
    EXPECT_LE(seen[i], kTips);
    tips.insert(seen[i]);
  }
  EXPECT_EQ(tips.size(), 3u);  // three different tips
}

TEST(PermuteTraitDistances, RatioClassesNeverOverlap) {
  // Classes of ratio 2: {1, 1.5}, {100, 150} can each only swap inside;
  // 10000 is alone and weight 0 is never classed.
  const core::FVector w = weights({1, 150, 1.5f, 10000, 0, 100});
  RandomGenerator generator = make_random_generator(-5);
  core::IVector perm;
  bool moved = false;
  for (int round = 0; round < 60; ++round) {
    draw_trait_permutation(2, w, 6, perm, generator);
    std::set<int> low = {perm[1], perm[3]};
    std::set<int> high = {perm[2], perm[6]};
    // A class boundary may fall between 100 and 150 or between 1 and 1.5
    // depending on the random offset, but never joins different decades.
    for (int i : {1, 3}) EXPECT_TRUE(perm[i] == 1 || perm[i] == 3);
    for (int i : {2, 6}) EXPECT_TRUE(perm[i] == 2 || perm[i] == 6);
    EXPECT_EQ(low.size(), 2u);
    EXPECT_EQ(high.size(), 2u);
    EXPECT_EQ(perm[4], 4);
    EXPECT_EQ(perm[5], 5);
    moved = moved || perm[1] != 1 || perm[2] != 2;
  }
  EXPECT_TRUE(moved);
}

TEST(PermuteTraitDistances, RatioModeDrawsOnceForTheOffset) {
  // Singleton classes: exactly one draw, for the class offset.
  RandomGenerator generator = make_random_generator(-5);
  RandomGenerator reference = generator;
  core::IVector perm;
  draw_trait_permutation(-2, weights({1, 10, 100}), 3, perm, generator);  // occurrences: |-2|
  uniform_random(reference);
  EXPECT_TRUE(same_stream_position(generator, reference));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(perm[i], i);

  // A ratio of 1 or less forms no class: no hang, only the offset draw.
  draw_trait_permutation(1, weights({1, 1, 1}), 3, perm, generator);
  draw_trait_permutation(0.5f, weights({1, 1, 1}), 3, perm, generator);
  draw_trait_permutation(-0.5f, weights({1, 1, 1}), 3, perm, generator);
  for (int k = 0; k < 3; ++k) uniform_random(reference);
  EXPECT_TRUE(same_stream_position(generator, reference));
}

TEST(PermuteTraitDistances, CopyIsSymmetricAndFollowsThePermutation) {
  core::FMatrix in = core::matrix(0, 4, 0, 4);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) in(i, j) = in(j, i) = static_cast<float>(i * j + (i == j ? 0 : 100));
  core::FMatrix out = core::matrix(0, 4, 0, 4);
  RandomGenerator generator = make_random_generator(-9);
  core::IVector perm;
  draw_trait_permutation(kPermuteAllSpecies, weights({0, 0, 0, 0}), 4, perm, generator);
  apply_trait_permutation(4, perm, in, out);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(out(i, j), in(perm[i], perm[j]));
}

}  // namespace
}  // namespace quorvel::randomization
