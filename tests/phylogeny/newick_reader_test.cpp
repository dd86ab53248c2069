#include "phylogeny/newick_reader.hpp"

#include <gtest/gtest.h>

#include "phylogeny/tree_test_helpers.hpp"
#include "support/test_support.hpp"

namespace quorvel::phylogeny {
namespace {

using testing::describe;
using testing::parse_tree;
using testing::ParsedTree;

// All nodes 1..n_nodes, one description per line.
std::string describe_all(const ParsedTree& tree) {
  std::string text;
  for (int k = 1; k <= tree.n_nodes; ++k) text += std::to_string(k) + ":" + describe(tree.nodes[k]) + "\n";
  return text;
}

// Ladder tree (((t1:1,t2:1):1,t3:2):1,t4:3)... of n tips, ultrametric with root age n-1.
std::string caterpillar(int n) {
  std::string text(static_cast<std::size_t>(n - 1), '(');
  text += "t1:1,t2:1)";
  for (int k = 3; k <= n; ++k) text += ":1,t" + std::to_string(k) + ":" + std::to_string(k - 1) + ")";
  return text + ";";
}

// Balanced tree of 2^levels tips, every branch of length 1.
std::string balanced(int levels) {
  std::string text = "t:1";
  for (int l = 0; l < levels; ++l) text = "(" + text + "," + text + "):1";
  text.resize(text.size() - 2);
  return text + ";";
}

TEST(NewickReader, CountsTipsFromColonsAndParentheses) {
  EXPECT_EQ(count_newick_tips("((A:1,B:1):1,C:2);"), 3);
  EXPECT_EQ(count_newick_tips("(A:1,B:1):0.3;"), 2);
  EXPECT_EQ(count_newick_tips("((A:1,B:1):1,C:2);((D:1):1);"), 3);  // only the first tree counts
  EXPECT_EQ(count_newick_colons("((A:1,B:1):1,C:2);"), 4);
  EXPECT_TRUE(newick_root_has_length("(A:1,B:1):0.3;"));
  EXPECT_FALSE(newick_root_has_length("((A:1,B:1):1,C:2);"));
}

TEST(NewickReader, NumbersTipsThenRootThenInternalNodes) {
  const ParsedTree dated = parse_tree("((A:1,B:1):1,C:2);", true);
  EXPECT_EQ(dated.n_tips, 3);
  EXPECT_EQ(dated.n_nodes, 5);
  EXPECT_EQ(describe_all(dated), "1:A|5|1|0|1-1\n2:B|5|1|0|2-2\n3:C|4|2|0|3-3\n4:|0|0|2|1-3\n5:|4|1|1|1-2\n");
  EXPECT_GE(dated.nodes.hi(), count_newick_colons("((A:1,B:1):1,C:2);") + 1);

  const ParsedTree undated = parse_tree("((A:1,B:1):1,C:2);", false);
  EXPECT_EQ(describe_all(undated), "1:A|5|1|0|1-1\n2:B|5|1|0|2-2\n3:C|4|2|0|3-3\n4:|0|0|0|1-3\n5:|4|1|0|1-2\n");
}

TEST(NewickReader, CleansZeroLengthCladesAndSingleChildNodes) {
  // A zero-length clade dissolves into a polytomy at the root.
  EXPECT_EQ(describe_all(parse_tree("((A:1,B:1):0,C:1);", true)),
            "1:A|4|1|0|1-1\n2:B|4|1|0|2-2\n3:C|4|1|0|3-3\n4:|0|0|1|1-3\n5:|0|0|0|1-2\n");
  // Chains of zero-length clades go to the nearest ancestor with a length.
  const ParsedTree chain = parse_tree("((((A:1,B:1):0,C:1):0,D:1):2,E:3);", false);
  for (int tip = 1; tip <= 4; ++tip) EXPECT_EQ(chain.nodes[tip].upper_node, 7) << tip;
  EXPECT_EQ(chain.nodes[7].upper_node, 6);
  // Labels survive; an unlabelled single child is spliced, its lengths joined.
  EXPECT_EQ(parse_tree("((A:1,B:1)X:0.5,C:1.5);", true).nodes[5].name, "X");
  EXPECT_EQ(describe_all(parse_tree("((A:1):2,B:3);", false)),
            "1:A|3|3|0|1-1\n2:B|3|3|0|2-2\n3:|0|0|0|1-2\n4:|0|0|0|1-1\n");
  EXPECT_EQ(describe_all(parse_tree("((A:1)Y:2,B:3);", false)),
            "1:A|4|1|0|1-1\n2:B|3|3|0|2-2\n3:|0|0|0|1-2\n4:Y|3|2|0|1-1\n");
}

TEST(NewickReader, RootLengthGivesAnExtraRoot) {
  const ParsedTree tree = parse_tree("(A:1,B:1):0.3;", true);
  EXPECT_EQ(tree.n_tips, 2);
  EXPECT_EQ(describe_all(tree), "1:A|4|1|0|1-1\n2:B|4|1|0|2-2\n3:|0|0|1.3|1-2\n4:|3|0.3|1|1-2\n");
}

TEST(NewickReader, SkipsBlanksCommentsAndReadsLabels) {
  const ParsedTree tree = parse_tree("  \t((A:1, B:1) [a note, here] Lab:1 , C:2e0);\n", true);
  EXPECT_EQ(describe_all(tree), "1:A|5|1|0|1-1\n2:B|5|1|0|2-2\n3:C|4|2|0|3-3\n4:|0|0|2|1-3\n5:Lab|4|1|1|1-2\n");
  // Names run to the next ':' (inner spaces kept), up to 50 characters.
  const ParsedTree named = parse_tree("(" + std::string(50, 'x') + ":1,Poa annua:1);", false);
  EXPECT_EQ(named.nodes[1].name, std::string(50, 'x'));
  EXPECT_EQ(named.nodes[2].name, "Poa annua");
}

TEST(NewickReader, RejectsMalformedTrees) {
  // The last ':' now follows the last ')', so the text also reads as a rooted
  // tree with a root length: three nodes opened, two closed.
  EXPECT_STOPS(parse_tree("((A:1,B:1):1,C:2;", false), "\nError: 3 '(' for 2 ')'", 22);
  EXPECT_STOPS(parse_tree("((A:1,B:1):1,(C:2,D:1);", false), "\nError: 3 '(' for 2 ')'", 22);
  EXPECT_STOPS(parse_tree("((A:1,B:1):1,C:2));", false), "\nError: 2 '(' for 3 ')'", 22);
  EXPECT_STOPS(read_newick_tree("((A:1,B:1):1,C:2);", false, 4), "\nError: 3 tips for 4 expected", 22);
  EXPECT_STOPS(parse_tree("((A:1,B:x):1,C:2);", false), "\nError: cannot read length of branch 2", 22);
  EXPECT_STOPS(parse_tree("((A:1,B:1):y,C:2);", false), "\nError: cannot read length of branch 5", 22);
  EXPECT_STOPS(parse_tree("(A:1,B:1):1,(C:1,D:1);", false),
               "\nError: a tip or clade follows the closing parenthesis of the root: the tree must have one root", 22);
  EXPECT_STOPS(parse_tree("", false), "\nError: 0 tips for 1 expected", 22);
  EXPECT_STOPS(parse_tree("((A:1,B:1x):1,C:2);", false), "\nError: cannot read length of branch 2", 22);
}

// Errors name the tree file. A name cut to 50 characters could match the
// wrong species, and a node without its length would swallow its
// neighbours: both are refused, the decimal comma with a hint.
TEST(NewickReader, ErrorsNameTheTreeFileAndTheFaultyNode) {
  EXPECT_STOPS(read_newick_tree("((A:1,B:1):1,C:2;", false, 3, "tree.txt"),
               "\nError: 3 '(' for 2 ')' in the tree of file tree.txt", 22);
  EXPECT_STOPS(read_newick_tree("((A:1,B:1):1,C:2);", false, 4, "tree.txt"),
               "\nError: 3 tips for 4 expected in the tree of file tree.txt", 22);
  EXPECT_STOPS(read_newick_tree("((A:1,B:1,5):1,C:2);", false, 3, "tree.txt"),
               "\nError: \"5\" (character 11) has no branch length in the tree of file tree.txt\nA decimal comma in "
               "the branch length before it? Branch lengths are written with a point (1.5).",
               22);
  EXPECT_STOPS(read_newick_tree("((A:1,B):1,C:2);", false, 3, "t.nwk"),
               "\nError: \"B\" (character 7) has no branch length in the tree of file t.nwk", 22);
  const std::string long_name(51, 'x');
  EXPECT_STOPS(
      read_newick_tree("(" + long_name + ":1,B:1);", false, 2, "t.nwk"),
      "\nError: the name \"" + long_name + "\" in the tree of file t.nwk is longer than the 50 characters allowed", 22);
  const core::FatalError logged = quorvel::testing::expect_fatal([&] { read_newick_tree("(A:1,B:1;", false, 2); });
  EXPECT_TRUE(logged.log_to_error_file());
}

// A negative length once gave a divergence of -1 and a PJ above 1; a
// length that is no decimal number of float range is not a length either.
TEST(NewickReader, NegativeAndUnreadableLengthsAreRefusedNamingTheNode) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"((A:1,B:-1):2,C:3);",
       "\nError: the branch of tip B (node 2) has a negative length (-1) in the tree of file "
       "t.nwk: branch lengths cannot be negative"},
      {"((A:1,B:1)X:-0.5,C:1);",
       "\nError: the branch of node 5 (X) has a negative length (-0.5) in the tree of file "
       "t.nwk: branch lengths cannot be negative"},
      {"((A:1,B:1):-2,C:3);",
       "\nError: the branch of node 5 has a negative length (-2) in the tree of file t.nwk: "
       "branch lengths cannot be negative"},
      {"((A:1,B:0x10):1,C:2);",
       "\nError: cannot read length of branch 2 in the tree of file t.nwk: hexadecimal "
       "numbers are not read; write the number in decimal notation"},
      {"((A:1,B:1e-320):1,C:2);",
       "\nError: cannot read length of branch 2 in the tree of file t.nwk: the number is too close to 0 (below "
       "1.17549e-38 in size, it cannot be kept to full precision); write 0 if it stands for 0"},
      {"((A:1,B:1e39):1,C:2);",
       "\nError: cannot read length of branch 2 in the tree of file t.nwk: the number is out of range"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_STOPS(read_newick_tree(c.text, false, 3, "t.nwk"), c.message, 22);
  }
  // Zero, written as such or as -0, is a length.
  EXPECT_EQ(parse_tree("((A:1,B:-0):1,C:2);", false).nodes[2].branch_length, 0.0f);
}

