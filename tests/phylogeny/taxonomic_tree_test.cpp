#include "phylogeny/taxonomic_tree.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "core/constants.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "phylogeny/tree_test_helpers.hpp"
#include "support/test_support.hpp"

namespace quorvel::phylogeny {
namespace {

using quorvel::testing::data_path;
using quorvel::testing::read_file;
using testing::describe;

// A classification held as the traits reader holds it: one categorical
// variable per level, categories numbered in order of first appearance.
struct Classification {
  int n_species = 0;
  int n_variables = 0;
  core::NameTable species;
  core::NameTable variables;
  core::IVector categories;
  core::FMatrix traits;
  core::Vector<core::NameTable> category_names;

  // rows[s] = {species, label of variable 1, label of variable 2, ...}; "" = missing.
  Classification(const std::vector<std::string>& variable_list, const std::vector<int>& declared,
                 const std::vector<std::vector<std::string>>& rows)
      : n_species(static_cast<int>(rows.size())), n_variables(static_cast<int>(variable_list.size())) {
    species = core::name_table(0, n_species);
    variables = core::name_table(0, n_variables);
    categories = core::ivector(0, n_variables);
    traits = core::matrix(0, n_variables, 0, n_species);
    category_names = core::Vector<core::NameTable>(0, n_variables);
    variables[0] = "Species";
    categories[0] = n_species;
    for (int v = 1; v <= n_variables; ++v) {
      variables[v] = variable_list[static_cast<std::size_t>(v - 1)];
      categories[v] = declared[static_cast<std::size_t>(v - 1)];
      category_names[v] = core::name_table(0, categories[v]);
    }
    std::vector<std::map<std::string, int>> seen(static_cast<std::size_t>(n_variables) + 1);
    for (int s = 1; s <= n_species; ++s) {
      const std::vector<std::string>& row = rows[static_cast<std::size_t>(s - 1)];
      species[s] = row[0];
      traits[0][s] = static_cast<float>(s);
      for (int v = 1; v <= n_variables; ++v) {
        const std::string& label = row[static_cast<std::size_t>(v)];
        if (label.empty()) {
          traits[v][s] = MISSING_VALUE_F;
          continue;
        }
        auto& known = seen[static_cast<std::size_t>(v)];
        if (!known.count(label)) {
          const int index = static_cast<int>(known.size()) + 1;
          known[label] = index;
          category_names[v][index] = label;
        }
        traits[v][s] = static_cast<float>(known[label]);
      }
    }
  }

