#include "individuals/individual_pairs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "reports/individual_text.hpp"
#include "support/test_support.hpp"

namespace quorvel::individuals {
namespace {

// A small mapped plot: individuals given by position and species (1 = A,
// 2 = B), variables Group, x, y, Taxon; species variables Species, Genus.
class IndividualPairsTest : public quorvel::testing::WorkDirTest {
 protected:
  struct Tree {
    double x, y;
    int species;
  };

  void set_individuals(const std::vector<Tree>& trees) {
    n = static_cast<int>(trees.size());
    x = core::dvector(0, n);
    y = core::dvector(0, n);
    species_of = core::ivector(0, n);
    values = core::matrix(0, 3, 0, n);
    for (int i = 1; i <= n; ++i) {
      const Tree& tree = trees[static_cast<std::size_t>(i - 1)];
      x[i] = tree.x;
      y[i] = tree.y;
      species_of[i] = tree.species;
      values(1, i) = static_cast<float>(tree.x);
      values(2, i) = static_cast<float>(tree.y);
      values(3, i) = static_cast<float>(tree.species);
    }
  }

  void compile(const std::vector<std::string>& test_texts) {
    texts = quorvel::testing::name_list(test_texts);
    for (std::size_t k = 0; k < test_texts.size(); ++k) texts[static_cast<int>(k)] = test_texts[k];
    tests = logic_test_matrix(0, static_cast<int>(test_texts.size()) - 1, 0, 101);
    for (int k = 0; k < static_cast<int>(test_texts.size()); ++k) {
      parse_logic_test(test_texts[static_cast<std::size_t>(k)], tests, k, k, individual_set(), species_set());
    }
  }

  void analyse(int n_pair_tests, const std::vector<double>& class_limits, bool with_divergences = true) {
    classes.n = static_cast<int>(class_limits.size());
    classes.limits = core::dvector(0, classes.n + 1);
    for (int c = 1; c <= classes.n; ++c) classes.limits[c] = class_limits[static_cast<std::size_t>(c - 1)];
    regression_bounds = core::dvector(0, 1);  // one interval without upper bound
    divergences = core::matrix(0, 2, 0, 2);
    if (with_divergences) {
      divergences(0, 0) = 1;
      divergences(1, 2) = divergences(2, 1) = 4;
    }
    const IndividualInput input{n, 2, &species_of, &x, &y, logic()};
    analyse_individual_pairs(input, tests, n_pair_tests, classes, 1, regression_bounds, divergences, results);
  }

  VariableSet individual_set() { return VariableSet{4, &individual_names, &individual_categories, &no_labels}; }
  VariableSet species_set() { return VariableSet{2, &species_names, &species_categories, &species_labels}; }
  LogicData logic() { return LogicData{&values, &species_values, &species_of}; }

  void SetUp() override {
    WorkDirTest::SetUp();
    const char* names[] = {"Group", "x", "y", "Taxon"};
    for (int j = 0; j <= 3; ++j) individual_names[j] = names[j];
    individual_categories[3] = 2;
    species_names[0] = "Species";
    species_names[1] = "Genus";
    species_categories[0] = 2;
    species_categories[1] = 2;
    species_labels[0] = quorvel::testing::name_list({"A", "B"});
    species_labels[1] = quorvel::testing::name_list({"Quercus", "Acer"});
    for (int s = 1; s <= 2; ++s) species_values(0, s) = species_values(1, s) = static_cast<float>(s);
  }

