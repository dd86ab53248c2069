// The randomizations of the plot-level tests on a section the driver builds
// give, for any number of workers, exactly the values of a plain one-by-one
// loop on the same stream; weights follow the plot filter.
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
#include "partition/partition_workspace.hpp"
#include "partition/species_distances.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"
#include "randomization/plot_permutation.hpp"
#include "randomization/plot_tests.hpp"
#include "section_run.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

// 14 plots of 3 categories on a grid, 18 species with counts, divergences
// from a made-up classification (genus, family, order, beyond).
SectionRun community(int threads) {
  SectionRun run;
  const int n = 14, s = 18;
  run.settings.n_threads = threads;
  run.codes.n_species = s;
  run.codes.phylogeny_kind = kDivergenceFile;
  run.codes.spatial_kind = 2;
  run.codes.analysis_level = kPlotLevel;
  DataSet& data = run.data;
  data.n_species = s;
  input::Community& community = data.community;
  community.data_type = kCountData;
  community.abundances = core::dmatrix(0, n, 0, s);
  community.plot_names = core::name_table(0, n);
  community.species_names = core::name_table(0, s);
  input::PlotList& plots = data.positions.list;
  plots.x = core::dvector(0, n);
  plots.y = core::dvector(0, n);
  plots.plot_category = core::ivector(0, n);
  plots.n_categories = 3;
  plots.category_names = core::NameTable(0, 3);
  plots.category_names[1] = "A";
  plots.category_names[2] = "B";
  plots.category_names[3] = "C";
  core::DMatrix& A = community.abundances;
  for (int k = 1; k <= n; ++k) {
    community.plot_names[k] = "P" + std::to_string(k);
    plots.x[k] = (k - 1) % 4;
    plots.y[k] = (k - 1) / 4 * 1.5;
    plots.plot_category[k] = 1 + k % 3;
    double total = 0;
    for (int j = 1; j <= s; ++j) {
      const double count = ((k * 7 + j * 11) % 13 < 6) ? (k * j) % 9 + 1 : 0;
      A(k, j) = count;
      total += count;
    }
    A(k, 0) = total;
    for (int j = 1; j <= s; ++j) {
      A(0, j) += A(k, j);
      A(k, j) /= total;
    }
    A(0, 0) += total;
  }
  for (int j = 1; j <= s; ++j) A(0, j) /= A(0, 0);
  core::FMatrix& divergences = data.phylogeny.divergences;
  divergences = core::matrix(0, s, 0, s);
  data.phylogeny.origin = PhylogenyOrigin::kDivergenceFile;
  for (int i = 1; i <= s; ++i)
    for (int j = 1; j <= s; ++j) {
      const int a = i - 1, b = j - 1;
      divergences(i, j) = i == j ? 0.0f : a / 3 == b / 3 ? 1.0f : a / 6 == b / 6 ? 2.0f : a / 9 == b / 9 ? 3.0f : 4.0f;
    }
  input::Intervals& distance = data.intervals.distance;
  distance.n = 3;
  distance.limits = core::dvector(0, 6);
  distance.limits[1] = 1.2;
  distance.limits[2] = 2.5;
  distance.limits[3] = 4;
  input::Intervals& divergence = data.intervals.divergence;
  divergence.n = 4;
  divergence.limits = core::dvector(0, 4);
  for (int m = 1; m <= 4; ++m) divergence.limits[m] = m - 1;
  return run;
}

// The divergences of the run as the phylogeny section reads them: the table
// of a divergence file, or the tree (from its clade view with `use_clades`).
partition::SpeciesDistances run_divergences(const SectionRun& run, bool use_clades) {
  const Phylogeny& phylogeny = run.data.phylogeny;
  return partition::phylogeny_distances(phylogeny, use_clades ? partition::clade_view(phylogeny) : nullptr);
}

