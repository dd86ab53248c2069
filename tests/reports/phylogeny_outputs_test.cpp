#include "reports/phylogeny_outputs.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using quorvel::testing::read_file;
using quorvel::testing::write_file;

class PhylogenyOutputsTest : public quorvel::testing::WorkDirTest {};

TEST_F(PhylogenyOutputsTest, InterpretationReplacesAnOldFileButAppendsToTheResults) {
  write_file("tree.txt", "old content");
  write_file("results.txt", "earlier results");
  write_tree_interpretation("tree.txt", "results.txt", "tree");
  write_tree_interpretation("results.txt", "results.txt", "tree");
  EXPECT_EQ(read_file("tree.txt"), "tree");
  EXPECT_EQ(read_file("results.txt"), "earlier resultstree");
  write_file("tree.nex", "old content");
  write_nexus_tree("tree.nex", "#NEXUS");
  EXPECT_EQ(read_file("tree.nex"), "#NEXUS");
  // Optional outputs: a file that cannot be opened is skipped without a word.
  write_tree_interpretation("no_such_folder/tree.txt", "results.txt", "tree");
  write_nexus_tree("no_such_folder/tree.nex", "#NEXUS");
  write_species_divergence_list("no_such_folder/distances.txt", 3, [](int i) { return std::to_string(i); });
  EXPECT_EQ(console_output(), "");
}

TEST_F(PhylogenyOutputsTest, DivergenceListIsWrittenSpeciesAfterSpeciesInBlocks) {
  write_file("distances.txt", "old content");
  write_species_divergence_list("distances.txt", 4, [](int i) { return "\n" + std::to_string(i); });
  EXPECT_EQ(read_file("distances.txt"), "\n1\n2\n3");
  // More than one block: every line once, in order.
  const std::string line(1000, 'x');
  write_species_divergence_list("distances.txt", 3001, [&](int) { return line; });
  EXPECT_EQ(read_file("distances.txt").size(), 3000u * line.size());
  write_species_divergence_list("distances.txt", 1, [](int) { return std::string("never"); });
  EXPECT_EQ(read_file("distances.txt"), "");
}

}  // namespace
}  // namespace quorvel::reports
