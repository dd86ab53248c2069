#include "individuals/position_groups.hpp"

#include <gtest/gtest.h>

namespace quorvel::individuals {
namespace {

TEST(PositionGroups, GroupsConsecutiveIndividualsAtOnePosition) {
  // 10 individuals at 3 positions, sorted by position; the last position
  // comes back after another one and opens a new group.
  const double xs[] = {0, 0, 0, 0, 5, 5, 5, 9, 9, 0}, ys[] = {0, 0, 0, 0, 1, 1, 1, 2, 2, 0};
  core::DVector x = core::dvector(0, 10), y = core::dvector(0, 10);
  for (int i = 1; i <= 10; ++i) {
    x[i] = xs[i - 1];
    y[i] = ys[i - 1];
  }
  const PositionGroups groups = group_individuals_by_position(10, x, y);
  ASSERT_EQ(groups.n_groups, 4);
  const int expected[] = {0, 1, 1, 1, 1, 2, 2, 2, 3, 3, 4};
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(groups.group_of[i], expected[i]) << i;
  EXPECT_EQ(groups.size[1], 4);
  EXPECT_EQ(groups.x[2], 5);
  EXPECT_EQ(groups.y[3], 2);

  // Every individual at a position of its own: no groups.
  for (int i = 1; i <= 10; ++i) x[i] = i;
  EXPECT_EQ(group_individuals_by_position(10, x, y).n_groups, 0);
}

TEST(PositionGroups, AbundancesAreRelativeFrequenciesWithTotals) {
  const int group_of[] = {0, 1, 1, 1, 2, 2}, species[] = {0, 1, 2, 1, 2, 0};
  core::IVector groups = core::ivector(0, 5), species_of = core::ivector(0, 5);
  for (int i = 1; i <= 5; ++i) {
    groups[i] = group_of[i];
    species_of[i] = species[i];
  }
  const core::DMatrix abundances = build_group_abundances(5, 2, groups, 2, species_of);
  EXPECT_EQ(abundances(1, 0), 3);
  EXPECT_DOUBLE_EQ(abundances(1, 1), 2.0 / 3);
  EXPECT_EQ(abundances(2, 0), 1);  // the individual without species is left out
  EXPECT_EQ(abundances(2, 2), 1);
  EXPECT_EQ(abundances(0, 0), 4);
  EXPECT_DOUBLE_EQ(abundances(0, 1), 0.5);
}

}  // namespace
}  // namespace quorvel::individuals