// The phylogeny section of a run: its own data and observed analysis.
struct ObservedSection {
  explicit ObservedSection(SectionRun& run, bool use_clades = false)
      : run_(run),
        data(plot_section_data(run.inputs(), run_divergences(run, use_clades))),
        section(make_plot_section(run.inputs(), data, run_divergences(run, use_clades), kPhylogenyAnalysis, true)) {
    partition::compute_observed_partition(section, data.community.abundances, data.community.data_type,
                                          data.plots.n_categories);
  }
  PlotSectionTests tests() const { return {inputs_, data, section, run_.generator, nullptr, run_.table}; }

  SectionRun& run_;
  const RunInputs inputs_ = run_.inputs();
  PlotSectionData data;
  PlotSection section;
};

using randomization::MatrixRandomizer;
using randomization::ValueStore;

// The node table of the run's tree, which the views of the tests borrow.
phylogeny::NodeTable tree_nodes;

// Weights of the tips (`by_tip`) or of the species for a permutation mode.
core::FVector permutation_weights(const ObservedSection& observed, float mode, bool by_tip) {
  tree_nodes = phylogeny::node_table(observed.run_.data.phylogeny);
  const randomization::PhylogenyView tree = phylogeny_view(observed.run_.data, tree_nodes);
  return randomization::plot_test_weights(plot_test_data(observed.tests()), by_tip ? &tree : nullptr, mode);
}

MatrixRandomizer species_randomizer(SectionRun& run, float mode, const core::FVector& weights) {
  return randomization::matrix_randomizer(run.data.phylogeny.divergences, run.codes.n_species, mode, weights,
                                          run.generator);
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
  SectionRun run = community(threads);
  const ObservedSection observed(run);
  const core::FVector weights = permutation_weights(observed, 3.0f, false);
  std::vector<float> values = randomized_values(
      randomization::run_partition_test(plot_test_data(observed.tests()), species_randomizer(run, 3.0f, weights), n));
  const std::vector<float> interval = randomized_values(
      randomization::run_interval_test(plot_test_data(observed.tests()), species_randomizer(run, 3.0f, weights), n, 3));
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
  SectionRun run = community(2);
  const ObservedSection observed(run);
  const core::FVector weights = permutation_weights(observed, 0.0f, false);
  const ValueStore store =
      randomization::run_partition_test(plot_test_data(observed.tests()), species_randomizer(run, 0.0f, weights), 70);
  const randomization::PlotTestLayout layout{observed.section.classes.classes};
  std::vector<float> engine;
  for (int i = 1; i <= 70; ++i)
    for (int code = 2; code <= 4; ++code) engine.push_back(store.values(i)[layout.global(code, 3)]);
  // The same randomizations one by one, from a fresh stream with the same seed.
  SectionRun plain = community(1);
  const ObservedSection plain_section(plain);
  const core::FMatrix& divergences = plain.data.phylogeny.divergences;
  core::DMatrix abundances = plain_section.data.community.abundances;
  std::vector<float> expected;
  core::FMatrix randomized = divergences;
  for (int i = 1; i <= 70; ++i) {
    randomization::permute_trait_distances(0.0f, weights, plain.codes.n_species, divergences, randomized,
                                           plain.generator);
    const PlotSection& section = plain_section.section;
    partition::PartitionTables tables = partition::make_partition_tables(section.n_plots);
    partition::PartitionWorkspace workspace;
    partition::compute_diversity_partition(section.n_plots, plain.codes.n_species, abundances, kCountData,
                                           section.selection, partition::table_distances(&randomized),
                                           section.n_intervals, section.limits, section.weighting, tables, workspace);
    for (int code = 2; code <= 4; ++code) expected.push_back(tables.pairwise[code](0, 0));
  }
  EXPECT_EQ(bits(engine), bits(expected));
  // The stream moved exactly as far in both runs.
  EXPECT_EQ(run.generator.random_seed, plain.generator.random_seed);
}

std::vector<float> spatial_loop_values(int threads, int selection_mode) {
  SectionRun run = community(threads);
  run.settings.pair_selection_mode = selection_mode;
  const ObservedSection observed(run);
  return randomized_values(randomization::run_spatial_test(plot_test_data(observed.tests()), 99));
}