class NewickAgesTest : public quorvel::testing::WorkDirTest {};

TEST_F(NewickAgesTest, WarnsWhenALaterPathIsShorterByMoreThanOnePerMille) {
  parse_tree("((A:1,B:1):1,C:1.9);", true);
  EXPECT_EQ(console_output(), "\nWarning: tot length at node 4 from tip 3: 2.000000 vs. 1.900000");
  parse_tree("((A:1,B:1):1,C:1.998);", true);
  EXPECT_EQ(console_output(),
            "\nWarning: tot length at node 4 from tip 3: 2.000000 vs. 1.900000"
            "\nWarning: tot length at node 4 from tip 3: 2.000000 vs. 1.998000");
  // Longer later paths and differences within one per mille are not reported.
  const std::string before = console_output();
  const ParsedTree longer = parse_tree("((A:1,B:1):1,C:2.1);", true);
  parse_tree("((A:1,B:1):1,C:1.999);", true);
  parse_tree("(((A:1,B:1):1,C:2):1,(D:2,E:2):1.9);", false);
  EXPECT_EQ(console_output(), before);
  EXPECT_FLOAT_EQ(longer.nodes[4].age, 2.0f);  // the first path met dates the node
}

TEST_F(NewickAgesTest, WarningsRepeatForEveryTipOfAShortenedClade) {
  // Tips D and E both reach the root by a path of 2.5 against 3.
  parse_tree("(((A:1,B:1):1,C:2):1,(D:1,E:1):1.5);", true);
  EXPECT_EQ(console_output(),
            "\nWarning: tot length at node 6 from tip 4: 3.000000 vs. 2.500000"
            "\nWarning: tot length at node 6 from tip 5: 3.000000 vs. 2.500000");
}

TEST(NewickReader, LargeAndDeepTreesParseWithoutRecursion) {
  const std::string ladder = caterpillar(10000);
  const std::string bushy = balanced(14);  // 16384 tips
  const ParsedTree deep = parse_tree(ladder, true);
  const ParsedTree wide = parse_tree(bushy, true);
  EXPECT_EQ(deep.n_tips, 10000);
  EXPECT_EQ(deep.n_nodes, 19999);
  EXPECT_FLOAT_EQ(deep.nodes[10001].age, 9999.0f);
  EXPECT_EQ(deep.nodes[1].upper_node, 19999);
  EXPECT_EQ(deep.nodes[10000].upper_node, 10001);
  EXPECT_EQ(wide.n_tips, 16384);
  EXPECT_FLOAT_EQ(wide.nodes[16385].age, 14.0f);
}

}  // namespace
}  // namespace quorvel::phylogeny
