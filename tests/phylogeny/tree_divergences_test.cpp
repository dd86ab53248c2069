#include "phylogeny/tree_divergences.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "core/constants.hpp"
#include "phylogeny/tree_test_helpers.hpp"
#include "phylogeny/tree_writers.hpp"
#include "support/test_support.hpp"

namespace quorvel::phylogeny {
namespace {

using quorvel::testing::data_path;
using quorvel::testing::name_list;
using quorvel::testing::read_file;
using testing::parse_tree;
using testing::ParsedTree;

// Divergence matrix of `species` on `tree` in `mode` (1 ultrametric, -1 path lengths).
// The largest divergence comes from the nodes alone: the same as the table's.
core::FMatrix divergences_of(const ParsedTree& parsed, const core::NameTable& species, float mode,
                             float* max = nullptr) {
  const int n = species.hi();
  Phylogeny tree = parsed.tree;
  tree.origin = mode < 0 ? PhylogenyOrigin::kPathLengthTree : PhylogenyOrigin::kDatedTree;
  map_species_to_tips(tree, n, species);
  core::FMatrix d = core::matrix(0, n, 0, n);
  const float largest = compute_tree_divergences(tree, tree.tip_of_species, n, d);
  EXPECT_EQ(largest_divergence(tree, n), largest);
  if (max) *max = largest;
  return d;
}

TEST(TreeDivergences, FiveTipTreeInBothModes) {
  const core::NameTable species = name_list({"A", "B", "C", "D", "E"});
  // Ultrametric: ages of the common ancestors (root 3, clade CDE 2, pairs 1).
  float max = 0;
  const core::FMatrix dated = divergences_of(parse_tree("((A:1,B:1):2,(C:2,(D:1,E:1):1):1);", true), species, 1, &max);
  const float expected_dated[5][5] = {
      {0, 1, 3, 3, 3}, {1, 0, 3, 3, 3}, {3, 3, 0, 2, 2}, {3, 3, 2, 0, 1}, {3, 3, 2, 1, 0}};
  // Path lengths on a tree that is not ultrametric.
  float path_max = 0;
  const core::FMatrix paths =
      divergences_of(parse_tree("((A:1,B:2):3,(C:4,(D:0.5,E:1.5):2):1);", false), species, -1, &path_max);
  const float expected_paths[5][5] = {
      {0, 3, 9, 7.5, 8.5}, {3, 0, 10, 8.5, 9.5}, {9, 10, 0, 6.5, 7.5}, {7.5, 8.5, 6.5, 0, 2}, {8.5, 9.5, 7.5, 2, 0}};
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j <= 5; ++j) {
      EXPECT_FLOAT_EQ(dated[i][j], expected_dated[i - 1][j - 1]) << i << "," << j;
      EXPECT_FLOAT_EQ(paths[i][j], expected_paths[i - 1][j - 1]) << i << "," << j;
    }
  }
  EXPECT_FLOAT_EQ(max, 3);
  EXPECT_FLOAT_EQ(path_max, 10);
  // The three-tip tree of the documentation, in both modes.
  const core::NameTable abc = name_list({"A", "B", "C"});
  EXPECT_FLOAT_EQ(divergences_of(parse_tree("((A:1,B:1):1,C:2);", true), abc, 1)[1][2], 1);
  EXPECT_FLOAT_EQ(divergences_of(parse_tree("((A:1,B:1):1,C:2);", true), abc, 1)[1][3], 2);
  EXPECT_FLOAT_EQ(divergences_of(parse_tree("((A:1,B:1):1,C:2);", false), abc, -1)[1][2], 2);
  EXPECT_FLOAT_EQ(divergences_of(parse_tree("((A:1,B:1):1,C:2);", false), abc, -1)[1][3], 4);
}