TEST_F(SpatialRandomizations, OneTwoAndThreeWorkersKeepIdenticalRows) {
  for (const int mode : {0, 1}) {
    const std::vector<float> one = spatial_loop_values(1, mode);
    EXPECT_EQ(bits(spatial_loop_values(2, mode)), bits(one)) << "selection mode " << mode;
    EXPECT_EQ(bits(spatial_loop_values(3, mode)), bits(one)) << "selection mode " << mode;
  }
}

TEST(PermutationWeights, CountOccurrencesOrSumAbundancesOverThePlotsKept) {
  SectionRun run = community(1);
  run.settings.pair_selection_mode = 1;
  run.settings.pair_category_1 = "A";
  const ObservedSection observed(run);
  const core::FVector occurrences = permutation_weights(observed, 0.0f, false);
  const core::FVector abundances = permutation_weights(observed, 3.0f, false);
  const input::PlotList& plots = run.data.positions.list;
  const core::DMatrix& A = run.data.community.abundances;
  for (int j = 1; j <= 18; ++j) {
    float count = 0, sum = 0;
    for (int k = 1; k <= 14; ++k) {
      if (plots.plot_category[k] != 1 || A(k, j) == 0.0) continue;
      count += 1;
      sum = static_cast<float>(sum + A(k, j));
    }
    EXPECT_EQ(occurrences[j], count) << "species " << j;
    EXPECT_EQ(abundances[j], sum) << "species " << j;
  }
  // Tips without a species weigh nothing.
  Phylogeny& tree = run.data.phylogeny;
  tree.n_tips = 3;
  tree.species_of_tip = core::ivector(0, 3);
  tree.species_of_tip[1] = 5;
  tree.species_of_tip[3] = 2;
  const core::FVector tips = permutation_weights(observed, -2.0f, true);
  EXPECT_EQ(tips[1], occurrences[5]);
  EXPECT_EQ(tips[2], 0.0f);
  EXPECT_EQ(tips[3], occurrences[2]);
}

