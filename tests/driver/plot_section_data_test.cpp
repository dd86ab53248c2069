// Species that a plot-level section cannot relate to the others (no tip in
// the tree, no trait value) leave the section as a whole.
#include "driver/plot_section_data.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/constants.hpp"
#include "partition/diversity_partition.hpp"

namespace quorvel::driver {
namespace {

// Two plots {a: 2, zz: 10} and {b: 2, zz: 10}, counts; zz has no divergence.
RunState unknown_species_run() {
  RunState state;
  state.settings.n_matrix_plots = 2;
  state.codes.n_species = 3;
  state.data_type = 2;
  state.species_names = core::name_table(0, 3);
  state.species_names[1] = "a";
  state.species_names[2] = "b";
  state.species_names[3] = "zz";
  state.abundances = core::dmatrix(0, 2, 0, 3);
  const double rows[3][4] = {
      {24, 2.0 / 24, 2.0 / 24, 20.0 / 24}, {12, 2.0 / 12, 0, 10.0 / 12}, {12, 0, 2.0 / 12, 10.0 / 12}};
  for (int k = 0; k <= 2; ++k)
    for (int j = 0; j <= 3; ++j) state.abundances(k, j) = rows[k][j];
  state.divergences = core::matrix(0, 3, 0, 3);
  state.divergences.fill(MISSING_VALUE_F);
  state.divergences(1, 1) = state.divergences(2, 2) = state.divergences(3, 3) = 0;
  state.divergences(1, 2) = state.divergences(2, 1) = 1;
  return state;
}

TEST(SectionSpecies, SpeciesWithoutDivergencesLeaveEveryStatistic) {
  RunState state = unknown_species_run();
  const core::DMatrix full = state.abundances;
  EXPECT_EQ(
      partition::species_without_distances(partition::table_distances(&state.divergences), state.abundances, 2, 3),
      std::vector<int>{3});
  {
    const SectionSpecies species(state, partition::table_distances(&state.divergences));
    const core::DMatrix& A = state.abundances;
    // Each plot keeps its 2 individuals of a known species.
    EXPECT_EQ(A(1, 0), 2.0);
    EXPECT_EQ(A(1, 1), 1.0);
    EXPECT_EQ(A(1, 3), 0.0);
    EXPECT_EQ(A(0, 0), 4.0);
    EXPECT_DOUBLE_EQ(A(0, 2), 0.5);
    // Ist no longer depends on the unknown species: the plots share nothing.
    partition::PartitionTables tables = partition::make_partition_tables(2);
    core::DVector limits = core::dvector(0, 2);
    limits[1] = 0;
    limits[2] = 1;
    partition::compute_diversity_partition(2, 3, state.abundances, 2, partition::PairSelection(), &state.divergences, 2,
                                           limits, partition::PlotWeighting::kEqual, tables);
    EXPECT_DOUBLE_EQ(tables.interval[partition::kStatisticI](1, 0), 1.0);
    EXPECT_DOUBLE_EQ(tables.interval[partition::kStatisticI](0, 0), 0.0);
    EXPECT_FLOAT_EQ(tables.pairwise[partition::kStatisticI](0, 0), 1.0f);
  }
  // The next section sees the full table again.
  for (int k = 0; k <= 2; ++k)
    for (int j = 0; j <= 3; ++j) EXPECT_EQ(state.abundances(k, j), full(k, j)) << k << "," << j;
}

TEST(SectionSpecies, NothingChangesWithoutDistancesOrWhenEverySpeciesIsRelated) {
  RunState state = unknown_species_run();
  const core::DMatrix full = state.abundances;
  {
    const SectionSpecies none(state, partition::SpeciesDistances());
    EXPECT_EQ(state.abundances(1, 3), full(1, 3));
  }
  state.divergences(1, 3) = state.divergences(3, 1) = 2;
  {
    const SectionSpecies all(state, partition::table_distances(&state.divergences));
    EXPECT_EQ(state.abundances(1, 3), full(1, 3));
    EXPECT_EQ(state.abundances(1, 0), full(1, 0));
  }
  // A species without divergences but absent from every plot is not named.
  state.divergences(1, 3) = state.divergences(3, 1) = MISSING_VALUE_F;
  state.abundances(1, 3) = state.abundances(2, 3) = 0;
  EXPECT_TRUE(
      partition::species_without_distances(partition::table_distances(&state.divergences), state.abundances, 2, 3)
          .empty());
}

TEST(SectionSpecies, DescriptionNamesTheFirstTwentySpecies) {
  core::NameTable names = core::name_table(0, 25);
  std::vector<int> species;
  for (int j = 1; j <= 25; ++j) {
    names[j] = "s" + std::to_string(j);
    species.push_back(j);
  }
  EXPECT_EQ(species_name_list({2, 5}, names), "s2, s5");
  const std::string list = species_name_list(species, names);
  EXPECT_EQ(list.substr(0, 12), "s1, s2, s3, ");
  EXPECT_EQ(list.substr(list.size() - 21), ", s19, s20 and 5 more");

  RunState state = unknown_species_run();
  state.codes.phylogeny_kind = kDivergenceFile;
  state.phylogeny.origin = phylogeny::PhylogenyOrigin::kDivergenceFile;
  state.phylogeny.divergences = state.divergences;
  EXPECT_EQ(phylogeny_left_out_description(state),
            "\nSpecies of the plots without divergences (not in the phylogeny), left out of the PLOTS x PHYLO "
            "analyses: 1: zz");
  EXPECT_EQ(traits_left_out_description(state), "");
}

}  // namespace
}  // namespace quorvel::driver