TEST(TreeDivergences, ChildAsOldAsItsParentDoesNotHideTheCommonAncestor) {
  // The branch above (B,C) is far shorter than single precision resolves at
  // age 0.0125: that clade has the age of its parent. A and B still meet at
  // the parent (0.0125), not at the root (0.025).
  const core::NameTable species = name_list({"A", "B", "C", "D"});
  const ParsedTree tree = parse_tree("((A:0.0125,(B:0.0125,C:0.0125):3.5e-16):0.0125,D:0.025);", true);
  const core::FMatrix d = divergences_of(tree, species, 1);
  EXPECT_EQ(d[1][2], 0.0125f);
  EXPECT_EQ(d[1][3], 0.0125f);
  EXPECT_EQ(d[2][3], 0.0125f);
  EXPECT_EQ(d[1][4], 0.025f);
  EXPECT_EQ(d[2][4], 0.025f);
}

class SpeciesMapTest : public quorvel::testing::WorkDirTest {};

TEST_F(SpeciesMapTest, SpeciesWithoutTipAreReportedAndHaveNoDivergence) {
  const ParsedTree tree = parse_tree("((A:1,B:1):1,C:2);", true);
  const core::NameTable species = name_list({"C", "A", "Z"});
  Phylogeny mapped = tree.tree;
  map_species_to_tips(mapped, 3, species);
  EXPECT_EQ(console_output(), "\nWARNING: species Z not found in phylogenetic tree");
  EXPECT_EQ(mapped.tip_of_species[1], 3);
  EXPECT_EQ(mapped.tip_of_species[2], 1);
  EXPECT_EQ(mapped.tip_of_species[3], 0);
  EXPECT_EQ(mapped.species_of_tip[1], 2);
  EXPECT_EQ(mapped.species_of_tip[2], 0);
  EXPECT_EQ(mapped.species_of_tip[3], 1);
  EXPECT_EQ(validate_phylogeny(mapped), "");

  float max = 0;
  const core::FMatrix d = divergences_of(tree, species, 1, &max);
  EXPECT_FLOAT_EQ(d[1][2], 2);
  EXPECT_EQ(d[1][3], MISSING_VALUE_F);  // never 0, which would mean "same species"
  EXPECT_EQ(d[3][2], MISSING_VALUE_F);
  EXPECT_EQ(d[3][3], 0);
  EXPECT_FLOAT_EQ(max, 2);

  core::NameTable from_tips;
  species_from_tips(mapped, from_tips);
  EXPECT_EQ(from_tips[3], "C");
  EXPECT_EQ(mapped.tip_of_species[2], 2);
}

// Reference values: "data.species.<i>" names in data order and "div.<a>.<b>" per pair.
struct Reference {
  core::NameTable species;
  std::map<std::pair<std::string, std::string>, float> divergence;
  float max_divergence = 0;
};

Reference read_reference(const std::string& file) {
  Reference reference;
  std::istringstream lines(read_file(data_path(file)));
  std::vector<std::string> species;
  std::string key, value;
  while (std::getline(lines, key, '\t') && std::getline(lines, value)) {
    if (key.rfind("data.species.", 0) == 0) species.push_back(value);
    if (key == "data.maxdiv") reference.max_divergence = std::strtof(value.c_str(), nullptr);
    if (key.rfind("div.", 0) == 0) {
      const std::size_t dot = key.find('.', 4);
      reference.divergence[{key.substr(4, dot - 4), key.substr(dot + 1)}] = std::strtof(value.c_str(), nullptr);
    }
  }
  reference.species = name_list(species);
  return reference;
}

void expect_reference_divergences(const Reference& reference, const core::FMatrix& d, float max) {
  const int n = reference.species.hi();
  ASSERT_EQ(reference.divergence.size(), static_cast<std::size_t>(n * (n - 1) / 2));
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      const auto found = reference.divergence.find({reference.species[i], reference.species[j]});
      ASSERT_NE(found, reference.divergence.end()) << reference.species[i] << " " << reference.species[j];
      EXPECT_EQ(d[i][j], found->second) << reference.species[i] << " " << reference.species[j];
      EXPECT_EQ(d[j][i], d[i][j]);
    }
  }
  EXPECT_EQ(max, reference.max_divergence);
}