  int n = 0;
  core::DVector x, y, regression_bounds;
  core::IVector species_of;
  core::FMatrix values, divergences;
  core::FMatrix species_values = core::matrix(0, 1, 0, 2);
  core::NameTable individual_names = core::name_table(0, 3), species_names = core::name_table(0, 1), texts;
  core::IVector individual_categories = core::ivector(0, 3), species_categories = core::ivector(0, 1);
  core::Vector<core::NameTable> no_labels{0, 3}, species_labels{0, 1};
  LogicTestTable tests;
  PairDistanceClasses classes;
  IndividualPairResults results;
};

TEST_F(IndividualPairsTest, OpensOneExtraClassAndLeavesDistanceZeroOutOfTheRegression) {
  set_individuals({{0, 0, 1}, {0, 0, 2}, {3, 0, 1}, {10, 0, 2}});
  compile({"[]"});
  analyse(0, {1, 5});
  // Distances 0 | 3, 3 | 10, 10, 7: the pair beyond 5 opens class 3.
  ASSERT_EQ(results.n_classes, 3);
  EXPECT_TRUE(classes.extra_class_opened);
  EXPECT_DOUBLE_EQ(classes.limits[3], 10 * 1.000001);
  const double pairs[] = {6, 1, 2, 3};
  for (int c = 0; c <= 3; ++c) EXPECT_EQ(results.class_pairs[c], pairs[c]) << c;
  EXPECT_DOUBLE_EQ(results.class_mean_distance[2], 3);
  EXPECT_DOUBLE_EQ(results.class_mean_distance[0], 33.0 / 6);
  EXPECT_EQ(results.regression_pairs[1], 5);  // the pair at distance 0 is not regressed
  EXPECT_DOUBLE_EQ(results.regression_mean_distance[1], 33.0 / 5);

  // A later analysis keeps the extra class and widens it.
  set_individuals({{0, 0, 1}, {0, 20, 2}});
  const IndividualInput input{n, 2, &species_of, &x, &y, logic()};
  analyse_individual_pairs(input, tests, 0, classes, 1, regression_bounds, divergences, results);
  EXPECT_EQ(results.n_classes, 3);
  EXPECT_DOUBLE_EQ(classes.limits[3], 20 * 1.000001);
}

TEST_F(IndividualPairsTest, AutocorrelationOfMembershipAndTurnover) {
  set_individuals({{0, 0, 1}, {1, 0, 1}, {10, 0, 2}, {11, 0, 2}});
  compile({"[]", "[Taxon(1)=Taxon(2)]"});
  analyse(1, {2, 20});
  // All pairs: one individual drawn after another of the same species of two
  // in four, -1/(N-1) below independence.
  EXPECT_NEAR(results.autocorrelation(1, 1, 0), -1.0 / 3, 1e-12);
  // Neighbours (class 1) are of one species: perfect correlation.
  EXPECT_NEAR(results.autocorrelation(1, 1, 1), 1, 1e-12);
  EXPECT_NEAR(results.autocorrelation(1, 2, 1), -1, 1e-12);
  EXPECT_DOUBLE_EQ(results.test_values(1, 0), 2);  // class 0: the count
  EXPECT_DOUBLE_EQ(results.test_values(1, 1), 1);
  EXPECT_DOUBLE_EQ(results.test_values(1, 2), 0);
  // Turnover: 4 of 6 pairs heterospecific, mean divergence 16/6.
  EXPECT_DOUBLE_EQ(results.turnover.total_H, 4.0 / 6);
  EXPECT_DOUBLE_EQ(results.turnover.total_D, 16.0 / 6);
  EXPECT_DOUBLE_EQ(results.turnover.total_R, 4);
  EXPECT_DOUBLE_EQ(results.turnover.rows[0].I[1], 1);  // class 1: no heterospecific pair
  EXPECT_DOUBLE_EQ(results.turnover.rows[0].I[2], 1 - 1 / (4.0 / 6));
  EXPECT_EQ(results.turnover.rows[1].R[0], MISSING_VALUE);  // conspecific pairs only
}

TEST_F(IndividualPairsTest, SpeciesMakingUpTheWholeBasePopulationHasNoAutocorrelation) {
  set_individuals({{0, 0, 1}, {1, 0, 1}, {5, 0, 2}, {9, 0, 1}});
  compile({"[Taxon=1]"});
  analyse(0, {2, 20});
  EXPECT_EQ(results.n_kept, 3);
  EXPECT_EQ(results.autocorrelation(1, 1, 0), MISSING_VALUE);
  EXPECT_EQ(results.slope_distance(1, 1, 1), MISSING_VALUE);
  EXPECT_EQ(results.species_pair_weight(1, 1), 0);
  // One species: no heterospecific pair, so I is undefined.
  EXPECT_EQ(results.turnover.total_H, 0);
  EXPECT_EQ(results.turnover.rows[0].I[0], MISSING_VALUE);
}

TEST_F(IndividualPairsTest, SpeciesPairTestsWeighTheAutocorrelations) {
  set_individuals({{0, 0, 1}, {1, 0, 1}, {10, 0, 2}, {11, 0, 2}, {20, 0, 1}});
  compile({"[]", "[Genus(1)!=Genus(2)]"});
  analyse(-1, {2, 30});
  EXPECT_EQ(results.test_total, 3);      // species pairs with a weight: AA, AB, BB
  EXPECT_EQ(results.test_counts[1], 1);  // AB
  EXPECT_DOUBLE_EQ(results.species_pair_weight(1, 2), std::sqrt(0.6 * 0.4 * 0.4 * 0.6));
  EXPECT_DOUBLE_EQ(results.test_values(1, 1), results.autocorrelation(1, 2, 1));
}

TEST_F(IndividualPairsTest, ReportShowsEmptyClassesAndCutsTestTexts) {
  set_individuals({{0, 0, 1}, {1, 0, 1}, {40, 0, 2}, {41, 0, 2}, {50, 0, 3 - 1}});
  species_of[5] = 2;
  compile({"[]\tcomment", "[Taxon(1)=Taxon(2)]"});
  analyse(1, {2, 5, 100});
  const reports::IndividualReport report{&species_labels[0], &texts, &tests, individual_set(), species_set(), logic()};
  const std::string text = reports::individual_text(results, report).file;
  EXPECT_NE(text.find("\n\nBase population: 5 individuals selected by test [] interpreted as {1}=1\n"),
            std::string::npos);
  // Class 2 (2 < d <= 5) holds no pair: a count of 0 and an empty mean.
  EXPECT_EQ(text.find("comment"), std::string::npos);
  EXPECT_NE(text.find("\n# pairs of individuals\t\t\t\t10\t2\t0\t8\t\t10\t\t10\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nmean distance between pairs\t\t\t\t28\t1\t\t34.75\t\t28\t\t2.70585"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\n\n[Taxon(1)=Taxon(2)]  :  {1}=[Taxon(ind1) = Taxon(ind2)]\t4\t0.400000\t\t4\t1\t\t0.25"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nI\t0.6\t\t\t1\t1\t\t1\nP\t2.4\t\t\t1\t1\t\t1\nR\t4\t\t\t\t\t\t"), std::string::npos) << text;
}

}  // namespace
}  // namespace quorvel::individuals
