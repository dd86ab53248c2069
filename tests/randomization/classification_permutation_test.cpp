#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "randomization/clade_permutation.hpp"
#include "randomization/taxon_permutation.hpp"
#include "randomization/test_tree.hpp"

namespace quorvel::randomization {
namespace {

using testing::kNodes;
using testing::kTips;
using testing::six_tip_tree;

// Six species in three genera {1,2} {3,4,5} {6}, and two families
// {g1, g2} {g3}: levels 0 (species order), 1 (genus), 2 (family).
struct Classification {
  core::IVector taxa = core::ivector(0, 2);
  core::IMatrix first = core::imatrix(0, 2, 1, 6);
  core::IMatrix last = core::imatrix(0, 2, 1, 6);

  Classification() {
    taxa[0] = 6;
    taxa[1] = 3;
    taxa[2] = 2;
    for (int k = 1; k <= 6; ++k) first(0, k) = last(0, k) = k;
    const int genus_first[] = {1, 3, 6};
    const int genus_last[] = {2, 5, 6};
    for (int g = 1; g <= 3; ++g) {
      first(1, g) = genus_first[g - 1];
      last(1, g) = genus_last[g - 1];
    }
    first(2, 1) = 1;
    last(2, 1) = 2;
    first(2, 2) = last(2, 2) = 3;
  }
};

bool same_stream_position(const RandomGenerator& a, const RandomGenerator& b) {
  return a.random_seed == b.random_seed && a.last_output == b.last_output;
}

TEST(PermuteTaxonomicLevel, GeneraMoveWithinTheirFamilyOnly) {
  const Classification c;
  core::IMatrix first_out, last_out;
  RandomGenerator generator = make_random_generator(-13);
  bool swapped = false;
  for (int round = 0; round < 20; ++round) {
    permute_taxonomic_level(2, c.taxa, c.first, c.last, 1, 2, core::IVector(), 0, first_out, last_out, generator);
    const bool kept = first_out(1, 1) == 1 && last_out(1, 1) == 2 && first_out(1, 2) == 3 && last_out(1, 2) == 5;
    const bool exchanged = first_out(1, 1) == 3 && last_out(1, 1) == 5 && first_out(1, 2) == 1 && last_out(1, 2) == 2;
    EXPECT_TRUE(kept || exchanged);
    swapped = swapped || exchanged;
    EXPECT_EQ(first_out(1, 3), 6);
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(first_out(0, k), k);  // other levels copied unchanged
    EXPECT_EQ(first_out(2, 1), 1);
    EXPECT_EQ(last_out(2, 2), 3);
  }
  EXPECT_TRUE(swapped);
}

TEST(PermuteTaxonomicLevel, SpeciesWithinFamilyAndWithinListedGenera) {
  const Classification c;
  core::IMatrix first_out, last_out;
  RandomGenerator generator = make_random_generator(-13);
  // Species within families: positions 1..5 (family 1) shuffle, 6 stays.
  permute_taxonomic_level(2, c.taxa, c.first, c.last, 0, 2, core::IVector(), 0, first_out, last_out, generator);
  std::set<int> family1;
  for (int k = 1; k <= 5; ++k) family1.insert(first_out(0, k));
  EXPECT_EQ(family1, (std::set<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(first_out(0, 6), 6);

  // Species within genera, genus 2 only.
  core::IVector list = core::ivector(1, 1);
  list[1] = 2;
  for (int round = 0; round < 10; ++round) {
    permute_taxonomic_level(2, c.taxa, c.first, c.last, 0, 1, list, 1, first_out, last_out, generator);
    EXPECT_EQ(first_out(0, 1), 1);
    EXPECT_EQ(first_out(0, 2), 2);
    EXPECT_EQ(first_out(0, 6), 6);
    std::set<int> genus2 = {first_out(0, 3), first_out(0, 4), first_out(0, 5)};
    EXPECT_EQ(genus2, (std::set<int>{3, 4, 5}));
  }
}

TEST(PermuteTaxonomicLevel, LevelsOutOfOrderChangeNothingAndDrawNothing) {
  const Classification c;
  core::IMatrix first_out, last_out;
  RandomGenerator generator = make_random_generator(-13);
  uniform_random(generator);
  const RandomGenerator before = generator;
  permute_taxonomic_level(2, c.taxa, c.first, c.last, 2, 1, core::IVector(), 0, first_out, last_out, generator);
  permute_taxonomic_level(2, c.taxa, c.first, c.last, 1, 5, core::IVector(), 0, first_out, last_out, generator);
  EXPECT_TRUE(same_stream_position(generator, before));
  for (int g = 1; g <= 3; ++g) EXPECT_EQ(first_out(1, g), c.first(1, g));
}

std::multiset<int> upper_nodes(const phylogeny::NodeTable& nodes, const std::vector<int>& which) {
  std::multiset<int> result;
  for (int node : which) result.insert(nodes[node].upper_node);
  return result;
}

TEST(PermuteClades, WholeTreeShufflesTheTipAttachments) {
  const phylogeny::NodeTable nodes = six_tip_tree();
  phylogeny::NodeTable out;
  RandomGenerator generator = make_random_generator(-31);
  bool changed = false;
  for (int round = 0; round < 10; ++round) {
    permute_clades(0, 0, "", nodes, kNodes, kTips, out, generator);
    EXPECT_EQ(upper_nodes(out, {1, 2, 3, 4, 5, 6}), upper_nodes(nodes, {1, 2, 3, 4, 5, 6}));
    for (int node = 7; node <= kNodes; ++node) EXPECT_EQ(out[node].upper_node, nodes[node].upper_node);
    for (int tip = 1; tip <= 6; ++tip) changed = changed || out[tip].upper_node != nodes[tip].upper_node;
  }
  EXPECT_TRUE(changed);
}

TEST(PermuteClades, SubCladesSwapAttachmentsWithinTheNamedClade) {
  // Units of age 1.5 within ALL: AB (8), C (3), DE (10), F (6).
  const phylogeny::NodeTable nodes = six_tip_tree();
  phylogeny::NodeTable out = six_tip_tree();
  RandomGenerator generator = make_random_generator(-31);
  for (int round = 0; round < 10; ++round) {
    permute_clades(1.5f, -1, "ALL", nodes, kNodes, kTips, out, generator);
    EXPECT_EQ(upper_nodes(out, {8, 3, 10, 6}), upper_nodes(nodes, {8, 3, 10, 6}));
    for (int node : {1, 2, 4, 5, 7, 9, 11}) EXPECT_EQ(out[node].upper_node, nodes[node].upper_node);
  }
  // The tree itself may be the output.
  phylogeny::NodeTable in_place = six_tip_tree();
  permute_clades(1.5f, -1, "ALL", in_place, kNodes, kTips, in_place, generator);
  EXPECT_EQ(upper_nodes(in_place, {8, 3, 10, 6}), upper_nodes(nodes, {8, 3, 10, 6}));
}

TEST(PermuteClades, AgeRestrictionSelectsStemsCrossingIt) {
  // At age 1.5 the selected nodes are C, F (tips whose stems cross), AB and DE.
  // Single-tip units draw nothing; AB and DE draw one each (two tips).
  const phylogeny::NodeTable nodes = six_tip_tree();
  phylogeny::NodeTable out;
  RandomGenerator generator = make_random_generator(-31);
  RandomGenerator reference = generator;
  permute_clades(0, 1.5f, "", nodes, kNodes, kTips, out, generator);
  uniform_random(reference);
  uniform_random(reference);
  EXPECT_TRUE(same_stream_position(generator, reference));
  for (int node = 1; node <= kNodes; ++node) EXPECT_EQ(out[node].upper_node, nodes[node].upper_node);
}

}  // namespace
}  // namespace quorvel::randomization
