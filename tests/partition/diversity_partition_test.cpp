#include "partition/diversity_partition.hpp"

#include "phylogeny/newick_reader.hpp"
#include "phylogeny/tree_divergences.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "partition_compare.hpp"
#include "partition_fixtures.hpp"
#include "reference_partition.hpp"

namespace quorvel::partition {
namespace {

using testing::abundance_table;
using testing::limits;

struct BothRuns {
  PartitionTables fast;
  PartitionTables slow;
};

// Runs the fast partition and the reference loops on copies of the same data.
BothRuns run_both(const core::DMatrix& A, int data_type, const core::FMatrix* D, const std::vector<double>& t,
                  const PairSelection& selection = PairSelection(), PlotWeighting weighting = PlotWeighting::kEqual) {
  const int n = A.row_hi();
  const int s = A.col_hi();
  const core::DVector limit = limits(t);
  BothRuns run{make_partition_tables(n), make_partition_tables(n)};
  core::DMatrix a = A, b = A;
  compute_diversity_partition(n, s, a, data_type, selection, D, static_cast<int>(t.size()), limit, weighting, run.fast);
  reference::compute_diversity_partition(n, s, b, data_type, selection, D, static_cast<int>(t.size()), limit, weighting,
                                         run.slow);
  EXPECT_TRUE(testing::same_partition(run.fast, run.slow, n, static_cast<int>(t.size())));
  return run;
}

bool has_nan(const PartitionTables& t) {
  for (int code = 1; code <= 4; ++code) {
    for (int i = 0; i < t.pairwise[code].nrows() * t.pairwise[code].ncols(); ++i)
      if (std::isnan(t.pairwise[code].data()[i])) return true;
    for (int i = 0; i < t.interval[code].nrows() * t.interval[code].ncols(); ++i)
      if (std::isnan(t.interval[code].data()[i])) return true;
  }
  for (int i = 0; i < t.species_pairs.nrows() * t.species_pairs.ncols(); ++i)
    if (std::isnan(t.species_pairs.data()[i])) return true;
  return false;
}

TEST(DiversityPartition, WorkedExampleWithoutDivergences) {
  // Plot 1: species x and y at 0.5 each; plot 2: x and z at 0.5 each.
  const core::DMatrix A = abundance_table({{0.5, 0.5, 0}, {0.5, 0, 0.5}});
  const BothRuns run = run_both(A, kRelativeAbundanceData, nullptr, {0, 1});
  const PartitionTables& t = run.fast;
  EXPECT_DOUBLE_EQ(t.interval[kStatisticI][0][0], 0.5);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticI][1][0], 0.75);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticI][0][0], 1.0f / 3);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticI][1][2], 1.0f / 3);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticI][2][1], 1.0f / 3);
  // Every distinct-species pair has divergence 1: M equals F.
  EXPECT_DOUBLE_EQ(t.interval[kStatisticP][0][0], 0.5);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticP][0][0], 1.0f / 3);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPStar][0][0], 1.0);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPStar][1][0], 1.0);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticPStar][0][0], 0.0f);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPI][1][0], 1.0);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticPI][0][0], 0.0f);
  // Without a divergence matrix there is no species pool.
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPI][2][0], 0.0);
}

// The partition from a tree (clade sums) on the same data, for the counts
// tests: tips 1..3 for species 1..3, ((1,2):1,3):3.
PartitionTables clade_run(const core::DMatrix& A) {
  phylogeny::Phylogeny tree = phylogeny::read_newick_tree("((a:1,b:1):2,c:3);", true, 3);
  core::NameTable names;
  phylogeny::species_from_tips(tree, names);
  const SpeciesDistances clades = phylogeny_distances(tree, clade_view(tree));
  EXPECT_NE(clades.clades, nullptr);
  core::DMatrix a = A;
  PartitionTables t = make_partition_tables(A.row_hi());
  PartitionWorkspace ws;
  compute_diversity_partition(A.row_hi(), A.col_hi(), a, kCountData, PairSelection(), clades, 3, limits({0, 1, 3}),
                              PlotWeighting::kEqual, t, ws);
  return t;
}

