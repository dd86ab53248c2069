#include "phylogeny/tree_writers.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "phylogeny/tree_test_helpers.hpp"

namespace quorvel::phylogeny {
namespace {

using testing::parse_tree;
using testing::ParsedTree;

NewickTexts rebuild(const std::string& text, bool ultrametric) {
  const ParsedTree tree = parse_tree(text, ultrametric);
  return rebuild_newick_texts(tree.tree);
}

TEST(TreeWriters, RebuildsNewickTextFromTheNodeTable) {
  // Direct tip children of a node come before its internal children.
  const NewickTexts plain = rebuild("((A:1,B:1):1,C:2);", true);
  EXPECT_EQ(plain.with_labels, "(C:2.000000,(A:1.000000,B:1.000000):1.000000);");
  EXPECT_EQ(plain.without_labels, plain.with_labels);
  const NewickTexts labelled = rebuild("((A:1,B:1)X:0.5,C:1.5);", true);
  EXPECT_EQ(labelled.with_labels, "(C:1.500000,(A:1.000000,B:1.000000)X:0.500000);");
  EXPECT_EQ(labelled.without_labels, "(C:1.500000,(A:1.000000,B:1.000000):0.500000);");
  EXPECT_EQ(rebuild("((A:1,B:1):0,C:1);", true).with_labels, "(A:1.000000,B:1.000000,C:1.000000);");
  EXPECT_EQ(rebuild("(A:1,B:1):0.3;", false).with_labels, "((A:1.000000,B:1.000000):0.300000);");
}

TEST(TreeWriters, LongTextsAreNeverTruncated) {
  const int n = 10000;
  std::string ladder(static_cast<std::size_t>(n - 1), '(');
  ladder += "t1:1,t2:1)";
  for (int k = 3; k <= n; ++k) ladder += ":1,t" + std::to_string(k) + ":" + std::to_string(k - 1) + ")";
  const ParsedTree tree = parse_tree(ladder + ";", true);
  const NewickTexts texts = rebuild_newick_texts(tree.tree);
  const ParsedTree again = parse_tree(texts.with_labels, true);
  EXPECT_EQ(again.n_tips, n);
  EXPECT_EQ(again.n_nodes, tree.n_nodes);
  EXPECT_FLOAT_EQ(again.nodes[n + 1].age, static_cast<float>(n - 1));
  EXPECT_EQ(again.nodes[1].name, "t10000");  // tips of the root first, the deepest pair last
  EXPECT_EQ(again.nodes[n].name, "t2");
  EXPECT_EQ(rebuild_newick_texts(again.tree).with_labels, texts.with_labels);
}

TEST(TreeWriters, InterpretationListsTheTableAsRead) {
  const std::string text = "((A:1,B:1):1,C:2);";
  const ParsedTree tree = parse_tree(text, true);
  const std::string expected =
      "Original tree\n((A:1,B:1):1,C:2);\n\n\nInterpreted tree (with internal node names)\n"
      "(C:2.000000,(A:1.000000,B:1.000000):1.000000);\n\n\nInterpreted tree (without internal node names, readable "
      "using Dambe)\n(C:2.000000,(A:1.000000,B:1.000000):1.000000);\n\n\nTips\tupper node\tupper node age"
      "\n1\tA\t5\t1.000000\n2\tB\t5\t1.000000\n3\tC\t4\t2.000000"
      "\n\nNodes (clades)\tupper node\tfirst and last tips within clade\tage of clade"
      "\n4\t\t0\t1\t3\t2.000000\n5\t\t4\t1\t2\t1.000000";
  EXPECT_EQ(tree_interpretation_text(text, tree.tree), expected);
  // A dissolved zero-length clade is listed with upper node 0.
  const std::string dissolved = tree_interpretation_text("", parse_tree("((A:1,B:1):0,C:1);", true).tree);
  EXPECT_EQ(dissolved.substr(dissolved.rfind("Nodes")),
            "Nodes (clades)\tupper node\tfirst and last tips within clade\tage of clade"
            "\n4\t\t0\t1\t3\t1.000000\n5\t\t0\t1\t2\t0.000000");
}

TEST(TreeWriters, NexusTextWithTreesAndCharacters) {
  const std::string text = "((A:1,B:1):1,C:2);";
  const ParsedTree tree = parse_tree(text, true);
  const std::string taxa_and_trees =
      "#NEXUS\n\nBEGIN TAXA;\n\tDIMENSIONS NTAX=3;\n\tTAXLABELS\n\t\t\tA\tB\tC\t\n\t;\nEND;"
      "\n\n\nBEGIN TREES;\n\tTREE original=((A:1,B:1):1,C:2);\nEND;\n"
      "\n\n\nBEGIN TREES;\n\tTREE interpreted=(C:2.000000,(A:1.000000,B:1.000000):1.000000);\nEND;\n";
  EXPECT_EQ(nexus_tree_text(text, tree.tree, nullptr), taxa_and_trees);

  // Species traits: a quantitative and a categorical variable, missing values as "?".
  core::NameTable species = core::name_table(0, 3);
  species[1] = "A";
  species[2] = "B";
  species[3] = "C";
  core::NameTable variables = core::name_table(0, 2);
  variables[1] = "mass";
  variables[2] = "habitat";
  core::IVector categories = core::ivector(0, 2);
  categories[2] = 2;
  core::FMatrix traits = core::matrix(0, 2, 0, 3);
  traits[1][1] = 1.5f;
  traits[1][2] = MISSING_VALUE_F;
  traits[1][3] = 2e6f;
  traits[2][1] = 1;
  traits[2][2] = 2;
  traits[2][3] = MISSING_VALUE_F;
  core::Vector<core::NameTable> category_names(0, 2);
  category_names[2] = core::name_table(0, 2);
  category_names[2][1] = "wet";
  category_names[2][2] = "dry";
  const SpeciesVariables characters{3, species, 2, variables, categories, traits, category_names};
  EXPECT_EQ(nexus_tree_text("", tree.tree, &characters),
            "#NEXUS\n\nBEGIN TAXA;\n\tDIMENSIONS NTAX=3;\n\tTAXLABELS\n\t\t\tA\tB\tC\t\n\t;\nEND;"
            "\n\n\nBEGIN TREES;\n\tTREE interpreted=(C:2.000000,(A:1.000000,B:1.000000):1.000000);\nEND;\n"
            "\n\nBEGIN CHARACTERS;\n\tTITLE Quorvel-imported_Character_Matrix;\n\tDIMENSIONS NCHAR=2;"
            "\n\tFORMAT DATATYPE = CONTINUOUS  MISSING = ?;\nCHARSTATELABELS\n\t1 mass,\n\t2 habitat ;\n\tMATRIX"
            "\n\tA\t1.5\twet\n\tB\t?\tdry\n\tC\t2e+06\t?\n\t;\nEND;");
}

}  // namespace
}  // namespace quorvel::phylogeny