TEST(TreeDivergences, DuneTreeMatchesReferenceAges) {
  const Reference reference = read_reference("reference/dune/expected-instr_tree.tsv");
  ASSERT_EQ(reference.species.hi(), 30);
  float max = 0;
  const core::FMatrix d =
      divergences_of(parse_tree(read_file(data_path("sets/dune/dune_tree.txt")), true), reference.species, 1, &max);
  expect_reference_divergences(reference, d, max);
}

TEST(TreeDivergences, Carni70PathLengthsMatchReference) {
  const Reference reference = read_reference("reference/carni70/expected-instr_pathlength.tsv");
  ASSERT_EQ(reference.species.hi(), 70);
  float max = 0;
  const core::FMatrix d = divergences_of(parse_tree(read_file(data_path("sets/carni70/carni70_tree.txt")), false),
                                         reference.species, -1, &max);
  expect_reference_divergences(reference, d, max);
}

// Rebuilt Newick texts (lengths with six decimals) read back to the same divergences.
void expect_round_trip(const std::string& text, bool ultrametric) {
  const ParsedTree tree = parse_tree(text, ultrametric);
  core::NameTable species;
  Phylogeny named = tree.tree;
  species_from_tips(named, species);
  const float mode = ultrametric ? 1.0f : -1.0f;
  const core::FMatrix original = divergences_of(tree, species, mode);
  const NewickTexts texts = rebuild_newick_texts(tree.tree);
  for (const std::string& rebuilt : {texts.with_labels, texts.without_labels}) {
    const ParsedTree again = parse_tree(rebuilt, ultrametric);
    ASSERT_EQ(again.n_tips, tree.n_tips);
    const core::FMatrix d = divergences_of(again, species, mode);
    for (int i = 1; i <= tree.n_tips; ++i) {
      for (int j = 1; j <= tree.n_tips; ++j) {
        EXPECT_NEAR(d[i][j], original[i][j], 1e-5 * (1 + original[i][j])) << species[i] << " " << species[j];
      }
    }
  }
}

TEST(TreeDivergences, RebuiltTextsGiveTheSameDivergences) {
  expect_round_trip(read_file(data_path("sets/dune/dune_tree.txt")), true);
  expect_round_trip(read_file(data_path("sets/dune/dune_tree.txt")), false);
  expect_round_trip(read_file(data_path("sets/carni70/carni70_tree.txt")), true);
  expect_round_trip(read_file(data_path("sets/carni70/carni70_tree.txt")), false);
  expect_round_trip("(((A:1,B:1)X:0.5,C:1.5):0,(D:1,E:1):1)R:0.7;", false);
}

TEST(TreeDivergences, CaterpillarDivergences) {
  const int n = 300;
  std::string text(static_cast<std::size_t>(n - 1), '(');
  text += "t1:1,t2:1)";
  for (int k = 3; k <= n; ++k) text += ":1,t" + std::to_string(k) + ":" + std::to_string(k - 1) + ")";
  const ParsedTree tree = parse_tree(text + ";", true);
  core::NameTable species;
  Phylogeny named = tree.tree;
  species_from_tips(named, species);
  float max = 0;
  const core::FMatrix ages = divergences_of(tree, species, 1, &max);
  const core::FMatrix paths = divergences_of(tree, species, -1);
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      ASSERT_EQ(ages[i][j], static_cast<float>(j - 1)) << i << "," << j;
      ASSERT_EQ(paths[i][j], static_cast<float>(2 * (j - 1))) << i << "," << j;
    }
  }
  EXPECT_EQ(max, static_cast<float>(n - 1));
}

}  // namespace
}  // namespace quorvel::phylogeny
