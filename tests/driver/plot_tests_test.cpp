// The randomizations of the plot-level tests on a section the driver builds
// give, for any number of workers, exactly the values of a plain one-by-one
// loop on the same stream; the pair selection is prepared once; weights
// follow the plot filter.
#include "randomization/plot_test_runs.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_tests.hpp"
#include "partition/diversity_partition.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/plot_permutation.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

// 14 plots of 3 categories on a grid, 18 species with counts, divergences
// from a made-up classification (genus, family, order, beyond).
RunState community(int threads) {
  RunState state;
  const int n = 14, s = 18;
  state.settings.n_matrix_plots = n;
  state.settings.n_threads = threads;
  state.codes.n_species = s;
  state.codes.phylogeny_kind = kDivergenceFile;
  state.codes.spatial_kind = 2;
  state.codes.analysis_level = kPlotLevel;
  state.data_type = 2;
  state.abundances = core::dmatrix(0, n, 0, s);
  state.plot_x = core::dvector(0, n);
  state.plot_y = core::dvector(0, n);
  state.plot_category = core::ivector(0, n);
  state.n_categories = 3;
  state.category_names = core::NameTable(0, 3);
  state.category_names[1] = "A";
  state.category_names[2] = "B";
  state.category_names[3] = "C";
  for (int k = 1; k <= n; ++k) {
    state.plot_x[k] = (k - 1) % 4;
    state.plot_y[k] = (k - 1) / 4 * 1.5;
    state.plot_category[k] = 1 + k % 3;
    double total = 0;
    for (int j = 1; j <= s; ++j) {
      const double count = ((k * 7 + j * 11) % 13 < 6) ? (k * j) % 9 + 1 : 0;
      state.abundances(k, j) = count;
      total += count;
    }
    state.abundances(k, 0) = total;
    for (int j = 1; j <= s; ++j) {
      state.abundances(0, j) += state.abundances(k, j);
      state.abundances(k, j) /= total;
    }
    state.abundances(0, 0) += total;
  }
  for (int j = 1; j <= s; ++j) state.abundances(0, j) /= state.abundances(0, 0);
  state.divergences = core::matrix(0, s, 0, s);
  state.divergences(0, 0) = -2;
  for (int i = 1; i <= s; ++i)
    for (int j = 1; j <= s; ++j) {
      const int a = i - 1, b = j - 1;
      state.divergences(i, j) = i == j           ? 0.0f
                                : a / 3 == b / 3 ? 1.0f
                                : a / 6 == b / 6 ? 2.0f
                                : a / 9 == b / 9 ? 3.0f
                                                 : 4.0f;
    }
  state.plot_distances = core::dmatrix(0, 1, 0, 1);
  state.n_distance_intervals = 3;
  state.distance_limits = core::dvector(0, 6);
  state.distance_limits[1] = 1.2;
  state.distance_limits[2] = 2.5;
  state.distance_limits[3] = 4;
  state.n_divergence_intervals = 4;
  state.divergence_limits = core::dvector(0, 4);
  for (int m = 1; m <= 4; ++m) state.divergence_limits[m] = m - 1;
  state.generator = randomization::make_random_generator(-4242);
  return state;
}

using randomization::MatrixRandomizer;
using randomization::ValueStore;

MatrixRandomizer species_randomizer(RunState& state, float mode, const core::FVector& weights) {
  return randomization::matrix_randomizer(state.divergences, state.codes.n_species, mode, weights, state.generator);
}

// The values of randomizations 1..N of a store, in order.
std::vector<float> randomized_values(const ValueStore& store) {
  std::vector<float> values;
  for (int i = 1; i <= store.n_randomizations(); ++i)
    values.insert(values.end(), store.values(i), store.values(i) + store.width());
  return values;
}

// Every value a loop keeps, as raw bits, in order.
std::vector<std::uint32_t> bits(const std::vector<float>& values) {
  std::vector<std::uint32_t> out(values.size());
  if (!values.empty()) std::memcpy(out.data(), values.data(), values.size() * sizeof(float));
  return out;
}

// The loops print their progress: the fixture keeps it off the test output.
class PartitionRandomizations : public testing::WorkDirTest {};
class SpatialRandomizations : public testing::WorkDirTest {};

