// The randomization loops of the plot-level tests give, for any number of
// workers, exactly the values of a plain one-by-one loop on the same stream;
// the pair selection is prepared once; weights follow the plot filter.
#include "driver/plot_randomization_loops.hpp"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/constants.hpp"
#include "driver/plot_section_data.hpp"
#include "driver/plot_test_store.hpp"
#include "driver/plot_tests.hpp"
#include "partition/diversity_partition.hpp"
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

MatrixRandomizer species_randomizer(RunState& state, float mode, const core::FVector& weights) {
  MatrixRandomizer randomizer;
  randomizer.draw = [&state, mode, weights](core::IVector& perm) {
    randomization::draw_trait_permutation(mode, weights, state.codes.n_species, perm, state.generator);
  };
  randomizer.apply = [&state](const core::IVector& perm, core::FMatrix& out, core::IVector&) {
    randomization::apply_trait_permutation(state.codes.n_species, perm, state.divergences, out);
    return 0;
  };
  return randomizer;
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
  PlotSection section = make_plot_section(state, &state.divergences, kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  const core::FVector weights = permutation_weights(state, 3.0f, false);
  std::vector<float> values;
  run_partition_randomizations(state, section, n, species_randomizer(state, 3.0f, weights), true, 3,
                               [&](const PartitionOutcome& outcome, int) {
                                 for (int code = 1; code <= 4; ++code) {
                                   values.push_back(static_cast<float>(outcome.within[code]));
                                   values.push_back(static_cast<float>(outcome.among[code]));
                                   values.push_back(outcome.st[code]);
                                 }
                                 for (int code = 2; code <= 4; ++code)
                                   for (int e = -20; e <= section.classes.classes + 3; ++e)
                                     values.push_back(outcome.rows[code][e]);
                                 for (const double v : outcome.interval) values.push_back(static_cast<float>(v));
                               });
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
  PlotSection section = make_plot_section(state, &state.divergences, kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  const core::FVector weights = permutation_weights(state, 0.0f, false);
  std::vector<float> engine;
  run_partition_randomizations(state, section, 70, species_randomizer(state, 0.0f, weights), false, 0,
                               [&](const PartitionOutcome& outcome, int) {
                                 for (int code = 1; code <= 4; ++code) engine.push_back(outcome.st[code]);
                               });
  // The same randomizations one by one, from a fresh stream with the same seed.
  RunState plain = community(1);
  PlotSection plain_section = make_plot_section(plain, &plain.divergences, kPhylogenyAnalysis, true);
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
    for (int code = 1; code <= 4; ++code) expected.push_back(tables.pairwise[code](0, 0));
  }
  EXPECT_EQ(bits(engine), bits(expected));
  // The stream moved exactly as far in both runs.
  EXPECT_EQ(state.generator.random_seed, plain.generator.random_seed);
}

std::vector<float> spatial_loop_values(int threads, int selection_mode) {
  RunState state = community(threads);
  state.settings.pair_selection_mode = selection_mode;
  PlotSection section = make_plot_section(state, &state.divergences, kPhylogenyAnalysis, true);
  compute_observed_partition(state, section);
  std::vector<float> values;
  run_spatial_randomizations(state, section, 99, [&](const partition::RegressionRow* rows, int) {
    for (int code = 1; code <= 4; ++code)
      for (int e = -20; e <= section.classes.classes + 3; ++e) values.push_back(rows[code][e]);
  });
  return values;
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

TEST(SummarizeValues, LeavesUndefinedRandomizationsOutAndGivesNoPValueWithoutObservation) {
  core::FVector v = core::vector(0, 5);
  v[0] = 0.5f;
  const float values[] = {0.1f, MISSING_VALUE_F, 0.9f, std::nanf(""), 0.3f};
  for (int i = 1; i <= 5; ++i) v[i] = values[i - 1];
  randomization::TestSummary summary;
  summarize_values(v, 5, summary);
  EXPECT_EQ(summary.distinct_count, 3);
  EXPECT_FLOAT_EQ(summary.mean, (0.1f + 0.9f + 0.3f) / 3);
  EXPECT_FLOAT_EQ(summary.p_upper, 2.0f / 4.0f);

  v[0] = MISSING_VALUE_F;
  for (int i = 1; i <= 5; ++i) v[i] = values[i - 1];
  summarize_values(v, 5, summary);
  EXPECT_EQ(summary.observed, MISSING_VALUE_F);
  EXPECT_EQ(summary.p_two_sided, MISSING_VALUE_F);
  EXPECT_EQ(summary.distinct_count, 3);
  EXPECT_EQ(one_minus_ratio(1.0, 0.0), MISSING_VALUE);
  EXPECT_EQ(one_minus_ratio(MISSING_VALUE, 2.0), MISSING_VALUE);
  EXPECT_DOUBLE_EQ(one_minus_ratio(1.0, 4.0), 0.75);
}

}  // namespace
}  // namespace quorvel::driver
