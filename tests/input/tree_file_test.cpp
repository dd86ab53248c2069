#include "input/tree_file.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::write_file;

class TreeFile : public testing::WorkDirTest {};

TEST_F(TreeFile, TipsAreCountedFromTheText) {
  EXPECT_EQ(count_tree_tips("((A:1,B:1):1,C:2);"), 3);
  EXPECT_EQ(count_tree_tips("((A:1,B:1):1,C:2):0.5;"), 3);
  EXPECT_EQ(count_tree_tips("((A:1,B:1)ab:1,C:2)root;"), 3);
  EXPECT_EQ(count_tree_tips("(A:1,B:1,(C:1,D:1):1);extra(:"), 4);
  EXPECT_EQ(count_tree_tips(""), 0);
}

TEST_F(TreeFile, InlineTreeFollowsItsKeywordLine) {
  write_file("instr.txt", "ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2):4;\n");
  NewickText tree = scan_newick_tree(DataSource{"instr.txt", 1, {3}}, true);
  EXPECT_EQ(tree.text, "((A:1,B:1):1,C:2):4;");
  EXPECT_EQ(tree.n_tips, 3);
  EXPECT_TRUE(tree.dated);
  // 2 or less announced: no tree text.
  tree = scan_newick_tree(DataSource{"instr.txt", 1, {2}}, false);
  EXPECT_EQ(tree.text, "");
  EXPECT_EQ(tree.n_tips, 0);
}

TEST_F(TreeFile, FilesWithAndWithoutHeader) {
  write_file("t1.txt", "((A:1,B:1):1,(C:1,D:1):1);\n");
  EXPECT_EQ(scan_newick_tree(DataSource{"t1.txt", 0, {}}, false).n_tips, 4);
  write_file("t2.txt", "a dated tree\nULTRAMETRIC PHYLOGENETIC TREE\t2\n\n((A:1,B:1):1,C:2);\n");
  EXPECT_EQ(scan_newick_tree(DataSource{"t2.txt", 0, {}}, true).n_tips, 0);
  write_file("t2.txt", "a dated tree\nULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2);\n");
  EXPECT_EQ(scan_newick_tree(DataSource{"t2.txt", 0, {}}, true).n_tips, 3);
}

TEST_F(TreeFile, TreeLongerThanTheLineBufferIsKeptWhole) {
  std::string tree = "(";
  for (int i = 0; i < 20000; ++i) tree += "species_" + std::to_string(i) + ":1.0,";
  tree.back() = ')';
  tree += ";";
  ASSERT_GT(tree.size(), 200000u);
  write_file("instr.txt", "ULTRAMETRIC PHYLOGENETIC TREE\t20000\n" + tree + "\nPLOT WEIGHTING\t2\n");
  const NewickText read = scan_newick_tree(DataSource{"instr.txt", 1, {20000}}, true);
  EXPECT_EQ(read.text, tree);
  EXPECT_EQ(read.n_tips, 20000);
}

}  // namespace
}  // namespace quorvel::input