TEST(DiversityPartition, CountsDrawTwoDifferentIndividualsOfThePlot) {
  // Counts 2 and 2: two distinct individuals belong to different species with
  // probability 2/3 (the plain estimator would give 1/2).
  {
    const BothRuns run = run_both(abundance_table({{2, 2}}), kCountData, nullptr, {0, 1});
    EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticI][0][0], 2.0 / 3);
    EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticI][0][1], 1.0 / 3);
    EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticP][0][0], 2.0 / 3);
    EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticPStar][0][0], 1.0);
  }
  // Counts 3, 1, 2 (N = 6) on ((1,2):1,3):3. Unbiased Gini-Simpson:
  // 1 - (3*2 + 0 + 2*1)/(6*5) = 22/30. Unbiased Rao: N/(N - 1) times the sum
  // over ordered distinct pairs p_i p_j d_ij = 6/5 * 2 * (3*1*1 + 3*2*3 + 1*2*3)/36.
  // Plot 2 (counts 1 and 1) gives 1 for both.
  const core::DMatrix A = abundance_table({{3, 1, 2}, {1, 0, 1}});
  const core::FMatrix D = testing::divergence_matrix(3, {{1, 3}, {3}});
  const double gini = 22.0 / 30, rao = 6.0 / 5 * 2 * (3 + 18 + 6) / 36.0;
  const BothRuns run = run_both(A, kCountData, &D, {0, 1, 3});
  const PartitionTables by_tree = clade_run(A);
  for (const PartitionTables* t : {&run.fast, &by_tree}) {
    EXPECT_DOUBLE_EQ((*t).interval[kStatisticI][0][0], (gini + 1) / 2);
    EXPECT_DOUBLE_EQ((*t).interval[kStatisticP][0][0], (rao + 3) / 2);
    // P*: the same terms over the pairs of distinct species.
    EXPECT_DOUBLE_EQ((*t).interval[kStatisticPStar][0][0], (rao / gini + 3) / 2);
    // Interval 1 (same species) of plot 1 and 2: 8/30 and 0.
    EXPECT_DOUBLE_EQ((*t).interval[kStatisticI][0][1], (8.0 / 30) / 2);
    // Among plots nothing changes: 1 - (3/6 * 1/2 + 2/6 * 1/2).
    EXPECT_DOUBLE_EQ((*t).interval[kStatisticI][1][0], 1 - (0.25 + 1.0 / 6));
  }
  EXPECT_TRUE(testing::same_partition(run.fast, by_tree, 2, 3));
}

TEST(DiversityPartition, PlotsWithoutCommonSpecies) {
  const core::DMatrix A = abundance_table({{0.5, 0.5, 0, 0}, {0, 0, 0.25, 0.75}});
  const BothRuns run = run_both(A, kRelativeAbundanceData, nullptr, {0, 1});
  const double dk = 0.5, dl = 1 - (0.25 * 0.25 + 0.75 * 0.75);
  EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticI][1][0], 1.0);
  EXPECT_FLOAT_EQ(run.fast.pairwise[kStatisticI][1][2], static_cast<float>(1 - (dk + dl) / 2));
}

TEST(DiversityPartition, DivergenceBeyondTheLastLimitFallsInTheLastInterval) {
  const core::FMatrix D = testing::divergence_matrix(3, {{5, 0.5f}, {5}});
  const core::DMatrix A = abundance_table({{1, 1, 0}, {0, 1, 1}});
  const BothRuns run = run_both(A, kRelativeAbundanceData, &D, {0, 1, 2});
  const IntervalPartition& I = run.fast.interval[kStatisticI];
  // Plot 1: pairs (a,b) and (b,a) at divergence 5, in interval 3.
  EXPECT_DOUBLE_EQ(I[0][3], 0.5);
  EXPECT_DOUBLE_EQ(I[0][2], 0.0);
  // Species pool: three pairs, divergences 5, 0.5, 5.
  EXPECT_NEAR(run.fast.interval[kStatisticPI][2][0], 10.5 / 3, 1e-12);
  EXPECT_DOUBLE_EQ(run.fast.species_pairs[2][2], 1.0);
  EXPECT_DOUBLE_EQ(run.fast.species_pairs[2][3], 2.0);
  EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticPI][2][3], 10.5 / 3);  // cumulative from interval 2
}