// The same community on a classification-like ultrametric tree: genera of 3
// tips at age 1, families of 2 genera at 2, orders at 3 (the last of one
// family only), the root at 4 with tip 19 on its own. Species 18 has no tip;
// tips 18 and 19 hold no species.
SectionRun tree_community(int threads) {
  SectionRun run = community(threads);
  const int s = 18, n_tips = 19;
  run.codes.phylogeny_kind = kUltrametricTree;
  const int n_nodes = n_tips + 1 + 2 + 3 + 6;
  phylogeny::NodeTable nodes(0, n_nodes + 1);
  auto link = [&nodes](int node, int parent, float age, int first, int last) {
    nodes[node].upper_node = parent;
    nodes[node].age = age;
    nodes[node].first_tip = first;
    nodes[node].last_tip = last;
  };
  const int root = n_tips + 1, first_order = root + 1, first_family = first_order + 2, first_genus = first_family + 3;
  link(root, 0, 4, 1, n_tips);
  link(first_order, root, 3, 1, 12);
  link(first_order + 1, root, 3, 13, 18);
  for (int f = 0; f < 3; ++f) {
    link(first_family + f, first_order + (f < 2 ? 0 : 1), 2, 6 * f + 1, 6 * f + 6);
    nodes[first_family + f].name = "Family" + std::to_string(f);
  }
  for (int g = 0; g < 6; ++g) link(first_genus + g, first_family + g / 2, 1, 3 * g + 1, 3 * g + 3);
  for (int tip = 1; tip <= 18; ++tip) link(tip, first_genus + (tip - 1) / 3, 0, tip, tip);
  link(19, root, 0, 19, 19);
  Phylogeny& tree = run.data.phylogeny;
  tree = phylogeny::compact_node_table(nodes, n_tips, n_nodes, PhylogenyOrigin::kDatedTree);
  tree.tip_of_species = core::ivector(0, s);
  tree.species_of_tip = core::ivector(0, n_tips);
  for (int j = 1; j <= 17; ++j) tree.tip_of_species[j] = tree.species_of_tip[j] = j;
  EXPECT_EQ(phylogeny::validate_phylogeny(tree), "");
  run.data.tree_divergences = core::matrix(0, s, 0, s);
  phylogeny::compute_tree_divergences(tree, tree.tip_of_species, s, run.data.tree_divergences);
  return run;
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

MatrixRandomizer tree_randomizer(SectionRun& run, const ObservedSection& observed, const TreeTest& test,
                                 bool use_clades) {
  randomization::PhylogenyPermutation permutation;
  permutation.sub_clade_age = test.sub_clade_age;
  permutation.restriction = test.restriction;
  permutation.clade_name = test.clade;
  permutation.mode = test.mode;
  permutation.weights = test.mode != randomization::kPermuteAllSpecies ? permutation_weights(observed, test.mode, true)
                                                                       : core::vector(0, run.data.phylogeny.n_tips);
  tree_nodes = phylogeny::node_table(run.data.phylogeny);
  tree_view = phylogeny_view(run.data, tree_nodes);
  return randomization::phylogeny_randomizer(
      tree_view, permutation, use_clades ? partition::clade_view(run.data.phylogeny) : nullptr, run.generator);
}

// Every value of a phylogeny test's randomizations, with the unmapped tips.
std::vector<float> tree_loop_values(int threads, const TreeTest& test, bool use_clades) {
  SectionRun run = tree_community(threads);
  const ObservedSection observed(run, use_clades);
  const MatrixRandomizer randomizer = tree_randomizer(run, observed, test, use_clades);
  EXPECT_EQ(randomizer.clades != nullptr, use_clades);
  std::vector<float> values =
      randomized_values(randomization::run_partition_test(plot_test_data(observed.tests()), randomizer, 60));
  const std::vector<float> interval =
      randomized_values(randomization::run_interval_test(plot_test_data(observed.tests()), randomizer, 60, 3));
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
    SectionRun run = tree_community(1);
    const ObservedSection observed(run, true);
    const MatrixRandomizer randomizer = tree_randomizer(run, observed, test, true);
    ASSERT_TRUE(randomizer.clades);
    const Phylogeny& tree = run.data.phylogeny;
    const core::FMatrix& divergences = run.data.tree_divergences;
    core::FMatrix by_matrix = divergences, by_tree = divergences;
    core::IVector perm, placement, tips;
    std::mt19937 rng(static_cast<unsigned>(test.mode * 10 + 50));
    int unmapped_seen = 0;
    for (int i = 0; i < 60; ++i) {
      randomizer.draw(perm);
      if (i >= 40) {
        // Any permutation of the tips, empty ones included: species may land
        // on a tip of no species and keep their own row.
        std::shuffle(&perm[1], &perm[1] + tree.n_tips, rng);
      }
      int unmapped = 0;
      if (test.mode == randomization::kPermuteAllSpecies) {
        randomization::place_species_on_tips(18, tree.n_tips, tree.tip_of_species, perm, placement);
        phylogeny::compute_tree_divergences(tree, placement, 18, by_matrix);
      } else {
        unmapped = randomization::apply_phylogeny_permutation(18, tree.n_tips, tree.tip_of_species, tree.species_of_tip,
                                                              perm, divergences, by_matrix);
      }
      EXPECT_EQ(randomizer.place(perm, tips), unmapped);
      unmapped_seen += unmapped;
      phylogeny::compute_tree_divergences(tree, tips, 18, by_tree);
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
  const SectionRun run = tree_community(1);
  EXPECT_NE(partition::clade_view(run.data.phylogeny), nullptr);
  SectionRun lengths = tree_community(1);
  lengths.data.phylogeny.origin = PhylogenyOrigin::kPathLengthTree;
  EXPECT_EQ(partition::clade_view(lengths.data.phylogeny), nullptr);
  SectionRun flat = tree_community(1);
  Phylogeny& tree = flat.data.phylogeny;
  tree.nodes[static_cast<std::size_t>(phylogeny::node_of_number(tree, 21))].age = 4;
  const auto merged = partition::clade_view(tree);
  ASSERT_NE(merged, nullptr);
  EXPECT_EQ(merged->n_nodes(), run.data.phylogeny.n_nodes() - 1);
}

}  // namespace
}  // namespace quorvel::driver
