#include "phylogeny/clade_reduction.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "phylogeny/species_distances_output.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "phylogeny/tree_test_helpers.hpp"
#include "support/test_support.hpp"

namespace quorvel::phylogeny {
namespace {

using quorvel::testing::read_file;
using testing::parse_tree;
using testing::ParsedTree;

class CladeOutputsTest : public quorvel::testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    tree_ = parse_tree("((A:1,B:1)X:1,C:2)R;", true);
    species_ = core::name_table(0, 4);
    species_[1] = "A";
    species_[2] = "B";
    species_[3] = "C";
    species_[4] = "Z";  // not in the tree
    plots_ = core::name_table(0, 2);
    plots_[1] = "P1";
    plots_[2] = "P2";
    map_species_to_tips(tree_.tree, 4, species_);
    seen_output_ = console_output().size();
    abundances_ = core::dmatrix(0, 2, 0, 4);
    const double rows[3][5] = {{8, 0.25, 0, 0.5, 0.25}, {4, 0.5, 0, 0.25, 0.25}, {4, 0, 0, 0.5, 0.5}};
    for (int p = 0; p <= 2; ++p) {
      for (int s = 0; s <= 4; ++s) abundances_[p][s] = rows[p][s];
    }
  }

  void reduce(const std::string& clade) {
    reduce_data_to_clade(clade, tree_.tree, 4, 2, plots_, data_type_, abundances_);
  }

  // Console output since the last call (the set-up warns about species Z).
  std::string new_output() {
    const std::string all = console_output();
    const std::string fresh = all.substr(seen_output_);
    seen_output_ = all.size();
    return fresh;
  }

  std::size_t seen_output_ = 0;
  int data_type_ = kCountData;  // counts: totals of 8, 4 and 4 individuals
  ParsedTree tree_;
  core::NameTable species_, plots_;
  core::IVector leaf_of_species_, species_of_leaf_;
  core::DMatrix abundances_;
};

TEST_F(CladeOutputsTest, ReductionKeepsTheCladeAndRenormalises) {
  reduce("X");
  // Each row keeps its count of the individuals of the clade as its total:
  // 2 of the 8 individuals, 2 of the 4 of plot 1.
  EXPECT_DOUBLE_EQ(abundances_[0][0], 2);
  EXPECT_DOUBLE_EQ(abundances_[0][1], 1);
  EXPECT_DOUBLE_EQ(abundances_[1][0], 2);
  EXPECT_DOUBLE_EQ(abundances_[1][1], 1);
  for (int s = 3; s <= 4; ++s) EXPECT_EQ(abundances_[1][s], 0);
  // A plot with no species of the clade: total 0, relative abundances 0.
  for (int s = 0; s <= 4; ++s) EXPECT_EQ(abundances_[2][s], 0) << s;
  EXPECT_EQ(new_output(), "\nWARNING: plot P2 holds no species of clade X: its total is 0");
}

TEST_F(CladeOutputsTest, WholeTreeCladeDropsOnlySpeciesWithoutTip) {
  reduce("R");
  EXPECT_DOUBLE_EQ(abundances_[0][0], 6);
  EXPECT_DOUBLE_EQ(abundances_[0][3], 0.5 / 0.75);
  EXPECT_EQ(abundances_[2][4], 0);
  EXPECT_DOUBLE_EQ(abundances_[2][3], 1);
  EXPECT_DOUBLE_EQ(abundances_[2][0], 2);
}

TEST_F(CladeOutputsTest, RelativeAbundancesKeepTheirSummedShare) {
  data_type_ = kRelativeAbundanceData;
  abundances_[1][0] = 2.5;
  reduce("R");
  EXPECT_DOUBLE_EQ(abundances_[1][0], 2.5 * 0.75);
  EXPECT_DOUBLE_EQ(abundances_[1][1], 0.5 / 0.75);
}

// An unknown clade once left the whole tree in the analysis without a word.
TEST_F(CladeOutputsTest, UnknownCladeStopsTheRunListingTheClades) {
  const std::string message =
      "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"%s\", which no node of the phylogeny has. The clades "
      "named are: R, X.\nPress any key to stop.";
  EXPECT_STOPS(reduce("Y"), core::format(message.c_str(), "Y"), 3);
  EXPECT_STOPS(reduce("A"), core::format(message.c_str(), "A"), 3);  // tips are not clades
  EXPECT_EQ(abundances_[0][0], 8);
  EXPECT_EQ(new_output(), "");
  const ParsedTree unnamed = parse_tree("((A:1,B:1):1,C:2);", true);
  EXPECT_STOPS(find_clade("Poaceae", unnamed.tree),
               "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"Poaceae\", which no node of the phylogeny has, "
               "and no clade of the phylogeny is named (a clade is named after its closing parenthesis, as Poaceae in "
               "((A:1,B:1)Poaceae:2,C:3);).\nPress any key to stop.",
               3);
}

TEST_F(CladeOutputsTest, DivergenceListHasOneLinePerPairWithEmptyMissingCells) {
  DivergenceRows rows(tree_.tree, tree_.tree.tip_of_species, 4);
  std::string list;
  float row[5];
  for (int i = 1; i <= 4; ++i) {
    rows.fill(i, row);
    list += species_divergence_lines(i, 4, species_, row);
  }
  EXPECT_EQ(list, "\nA\tB\t1.000000\nA\tC\t2.000000\nA\tZ\t\nB\tC\t2.000000\nB\tZ\t\nC\tZ\t");
  rows.fill(1, row);
  EXPECT_EQ(species_divergence_lines(1, 3, species_, row), "\nA\tB\t1.000000\nA\tC\t2.000000");
}

}  // namespace
}  // namespace quorvel::phylogeny