TEST(DiversityPartition, PlotsWithoutAWithinValueAreLeftOutOfThatStatisticOnly) {
  // Counts of species a, b, c; d(a,b) = 1, d(a,c) = 2, d(b,c) = 3; limits 0, 1, 3.
  // p1 one individual (no within value of any statistic), p2 one species
  // (no P* nor PI), p3 empty (out of everything), p4 = {a, b}, p5 = {b, b, c}.
  // By hand (two different individuals drawn within a plot):
  //   within I: p2 0, p4 1, p5 2/3; P: 0, 1, 2; P*: -, 1, 3; PI: -, 1, 3;
  //   among I: (2,4) 1/2, (2,5) 1/3, (4,5) 2/3; P: 1/2, 1, 7/6;
  //   P* (4,5): M / (1 - F1) = (7/6) / (2/3) = 7/4; PI (4,5): (1 + 2 + 3)/3 = 2.
  const core::DMatrix A = abundance_table({{1, 0, 0}, {0, 3, 0}, {0, 0, 0}, {1, 1, 0}, {0, 2, 1}});
  const core::FMatrix D = testing::divergence_matrix(3, {{1, 2}, {3}});
  const BothRuns run = run_both(A, kCountData, &D, {0, 1, 3});
  const PartitionTables& t = run.fast;
  EXPECT_FALSE(has_nan(t));
  EXPECT_DOUBLE_EQ(t.interval[kStatisticI][0][0], 5.0 / 9);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticI][1][0], 0.5);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticI][0][0], static_cast<float>(-1.0 / 9));
  EXPECT_DOUBLE_EQ(t.interval[kStatisticP][0][0], 1.0);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticP][1][0], 8.0 / 9);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticP][0][0], -0.125f);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPStar][0][0], 2.0);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPStar][1][0], 1.75);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticPStar][0][0], static_cast<float>(-1.0 / 7));
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPI][0][0], 2.0);
  EXPECT_DOUBLE_EQ(t.interval[kStatisticPI][1][0], 2.0);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticPI][0][0], 0.0f);
  // The pairwise values of a plot left out of a statistic are missing.
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticI][2][4], 0.0f);
  EXPECT_EQ(t.pairwise[kStatisticPStar][2][4], MISSING_VALUE_F);
  EXPECT_EQ(t.pairwise[kStatisticI][1][4], MISSING_VALUE_F);
  EXPECT_EQ(t.pairwise[kStatisticI][3][4], MISSING_VALUE_F);
  EXPECT_FLOAT_EQ(t.pairwise[kStatisticPStar][4][5], static_cast<float>(-1.0 / 7));
  // Named per quantity and column; the empty plot never.
  using Plots = std::vector<int>;
  EXPECT_EQ(t.left_out.plots(kQuantityI, 0), Plots({1}));
  EXPECT_EQ(t.left_out.plots(kQuantityP, 0), Plots({1}));
  EXPECT_EQ(t.left_out.plots(kQuantityPStar, 0), Plots({1, 2}));
  EXPECT_EQ(t.left_out.plots(kQuantityPI, 0), Plots({1, 2}));
  EXPECT_EQ(t.left_out.plots(kQuantityPStar, 1), Plots());
  // Column t = 1: p5 has no two species at most 1 apart; its proportion of
  // species pairs there is 0, a value.
  EXPECT_EQ(t.left_out.plots(kQuantityPStar, 2), Plots({1, 2, 5}));
  EXPECT_EQ(t.left_out.plots(kQuantityPI, 2), Plots({1, 2, 5}));
  EXPECT_EQ(t.left_out.plots(kQuantityS, 2), Plots({1, 2}));
  EXPECT_EQ(t.left_out.plots(kQuantityPStar, 3), Plots({1, 2}));
  // S in column 2: within (1 + 0)/2; among (4,5): one of the three pairs of
  // distinct species is at most 1 apart. P* in column 2: one plot, no pair.
  EXPECT_DOUBLE_EQ(t.species_pairs[0][2], 0.5);
  EXPECT_DOUBLE_EQ(t.species_pairs[1][2], 1.0 / 3);
  EXPECT_TRUE(is_missing(t.interval[kStatisticPStar][0][2]));
}

TEST(DiversityPartition, UndefinedRatiosAreMissingNeverNaN) {
  // Two plots sharing their single species: no pair of distinct species at all.
  {
    const core::DMatrix A = abundance_table({{1, 0}, {1, 0}});
    const BothRuns run = run_both(A, kRelativeAbundanceData, nullptr, {0, 1});
    EXPECT_FALSE(has_nan(run.fast));
    EXPECT_TRUE(is_missing(run.fast.interval[kStatisticPI][1][0]));
    EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticI][1][0], 0.0);
    EXPECT_EQ(run.fast.pairwise[kStatisticI][1][2], MISSING_VALUE_F);  // among value 0
  }
  // No selected pair (every plot in a category of its own) and a pool of one species.
  {
    const core::DMatrix A = abundance_table({{1, 0}, {1, 0}});
    const core::FMatrix D = testing::divergence_matrix(2, {{1}});
    core::IVector categories = core::ivector(0, 2);
    categories[1] = 1;
    categories[2] = 2;
    PairSelection within;
    within.mode = 1;
    within.categories = &categories;
    const BothRuns run = run_both(A, kRelativeAbundanceData, &D, {0, 1}, within);
    EXPECT_FALSE(has_nan(run.fast));
    for (int code = 1; code <= 4; ++code) {
      EXPECT_EQ(run.fast.pairwise[code][0][0], MISSING_VALUE_F);
      EXPECT_EQ(run.fast.pairwise[code][1][2], MISSING_VALUE_F);
      EXPECT_TRUE(is_missing(run.fast.interval[code][0][0]));
    }
    EXPECT_TRUE(is_missing(run.fast.interval[kStatisticPI][2][0]));
    EXPECT_TRUE(is_missing(run.fast.interval[kStatisticPStar][2][0]));
  }
}