std::vector<float> partition_loop_values(int threads, int n) {
  RunState state = community(threads);
  PlotSection section =
      make_plot_section(state, partition::table_distances(&state.divergences), kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  const core::FVector weights = permutation_weights(state, 3.0f, false);
  std::vector<float> values = randomized_values(
      randomization::run_partition_test(plot_test_data(state, section), species_randomizer(state, 3.0f, weights), n));
  const std::vector<float> interval = randomized_values(
      randomization::run_interval_test(plot_test_data(state, section), species_randomizer(state, 3.0f, weights), n, 3));
  values.insert(values.end(), interval.begin(), interval.end());
  return values;
}

TEST_F(PartitionRandomizations, OneTwoAndThreeWorkersKeepIdenticalValues) {
  const std::vector<float> one = partition_loop_values(1, 150);
  ASSERT_FALSE(one.empty());
  EXPECT_EQ(bits(partition_loop_values(2, 150)), bits(one));
  EXPECT_EQ(bits(partition_loop_values(3, 150)), bits(one));
}

TEST_F(PartitionRandomizations, EqualThePlainLoopOnTheSameStream) {
  RunState state = community(2);
  PlotSection section =
      make_plot_section(state, partition::table_distances(&state.divergences), kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  const core::FVector weights = permutation_weights(state, 0.0f, false);
  const ValueStore store =
      randomization::run_partition_test(plot_test_data(state, section), species_randomizer(state, 0.0f, weights), 70);
  const randomization::PlotTestLayout layout{section.classes.classes};
  std::vector<float> engine;
  for (int i = 1; i <= 70; ++i)
    for (int code = 2; code <= 4; ++code) engine.push_back(store.values(i)[layout.global(code, 3)]);
  // The same randomizations one by one, from a fresh stream with the same seed.
  RunState plain = community(1);
  PlotSection plain_section =
      make_plot_section(plain, partition::table_distances(&plain.divergences), kPhylogenyAnalysis, true);
  compute_observed_partition(plain, plain_section);
  std::vector<float> expected;
  core::FMatrix randomized = plain.divergences;
  for (int i = 1; i <= 70; ++i) {
    randomization::permute_trait_distances(0.0f, weights, plain.codes.n_species, plain.divergences, randomized,
                                           plain.generator);
    partition::PartitionTables tables = partition::make_partition_tables(plain_section.n_plots);
    partition::compute_diversity_partition(
        plain_section.n_plots, plain.codes.n_species, plain.abundances, plain.data_type, plain_section.selection,
        &randomized, plain_section.n_intervals, plain_section.limits, plain_section.weighting, tables);
    for (int code = 2; code <= 4; ++code) expected.push_back(tables.pairwise[code](0, 0));
  }
  EXPECT_EQ(bits(engine), bits(expected));
  // The stream moved exactly as far in both runs.
  EXPECT_EQ(state.generator.random_seed, plain.generator.random_seed);
}

std::vector<float> spatial_loop_values(int threads, int selection_mode) {
  RunState state = community(threads);
  state.settings.pair_selection_mode = selection_mode;
  PlotSection section =
      make_plot_section(state, partition::table_distances(&state.divergences), kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  return randomized_values(randomization::run_spatial_test(plot_test_data(state, section), 99));
}

TEST_F(SpatialRandomizations, OneTwoAndThreeWorkersKeepIdenticalRows) {
  for (const int mode : {0, 1}) {
    const std::vector<float> one = spatial_loop_values(1, mode);
    EXPECT_EQ(bits(spatial_loop_values(2, mode)), bits(one)) << "selection mode " << mode;
    EXPECT_EQ(bits(spatial_loop_values(3, mode)), bits(one)) << "selection mode " << mode;
  }
}

class PlotPairs : public testing::WorkDirTest {};

TEST_F(PlotPairs, WithinOneCategoryDropsTheOtherPlotsOnce) {
  RunState state = community(1);
  state.settings.pair_selection_mode = 1;
  state.settings.pair_category_1 = "B";
  const double kept_total = [&] {
    double total = 0;
    for (int k = 1; k <= 14; ++k)
      if (state.plot_category[k] == 2) total += state.abundances(k, 0);
    return total;
  }();
  const core::DMatrix before = state.abundances;
  prepare_plot_pairs(state);
  EXPECT_EQ(state.pair_key1, 2);
  EXPECT_EQ(state.pair_key2, 0);
  for (int k = 1; k <= 14; ++k) {
    EXPECT_EQ(state.abundances(k, 0), state.plot_category[k] == 2 ? before(k, 0) : 0.0) << "plot " << k;
    EXPECT_EQ(state.abundances(k, 3), before(k, 3));  // relative abundances stay
  }
  EXPECT_DOUBLE_EQ(state.abundances(0, 0), kept_total);
  // A second section does not prepare again.
  state.settings.pair_category_1 = "A";
  prepare_plot_pairs(state);
  EXPECT_EQ(state.pair_key1, 2);
}

TEST_F(PlotPairs, BetweenTwoCategoriesKeepsBothAndWithoutNamesKeepsAll) {
  RunState between = community(1);
  between.settings.pair_selection_mode = 2;
  between.settings.pair_category_1 = "A";
  between.settings.pair_category_2 = "C";
  prepare_plot_pairs(between);
  EXPECT_EQ(between.pair_key1, 1);
  EXPECT_EQ(between.pair_key2, 3);
  for (int k = 1; k <= 14; ++k) EXPECT_EQ(between.abundances(k, 0) == 0.0, between.plot_category[k] == 2);

  RunState within = community(1);
  within.settings.pair_selection_mode = 1;
  const core::DMatrix before = within.abundances;
  prepare_plot_pairs(within);
  EXPECT_EQ(within.pair_key1, 0);
  for (int k = 0; k <= 14; ++k) EXPECT_EQ(within.abundances(k, 0), before(k, 0));
}

TEST(PermutationWeights, CountOccurrencesOrSumAbundancesOverThePlotsKept) {
  RunState state = community(1);
  state.settings.pair_selection_mode = 1;
  state.pair_key1 = 1;
  const core::FVector occurrences = permutation_weights(state, 0.0f, false);
  const core::FVector abundances = permutation_weights(state, 3.0f, false);
  for (int j = 1; j <= 18; ++j) {
    float count = 0, sum = 0;
    for (int k = 1; k <= 14; ++k) {
      if (state.plot_category[k] != 1 || state.abundances(k, j) == 0.0) continue;
      count += 1;
      sum = static_cast<float>(sum + state.abundances(k, j));
    }
    EXPECT_EQ(occurrences[j], count) << "species " << j;
    EXPECT_EQ(abundances[j], sum) << "species " << j;
  }
  // Tips without a species weigh nothing.
  state.n_tips = 3;
  state.species_of_leaf = core::ivector(0, 3);
  state.species_of_leaf[1] = 5;
  state.species_of_leaf[3] = 2;
  const core::FVector tips = permutation_weights(state, -2.0f, true);
  EXPECT_EQ(tips[1], occurrences[5]);
  EXPECT_EQ(tips[2], 0.0f);
  EXPECT_EQ(tips[3], occurrences[2]);
}

// The same community on a classification-like ultrametric tree: genera of 3
// tips at age 1, families of 2 genera at 2, orders at 3 (the last of one
// family only), the root at 4 with tip 19 on its own. Species 18 has no tip;
// tips 18 and 19 hold no species.
RunState tree_community(int threads) {
  RunState state = community(threads);
  const int s = 18, n_tips = 19;
  state.codes.phylogeny_kind = kUltrametricTree;
  state.n_tips = n_tips;
  state.n_tree_nodes = n_tips + 1 + 2 + 3 + 6;
  state.nodes = phylogeny::NodeTable(0, state.n_tree_nodes + 1);
  auto link = [&state](int node, int parent, float age, int first, int last) {
    state.nodes[node].upper_node = parent;
    state.nodes[node].age = age;
    state.nodes[node].first_tip = first;
    state.nodes[node].last_tip = last;
  };
  const int root = n_tips + 1, first_order = root + 1, first_family = first_order + 2, first_genus = first_family + 3;
  link(root, 0, 4, 1, n_tips);
  link(first_order, root, 3, 1, 12);
  link(first_order + 1, root, 3, 13, 18);
  for (int f = 0; f < 3; ++f) {
    link(first_family + f, first_order + (f < 2 ? 0 : 1), 2, 6 * f + 1, 6 * f + 6);
    state.nodes[first_family + f].name = "Family" + std::to_string(f);
  }
  for (int g = 0; g < 6; ++g) link(first_genus + g, first_family + g / 2, 1, 3 * g + 1, 3 * g + 3);
  for (int tip = 1; tip <= 18; ++tip) link(tip, first_genus + (tip - 1) / 3, 0, tip, tip);
  link(19, root, 0, 19, 19);
  state.leaf_of_species = core::ivector(0, s);
  state.species_of_leaf = core::ivector(0, n_tips);
  for (int j = 1; j <= 17; ++j) state.leaf_of_species[j] = state.species_of_leaf[j] = j;
  state.phylogeny =
      phylogeny::compact_node_table(state.nodes, n_tips, state.n_tree_nodes, phylogeny::PhylogenyOrigin::kDatedTree);
  state.phylogeny.tip_of_species = state.leaf_of_species;
  state.phylogeny.species_of_tip = state.species_of_leaf;
  EXPECT_EQ(phylogeny::validate_phylogeny(state.phylogeny), "");
  state.divergences = core::matrix(0, s, 0, s);
  phylogeny::compute_tree_divergences(state.phylogeny, state.leaf_of_species, s, state.divergences);
  return state;
}

struct TreeTest {
  float sub_clade_age, restriction;
  const char* clade;
  float mode;
};

const TreeTest kTreeTests[] = {
    {0, randomization::kWholeTree, "", randomization::kPermuteSampledSpecies},
    {0, randomization::kWholeTree, "", randomization::kPermuteAllSpecies},
    {0, 2.5f, "", randomization::kPermuteSampledSpecies},
    {0, 1.5f, "", randomization::kPermuteSampledSpecies},
    {1.5f, randomization::kWholeTree, "", randomization::kPermuteSampledSpecies},
    {0.5f, 2.5f, "", 2.0f},
    {0, randomization::kNamedClade, "Family1", randomization::kPermuteSampledSpecies},
    {1.5f, randomization::kWholeTree, "", randomization::kPermuteAllSpecies},
    {0, randomization::kWholeTree, "", 2.0f},
    {0, randomization::kWholeTree, "", -2.0f},
};

randomization::PhylogenyView tree_view;  // the view of the community a randomizer reads

MatrixRandomizer tree_randomizer(RunState& state, const TreeTest& test, bool use_clades) {
  randomization::PhylogenyPermutation permutation;
  permutation.sub_clade_age = test.sub_clade_age;
  permutation.restriction = test.restriction;
  permutation.clade_name = test.clade;
  permutation.mode = test.mode;
  permutation.weights = test.mode != randomization::kPermuteAllSpecies ? permutation_weights(state, test.mode, true)
                                                                       : core::vector(0, state.n_tips);
  tree_view = phylogeny_view(state);
  return randomization::phylogeny_randomizer(
      tree_view, permutation, use_clades ? partition::clade_view(state.phylogeny) : nullptr, state.generator);
}

// Every value of a phylogeny test's randomizations, with the unmapped tips.
std::vector<float> tree_loop_values(int threads, const TreeTest& test, bool use_clades) {
  RunState state = tree_community(threads);
  PlotSection section = make_plot_section(
      state,
      partition::phylogeny_distances(state.phylogeny, use_clades ? partition::clade_view(state.phylogeny) : nullptr),
      kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  const MatrixRandomizer randomizer = tree_randomizer(state, test, use_clades);
  EXPECT_EQ(randomizer.clades != nullptr, use_clades);
  std::vector<float> values =
      randomized_values(randomization::run_partition_test(plot_test_data(state, section), randomizer, 60));
  const std::vector<float> interval =
      randomized_values(randomization::run_interval_test(plot_test_data(state, section), randomizer, 60, 3));
  values.insert(values.end(), interval.begin(), interval.end());
  return values;
}

class CladeRandomizations : public testing::WorkDirTest {};

// Clade sums against rows from the tree, which give the sums of the
// randomized tables to the bit.
TEST_F(CladeRandomizations, GiveTheValuesOfTheRandomizedMatrices) {
  for (const TreeTest& test : kTreeTests) {
    const std::vector<float> clades = tree_loop_values(1, test, true);
    const std::vector<float> matrices = tree_loop_values(1, test, false);
    ASSERT_EQ(clades.size(), matrices.size());
    for (std::size_t i = 0; i < clades.size(); ++i) {
      const float a = clades[i], b = matrices[i];
      if (std::isinf(a) || std::isinf(b) || std::isnan(a) || std::isnan(b)) {
        EXPECT_EQ(bits({a}), bits({b})) << "mode " << test.mode << " value " << i;
        continue;
      }
      EXPECT_NEAR(a, b, 1e-5 * std::fmax(1.0f, std::fabs(b))) << "mode " << test.mode << " value " << i;
    }
  }
}

TEST_F(CladeRandomizations, OneTwoAndThreeWorkersKeepIdenticalValues) {
  for (const TreeTest& test : {kTreeTests[0], kTreeTests[1], kTreeTests[3]}) {
    const std::vector<float> one = tree_loop_values(1, test, true);
    EXPECT_EQ(bits(tree_loop_values(2, test, true)), bits(one)) << "mode " << test.mode;
    EXPECT_EQ(bits(tree_loop_values(3, test, true)), bits(one)) << "mode " << test.mode;
  }
}

// Placing species on tips gives the divergences that exchanging rows of the
// observed table gives (mode -1: the table recomputed for the permuted tips).
TEST_F(CladeRandomizations, PlaceSpeciesWhereTheMatricesPutThem) {
  for (const TreeTest& test : kTreeTests) {
    RunState state = tree_community(1);
    const MatrixRandomizer randomizer = tree_randomizer(state, test, true);
    ASSERT_TRUE(randomizer.clades);
    core::FMatrix by_matrix = state.divergences, by_tree = state.divergences;
    core::IVector perm, placement, tips;
    std::mt19937 rng(static_cast<unsigned>(test.mode * 10 + 50));
    int unmapped_seen = 0;
    for (int i = 0; i < 60; ++i) {
      randomizer.draw(perm);
      if (i >= 40) {
        // Any permutation of the tips, empty ones included: species may land
        // on a tip of no species and keep their own row.
        std::shuffle(&perm[1], &perm[1] + state.n_tips, rng);
      }
      int unmapped = 0;
      if (test.mode == randomization::kPermuteAllSpecies) {
        randomization::place_species_on_tips(18, state.n_tips, state.leaf_of_species, perm, placement);
        phylogeny::compute_tree_divergences(state.phylogeny, placement, 18, by_matrix);
      } else {
        unmapped = randomization::apply_phylogeny_permutation(
            18, state.n_tips, state.leaf_of_species, state.species_of_leaf, perm, state.divergences, by_matrix);
      }
      EXPECT_EQ(randomizer.place(perm, tips), unmapped);
      unmapped_seen += unmapped;
      phylogeny::compute_tree_divergences(state.phylogeny, tips, 18, by_tree);
      for (int a = 1; a <= 18; ++a)
        for (int b = 1; b <= 18; ++b)
          ASSERT_EQ(bits({by_tree(a, b)}), bits({by_matrix(a, b)})) << "mode " << test.mode << " " << a << "," << b;
    }
    if (test.mode != randomization::kPermuteAllSpecies) {
      EXPECT_GT(unmapped_seen, 0) << "mode " << test.mode;
    }
  }
}

// A branch of zero length keeps the clade sums (the node merges into its
// parent); divergences that are path lengths do not.
TEST(CladeView, KeptForZeroLengthBranchesButNotForPathLengths) {
  RunState state = tree_community(1);
  EXPECT_NE(partition::clade_view(state.phylogeny), nullptr);
  RunState lengths = tree_community(1);
  lengths.phylogeny.origin = phylogeny::PhylogenyOrigin::kPathLengthTree;
  EXPECT_EQ(partition::clade_view(lengths.phylogeny), nullptr);
  RunState flat = tree_community(1);
  flat.phylogeny.nodes[static_cast<std::size_t>(phylogeny::node_of_number(flat.phylogeny, 21))].age = 4;
  const auto merged = partition::clade_view(flat.phylogeny);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->n_nodes(), state.phylogeny.n_nodes() - 1);
}

}  // namespace
}  // namespace quorvel::driver
