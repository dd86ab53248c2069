#include "phylogeny/common_ancestor.hpp"

#include <gtest/gtest.h>

#include "tree_test_helpers.hpp"

namespace quorvel::phylogeny {
namespace {

using testing::parse_tree;

// Every pair through the single climb agrees with the pairwise search, and
// the ancestor is the deepest node holding both tips.
void expect_rows_agree(const testing::ParsedTree& tree) {
  core::IVector row;
  for (int a = 1; a <= tree.n_tips; ++a) {
    common_ancestors_of_tip(tree.tree, a, row);
    for (int b = 1; b <= tree.n_tips; ++b) {
      const int m = most_recent_common_ancestor(tree.tree, a, b);
      EXPECT_EQ(row[b], m) << "tips " << a << " " << b;
      EXPECT_LE(tree.tree.nodes[m].first_tip, std::min(a, b));
      EXPECT_GE(tree.tree.nodes[m].last_tip, std::max(a, b));
    }
  }
}

TEST(CommonAncestor, NearZeroInternalBranchKeepsTheDeepestNode) {
  // The clade (A,B) sits 3.5e-16 below its parent: in single precision both
  // nodes have age 0.0125, and a climb that compares ages can pass the
  // common ancestor of A and C.
  const auto tree = parse_tree("(((A:0.0125,B:0.0125):3.5e-16,C:0.0125):0.9875,D:1);", true);
  ASSERT_EQ(tree.n_tips, 4);
  const int ac = most_recent_common_ancestor(tree.tree, 1, 3);
  EXPECT_FLOAT_EQ(tree.tree.nodes[ac].age, 0.0125f);
  EXPECT_EQ(tree.tree.nodes[ac].first_tip, 1);
  EXPECT_EQ(tree.tree.nodes[ac].last_tip, 3);
  EXPECT_EQ(most_recent_common_ancestor(tree.tree, 2, 2), 2);
  expect_rows_agree(tree);
}

TEST(CommonAncestor, RowsMatchPairsOnBalancedAndLadderTrees) {
  expect_rows_agree(parse_tree("((A:1,B:1):1,(C:1.5,(D:1,E:1):0.5):0.5);", true));
  std::string ladder = "T1:1";
  for (int i = 2; i <= 40; ++i) ladder = "(" + ladder + ",T" + std::to_string(i) + ":1):1";
  expect_rows_agree(parse_tree(ladder + ";", false));
}

}  // namespace
}  // namespace quorvel::phylogeny