TEST(DiversityPartition, ASinglePlotWithIndividualsGivesTheWithinValues) {
  // The empty plot is out of the analysis: the data are one plot.
  const core::DMatrix A = abundance_table({{0, 0}, {1, 3}});
  const BothRuns run = run_both(A, kCountData, nullptr, {0, 1});
  EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticI][0][0], 0.5);  // 1 - (3 * 2) / (4 * 3)
  EXPECT_TRUE(is_missing(run.fast.interval[kStatisticI][1][0]));
  EXPECT_EQ(run.fast.pairwise[kStatisticI][0][0], MISSING_VALUE_F);
}

TEST(DiversityPartition, TheSpeciesPoolIsEveryPresentSpecies) {
  // Plot 2 has no weight (a category selection left it out): its species c
  // stays in the pool, whatever row 0 holds on entry, with weight 0 in Dp*.
  core::DMatrix A = abundance_table({{0.5, 0.5, 0}, {0, 0, 1}, {0.25, 0.75, 0}});
  A[2][0] = 0;
  A[0][0] = A[1][0] + A[3][0];
  for (int j = 1; j <= 3; ++j) A[0][j] = 0;
  const core::FMatrix D = testing::divergence_matrix(3, {{1, 4}, {2}});
  const BothRuns run = run_both(A, kRelativeAbundanceData, &D, {0, 1});
  EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticPI][2][0], 7.0 / 3);  // (1 + 4 + 2) / 3
  EXPECT_DOUBLE_EQ(run.fast.interval[kStatisticPStar][2][0], 1.0);   // only a and b weigh
}

TEST(DiversityPartition, SpeciesWithoutDivergencesAreLeftOut) {
  // Species 3 has no divergence (no tip): the partition equals that of the
  // data without it, the other frequencies renormalised.
  const core::FMatrix full = testing::divergence_matrix(3, {{2, MISSING_VALUE_F}, {MISSING_VALUE_F}});
  core::FMatrix with_gap = full;
  with_gap[3][3] = MISSING_VALUE_F;
  const core::FMatrix reduced = testing::divergence_matrix(2, {{2}});
  const core::DMatrix A = abundance_table({{0.2, 0.3, 0.5}, {0.6, 0.2, 0.2}, {0.1, 0.1, 0.8}});
  const core::DMatrix B = abundance_table({{0.4, 0.6}, {0.75, 0.25}, {0.5, 0.5}});
  const BothRuns gap = run_both(A, kRelativeAbundanceData, &with_gap, {0, 1, 3});
  const BothRuns without = run_both(B, kRelativeAbundanceData, &reduced, {0, 1, 3});
  EXPECT_TRUE(testing::same_partition(gap.fast, without.fast, 3, 3));
}

TEST(DiversityPartition, PairsOutsideTheSelectionKeepTheirCells) {
  const core::DMatrix A = abundance_table({{1, 2, 0}, {0, 1, 1}, {3, 0, 1}});
  core::IVector categories = core::ivector(0, 3);
  categories[1] = 1;
  categories[2] = 2;
  categories[3] = 1;
  PairSelection within;
  within.mode = 1;
  within.categories = &categories;
  const BothRuns run = run_both(A, kCountData, nullptr, {0, 1}, within);
  EXPECT_NE(run.fast.pairwise[kStatisticI][1][3], MISSING_VALUE_F);
  EXPECT_EQ(run.fast.pairwise[kStatisticI][1][2], MISSING_VALUE_F);
  EXPECT_EQ(run.fast.pairwise[kStatisticI][2][3], MISSING_VALUE_F);
}

TEST(DiversityPartition, PooledFrequenciesAreWeightedByPlotTotals) {
  core::DMatrix A = abundance_table({{1, 3}, {4, 0}});
  PartitionTables t = make_partition_tables(2);
  compute_diversity_partition(2, 2, A, kCountData, PairSelection(), nullptr, 2, limits({0, 1}),
                              PlotWeighting::kPlotTotal, t);
  EXPECT_DOUBLE_EQ(A[0][1], (4 * 0.25 + 4 * 1.0) / 8);
  compute_diversity_partition(2, 2, A, kCountData, PairSelection(), nullptr, 2, limits({0, 1}), PlotWeighting::kEqual,
                              t);
  EXPECT_DOUBLE_EQ(A[0][1], (0.25 + 1.0) / 2);
}

}  // namespace
}  // namespace quorvel::partition
