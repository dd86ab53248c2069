// A plot-level section derives its plots, its pair selection and its species
// from the data set, in a table of its own: the data set stays as loaded.
#include "driver/plot_section_data.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/constants.hpp"
#include "partition/diversity_partition.hpp"
#include "section_run.hpp"
#include "support/test_support.hpp"

namespace quorvel::driver {
namespace {

void expect_same_table(const core::DMatrix& a, const core::DMatrix& b) {
  ASSERT_EQ(a.row_hi(), b.row_hi());
  ASSERT_EQ(a.col_hi(), b.col_hi());
  for (int k = a.row_lo(); k <= a.row_hi(); ++k)
    for (int j = a.col_lo(); j <= a.col_hi(); ++j) EXPECT_EQ(a(k, j), b(k, j)) << k << "," << j;
}

// Two plots {a: 2, zz: 10} and {b: 2, zz: 10}; zz has no divergence.
SectionRun unknown_species_run() {
  SectionRun run;
  const double counts[2][3] = {{2, 0, 10}, {0, 2, 10}};
  run.data.community = count_community(counts);
  run.data.n_species = run.codes.n_species = 3;
  run.data.species_names = run.data.community.species_names;
  run.data.positions.list = input::plots_without_list(2);
  run.codes.analysis_level = kPlotLevel;
  run.codes.phylogeny_kind = kDivergenceFile;
  core::FMatrix& divergences = run.data.phylogeny.divergences;
  divergences = core::matrix(0, 3, 0, 3);
  divergences.fill(MISSING_VALUE_F);
  divergences(1, 1) = divergences(2, 2) = divergences(3, 3) = 0;
  divergences(1, 2) = divergences(2, 1) = 1;
  return run;
}

TEST(PlotSectionData, SpeciesWithoutDivergencesLeaveTheSectionNotTheDataSet) {
  SectionRun run = unknown_species_run();
  const core::DMatrix loaded = run.data.community.abundances;
  PlotSectionData data = plot_section_data(run.inputs(), partition::table_distances(&run.data.phylogeny.divergences));
  const core::DMatrix& A = data.community.abundances;
  // Each plot keeps its 2 individuals of a known species.
  EXPECT_EQ(A(1, 0), 2.0);
  EXPECT_EQ(A(1, 1), 1.0);
  EXPECT_EQ(A(1, 3), 0.0);
  EXPECT_EQ(A(0, 0), 4.0);
  EXPECT_DOUBLE_EQ(A(0, 2), 0.5);
  // Ist no longer depends on the unknown species: the plots share nothing.
  PlotSection section = make_plot_section(
      run.inputs(), data, partition::table_distances(&run.data.phylogeny.divergences), kPhylogenyAnalysis, true);
  partition::compute_observed_partition(section, data.community.abundances, kCountData, 0);
  EXPECT_DOUBLE_EQ(section.tables.interval[partition::kStatisticI](1, 0), 1.0);
  EXPECT_DOUBLE_EQ(section.tables.interval[partition::kStatisticI](0, 0), 0.0);
  EXPECT_FLOAT_EQ(section.tables.pairwise[partition::kStatisticI](0, 0), 1.0f);
  // The data set is as loaded, and a section without distances keeps every
  // species.
  expect_same_table(run.data.community.abundances, loaded);
  expect_same_table(plot_section_data(run.inputs(), partition::SpeciesDistances()).community.abundances, loaded);
  // Every species related to another: nothing changes.
  run.data.phylogeny.divergences(1, 3) = run.data.phylogeny.divergences(3, 1) = 2;
  expect_same_table(
      plot_section_data(run.inputs(), partition::table_distances(&run.data.phylogeny.divergences)).community.abundances,
      loaded);
}

// Six plots of categories A, B, C, A, B, C with two species.
SectionRun categories_run() {
  SectionRun run;
  const double counts[6][2] = {{1, 2}, {3, 1}, {2, 2}, {4, 1}, {1, 5}, {2, 3}};
  run.data.community = count_community(counts);
  run.data.n_species = run.codes.n_species = 2;
  run.codes.analysis_level = kPlotLevel;
  input::PlotList& plots = run.data.positions.list;
  plots = input::plots_without_list(6);
  plots.n_categories = 3;
  plots.category_names = testing::name_list({"A", "B", "C"});
  for (int k = 1; k <= 6; ++k) plots.plot_category[k] = 1 + (k - 1) % 3;
  return run;
}

TEST(PlotSectionData, APairSelectionWithinOneCategoryDropsTheOtherPlots) {
  SectionRun run = categories_run();
  run.settings.pair_selection_mode = 1;
  run.settings.pair_category_1 = "B";
  const core::DMatrix loaded = run.data.community.abundances;
  const PlotSectionData data = plot_section_data(run.inputs(), partition::SpeciesDistances());
  EXPECT_EQ(data.pair_key1, 2);
  EXPECT_EQ(data.pair_key2, 0);
  const core::DMatrix& A = data.community.abundances;
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(A(k, 0), k == 2 || k == 5 ? loaded(k, 0) : 0.0) << "plot " << k;
    EXPECT_EQ(A(k, 1), loaded(k, 1));  // relative abundances stay
  }
  EXPECT_DOUBLE_EQ(A(0, 0), loaded(2, 0) + loaded(5, 0));
  expect_same_table(run.data.community.abundances, loaded);
  // The plots of the selection, and its empty plots.
  const PlotSection section =
      make_plot_section(run.inputs(), data, partition::SpeciesDistances(), kPlainAnalysis, true);
  EXPECT_EQ(plots_in_selection(section), (std::vector<int>{2, 5}));
  EXPECT_TRUE(section.empty_plots.empty());
}

TEST(PlotSectionData, BetweenTwoCategoriesKeepsBothAndWithoutNamesKeepsAll) {
  SectionRun between = categories_run();
  between.settings.pair_selection_mode = 2;
  between.settings.pair_category_1 = "A";
  between.settings.pair_category_2 = "C";
  const PlotSectionData data = plot_section_data(between.inputs(), partition::SpeciesDistances());
  EXPECT_EQ(data.pair_key1, 1);
  EXPECT_EQ(data.pair_key2, 3);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(data.community.abundances(k, 0) == 0.0, k == 2 || k == 5) << k;

  SectionRun within = categories_run();
  within.settings.pair_selection_mode = 1;
  const PlotSectionData all = plot_section_data(within.inputs(), partition::SpeciesDistances());
  EXPECT_EQ(all.pair_key1, 0);
  expect_same_table(all.community.abundances, within.data.community.abundances);
}

// At analysis level 3 the plots are the groups of individuals standing at
// one position, with the counts of their species and their positions.
TEST(PlotSectionData, GroupsOfIndividualsAreThePlotsOfLevelThree) {
  SectionRun run;
  run.codes.analysis_level = kGroupedIndividuals;
  run.data.n_species = run.codes.n_species = 2;
  run.data.species_names = testing::name_list({"a", "b"});
  Individuals& individuals = run.data.individuals;
  const double xs[] = {0, 0, 0, 7, 7}, ys[] = {1, 1, 1, 2, 2};
  const int species[] = {1, 2, 1, 2, 0};
  individuals.species = core::ivector(0, 5);
  core::DVector x = core::dvector(0, 5), y = core::dvector(0, 5);
  for (int i = 1; i <= 5; ++i) {
    x[i] = xs[i - 1];
    y[i] = ys[i - 1];
    individuals.species[i] = species[i - 1];
  }
  individuals.position_groups = individuals::group_individuals_by_position(5, x, y);
  const PlotSectionData data = plot_section_data(run.inputs(), partition::SpeciesDistances());
  ASSERT_EQ(data.n_plots(), 2);
  EXPECT_EQ(data.community.plot_names[2], "2");
  EXPECT_EQ(data.community.data_type, kCountData);
  EXPECT_EQ(data.community.abundances(1, 0), 3.0);
  EXPECT_DOUBLE_EQ(data.community.abundances(1, 1), 2.0 / 3);
  EXPECT_EQ(data.community.abundances(2, 0), 1.0);  // the individual without species is left out
  EXPECT_EQ(data.plots.x[2], 7.0);
  EXPECT_EQ(data.plots.y[1], 1.0);
  EXPECT_EQ(data.plot_distances, nullptr);  // distances from the positions
}

}  // namespace
}  // namespace quorvel::driver