  SpeciesVariables view() const {
    return SpeciesVariables{n_species, species, n_variables, variables, categories, traits, category_names};
  }
};

core::NameTable level_names(const std::vector<std::string>& levels) {
  core::NameTable table = core::name_table(0, static_cast<int>(levels.size()));
  for (std::size_t i = 0; i < levels.size(); ++i) table[static_cast<int>(i)] = levels[i];
  table[static_cast<int>(levels.size())] = "ALL";
  return table;
}

core::FVector divergences_of_levels(const std::vector<float>& values) {
  core::FVector table = core::vector(0, static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) table[static_cast<int>(i) + 1] = values[i];
  return table;
}

struct TaxonomicResult {
  Phylogeny tree;
  NodeTable nodes;  // the table as read
  int n_nodes = 0;
  core::IVector leaf_of_species, level_variable, taxa_per_level;
  core::FMatrix divergences;
};

TaxonomicResult build(const Classification& data, const std::vector<std::string>& levels,
                      const std::vector<float>& level_values) {
  TaxonomicResult result;
  const int n_levels = static_cast<int>(levels.size()) - 1;
  const core::FVector values = divergences_of_levels(level_values);
  result.tree = build_taxonomic_tree(data.view(), n_levels, level_names(levels), values);
  EXPECT_EQ(validate_phylogeny(result.tree), "");
  result.nodes = node_table(result.tree);
  result.n_nodes = result.tree.last_number;
  result.leaf_of_species = result.tree.tip_of_species;
  result.level_variable = result.tree.classification.level_variable;
  result.taxa_per_level = result.tree.classification.taxa_per_level;
  result.divergences = core::matrix(0, data.n_species, 0, data.n_species);
  const float largest =
      compute_tree_divergences(result.tree, result.leaf_of_species, data.n_species, result.divergences);
  EXPECT_EQ(largest_divergence(result.tree, data.n_species), largest);
  return result;
}

const Classification kGenera({"Genus", "Family"}, {3, 2},
                             {{"A", "g1", "f1"}, {"C", "g2", "f1"}, {"B", "g1", "f1"}, {"D", "g3", "f2"}});

TEST(TaxonomicTree, GroupsTaxaOnConsecutiveTipsAndDatesLevels) {
  const TaxonomicResult tree = build(kGenera, {"Species", "Genus", "Family"}, {10, 30, 50});
  // Species in data order A, C, B, D: A and B share a genus, so B comes second.
  EXPECT_EQ(tree.leaf_of_species[1], 1);
  EXPECT_EQ(tree.leaf_of_species[3], 2);
  EXPECT_EQ(tree.leaf_of_species[2], 3);
  EXPECT_EQ(tree.leaf_of_species[4], 4);
  EXPECT_EQ(tree.n_nodes, 10);
  std::string text;
  for (int k = 1; k <= tree.n_nodes; ++k) text += describe(tree.nodes[k]) + "\n";
  EXPECT_EQ(text,
            "A|8|10|0|1-1\nB|8|10|0|2-2\nC|9|10|0|3-3\nD|10|10|0|4-4\nALL|0|0|50|1-4\n"
            "f1|5|20|30|1-3\nf2|5|20|30|4-4\ng1|6|20|10|1-2\ng2|6|20|10|3-3\ng3|7|20|10|4-4\n");
  EXPECT_EQ(tree.level_variable[1], 1);
  EXPECT_EQ(tree.level_variable[2], 2);
  EXPECT_EQ(tree.taxa_per_level[1], 3);
  EXPECT_EQ(tree.taxa_per_level[2], 2);
  // Divergence of the lowest shared level: A-B genus, A-C family, A-D none.
  EXPECT_FLOAT_EQ(tree.divergences[1][3], 10);
  EXPECT_FLOAT_EQ(tree.divergences[1][2], 30);
  EXPECT_FLOAT_EQ(tree.divergences[1][4], 50);
  EXPECT_FLOAT_EQ(tree.divergences[2][3], 30);
}

TEST(TaxonomicTree, TaxonTablesGiveTheSameDivergencesAndDropAbsentSpecies) {
  const TaxonomicResult tree = build(kGenera, {"Species", "Genus", "Family"}, {10, 30, 50});
  core::IMatrix species_taxon;
  const core::IMatrix& first = tree.tree.classification.first_member;
  const core::IMatrix& last = tree.tree.classification.last_member;
  EXPECT_EQ(first[0][2], 3);  // tip 2 is species B
  EXPECT_EQ(first[1][1], 1);
  EXPECT_EQ(last[1][1], 2);  // genus g1: tips 1..2
  EXPECT_EQ(first[2][1], 1);
  EXPECT_EQ(last[2][1], 2);  // family f1: genera 1..2
  EXPECT_EQ(first[2][2], 3);
  EXPECT_EQ(last[3][1], 2);  // "ALL": both families

  const core::FVector values = divergences_of_levels({10, 30, 50});
  core::FMatrix d = core::matrix(0, 4, 0, 4);
  const float max =
      compute_taxonomic_divergences(4, core::DMatrix(), 2, values, tree.taxa_per_level, first, last, species_taxon, d);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(d[i][j], tree.divergences[i][j]) << i << "," << j;
  }
  EXPECT_FLOAT_EQ(max, 50);
  EXPECT_EQ(species_taxon[1][2], 2);  // C is in the second genus in tip order

