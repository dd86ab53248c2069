#include "phylogeny/phylogeny.hpp"

#include <gtest/gtest.h>

#include <string>

#include "phylogeny/tree_divergences.hpp"
#include "phylogeny/tree_test_helpers.hpp"
#include "support/test_support.hpp"

namespace quorvel::phylogeny {
namespace {

using testing::describe;
using testing::parse_tree;
using testing::ParsedTree;

std::string describe_table(const NodeTable& nodes, int last) {
  std::string text;
  for (int k = 1; k <= last; ++k) text += std::to_string(k) + ":" + describe(nodes[k]) + "\n";
  return text;
}

// The clean-up leaves nodes out of the tree: the tree keeps the others under
// their table numbers, and the table as read comes back whole.
TEST(Phylogeny, CompactsTheCleanedTreeAndKeepsTheTableAsRead) {
  const ParsedTree dissolved = parse_tree("((A:1,B:1)X:0,(C:1,D:1):0.5,(E:1.5):0);", true);
  const Phylogeny& tree = dissolved.tree;
  EXPECT_EQ(validate_phylogeny(tree), "");
  ASSERT_EQ(tree.n_tips, 5);
  ASSERT_EQ(tree.n_nodes(), 7);  // the tips, the root and (C,D)
  EXPECT_EQ(tree.nodes[7].number, 8);
  EXPECT_EQ(tree.nodes[7].parent, 6);
  EXPECT_EQ(tree.nodes[1].parent, 6);  // A hangs from the root once X is dissolved
  ASSERT_EQ(tree.detached.size(), 2u);
  EXPECT_EQ(tree.detached[0].number, 7);
  EXPECT_EQ(tree.detached[0].name, "X");
  EXPECT_EQ(tree.detached[1].number, 9);
  EXPECT_EQ(node_of_number(tree, 8), 7);
  EXPECT_EQ(node_of_number(tree, 7), 0);
  EXPECT_EQ(describe_table(node_table(tree), tree.last_number), describe_table(dissolved.nodes, dissolved.n_nodes));
  // Children in index order, every child before its parent, the root last.
  EXPECT_EQ(std::vector<int>(tree.children.begin() + tree.first_child_index(6),
                             tree.children.begin() + tree.end_child_index(6)),
            (std::vector<int>{1, 2, 5, 7}));
  EXPECT_EQ(tree.postorder.back(), 6);
}

TEST(Phylogeny, LargeTreesValidate) {
  std::string ladder(2999, '(');
  ladder += "t1:1,t2:1)";
  for (int k = 3; k <= 3000; ++k) ladder += ":1,t" + std::to_string(k) + ":" + std::to_string(k - 1) + ")";
  for (const bool dated : {true, false}) {
    Phylogeny tree = parse_tree(ladder + ";", dated).tree;
    EXPECT_EQ(validate_phylogeny(tree), "");
    core::NameTable names;
    species_from_tips(tree, names);
    EXPECT_EQ(validate_phylogeny(tree), "");
  }
}

// Each broken invariant is named.
TEST(Phylogeny, ValidationNamesWhatIsBroken) {
  const Phylogeny good = parse_tree("((A:1,B:1):1,C:2);", true).tree;
  ASSERT_EQ(validate_phylogeny(good), "");
  struct Case {
    const char* expected;
    void (*spoil)(Phylogeny&);
  };
  const Case cases[] = {
      {"tip 1: age not 0", [](Phylogeny& t) { t.nodes[1].age = 1; }},
      {"node 5: branch length not a length", [](Phylogeny& t) { t.nodes[5].branch_length = -1; }},
      {"node 4: an age in a tree of branch lengths", [](Phylogeny& t) { t.origin = PhylogenyOrigin::kPathLengthTree; }},
      {"the root has a parent", [](Phylogeny& t) { t.nodes[4].parent = 5; }},
      {"node 4: tip range 1-3 is not that of its children", [](Phylogeny& t) { t.nodes[5].last_tip = 3; }},
      {"node 2: numbered 7 in the table", [](Phylogeny& t) { t.nodes[2].number = 7; }},
      {"node 5: before one of its children in the postorder",
       [](Phylogeny& t) { std::swap(t.postorder[0], t.postorder[3]); }},
      {"species 1: tip 2 names another species",
       [](Phylogeny& t) {
         t.tip_of_species = core::ivector(0, 1);
         t.species_of_tip = core::ivector(0, 3);
         t.tip_of_species[1] = 2;
       }},
      {"a tree beside a table of divergences", [](Phylogeny& t) { t.origin = PhylogenyOrigin::kDivergenceFile; }},
  };
  for (const Case& c : cases) {
    Phylogeny tree = good;
    c.spoil(tree);
    EXPECT_EQ(validate_phylogeny(tree), c.expected);
  }
}

}  // namespace
}  // namespace quorvel::phylogeny