  core::DMatrix abundances = core::dmatrix(0, 1, 0, 4);
  abundances[0][1] = abundances[0][3] = abundances[0][4] = 1.0 / 3;  // C absent
  compute_taxonomic_divergences(4, abundances, 2, values, tree.taxa_per_level, first, last, species_taxon, d);
  EXPECT_EQ(species_taxon[0][2], 0);
  EXPECT_EQ(d[1][2], 0);
  EXPECT_FLOAT_EQ(d[1][3], 10);
}

TEST(TaxonomicTree, UnusedSlotsMissingCategoriesAndBadLevels) {
  // Four genera announced, three met: one slot stays "/0" without upper node.
  const Classification announced({"Genus", "Family"}, {4, 2},
                                 {{"A", "g1", "f1"}, {"C", "g2", "f1"}, {"B", "g1", "f1"}, {"D", "g3", "f2"}});
  const TaxonomicResult spare = build(announced, {"Species", "Genus", "Family"}, {10, 30, 50});
  EXPECT_EQ(spare.n_nodes, 11);
  EXPECT_EQ(describe(spare.nodes[11]), "/0|0|0|0|0-0");

  // A species without genus forms a genus of its own inside its family,
  // numbered next to the other species of that family.
  const Classification missing(
      {"Genus", "Family"}, {3, 2},
      {{"A", "g1", "f1"}, {"C", "g2", "f1"}, {"B", "g1", "f1"}, {"D", "g3", "f2"}, {"E", "", "f1"}});
  const TaxonomicResult tree = build(missing, {"Species", "Genus", "Family"}, {10, 30, 50});
  EXPECT_EQ(tree.leaf_of_species[5], 3);
  EXPECT_EQ(tree.leaf_of_species[2], 4);
  EXPECT_FLOAT_EQ(tree.divergences[5][1], 30);
  EXPECT_FLOAT_EQ(tree.divergences[5][2], 30);
  EXPECT_FLOAT_EQ(tree.divergences[5][4], 50);

  EXPECT_STOPS(build(kGenera, {"Species", "Genre"}, {10, 50}),
               "\n\nWARNING: variable \"Genre\" to describe phylogeny not found among the species variable", 3);
  const Classification tangled({"Genus", "Family"}, {1, 2}, {{"A", "g1", "f1"}, {"B", "g1", "f2"}});
  EXPECT_STOPS(build(tangled, {"Species", "Genus", "Family"}, {10, 30, 50}),
               "\n\nWARNING: the classification is not nested: for species B, taxon \"g1\" belongs to another "
               "taxon of the next level than for the species before it",
               3);
}

TEST(TaxonomicTree, LaterMembersOfATaxonAreNeverSplitByItsOrderInTheList) {
  // Family f1 members A, C, B with an f2 species listed between them.
  const Classification mixed({"Genus", "Family"}, {4, 2},
                             {{"A", "g1", "f1"}, {"E", "g4", "f2"}, {"C", "g2", "f1"}, {"B", "g1", "f1"}});
  const TaxonomicResult tree = build(mixed, {"Species", "Genus", "Family"}, {10, 30, 50});
  EXPECT_EQ(tree.leaf_of_species[1], 1);
  EXPECT_EQ(tree.leaf_of_species[4], 2);
  EXPECT_EQ(tree.leaf_of_species[3], 3);
  EXPECT_EQ(tree.leaf_of_species[2], 4);
  EXPECT_FLOAT_EQ(tree.divergences[2][1], 50);
  EXPECT_FLOAT_EQ(tree.divergences[3][4], 30);
}

TEST(TaxonomicTree, DuneClassificationMatchesReference) {
  // Reference species order and divergences.
  std::istringstream reference(read_file(data_path("reference/dune/expected-instr_taxonomy.tsv")));
  std::vector<std::string> order;
  std::map<std::pair<std::string, std::string>, float> expected;
  std::string key, value;
  while (std::getline(reference, key, '\t') && std::getline(reference, value)) {
    if (key.rfind("data.species.", 0) == 0) order.push_back(value);
    if (key.rfind("div.", 0) == 0) {
      const std::size_t dot = key.find('.', 4);
      expected[{key.substr(4, dot - 4), key.substr(dot + 1)}] = std::strtof(value.c_str(), nullptr);
    }
  }
  // The taxonomy file, rows put in the order of the data.
  std::istringstream file(read_file(data_path("sets/dune/dune_taxonomy.txt")));
  std::string line;
  std::getline(file, line);
  std::map<std::string, std::vector<std::string>> rows;
  while (std::getline(file, line)) {
    std::vector<std::string> cells;
    std::istringstream split(line);
    std::string cell;
    while (std::getline(split, cell, '\t')) cells.push_back(cell);
    rows[cells[0]] = cells;
  }
  std::vector<std::vector<std::string>> ordered;
  for (const std::string& name : order) ordered.push_back(rows.at(name));
  const Classification dune({"Genus", "Family", "Order", "Superorder", "Subclass"}, {27, 15, 10, 6, 2}, ordered);
  const TaxonomicResult tree = build(dune, {"Species", "Genus", "Family"}, {1, 2, 3});
  const int n = static_cast<int>(order.size());
  ASSERT_EQ(n, 30);
  ASSERT_EQ(expected.size(), 435u);
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      EXPECT_EQ(tree.divergences[i][j], (expected[{order[i - 1], order[j - 1]}]))
          << order[i - 1] << " " << order[j - 1];
    }
  }
}

}  // namespace
}  // namespace quorvel::phylogeny
