#include "partition/diversity_indices.hpp"

#include <gtest/gtest.h>

#include "reports/plot_tables_text.hpp"

#include "optional_tables_fixtures.hpp"
#include "partition_fixtures.hpp"

namespace quorvel::partition {
namespace {

// The table as written: the names of the case's plots and the computed values.
std::string diversity_indices_text(const DiversityIndicesInput& in) {
  return reports::diversity_indices_text(testing::plot_names(in.n_plots), diversity_indices(in));
}

using testing::line_starting;
using testing::species_tree;
using testing::SpeciesTreeFixture;

// ((A,B),(C,D)) with branches of 1 above every node, and divergences its ages.
const char kTree[] = "((A:1,B:1):1,(C:1,D:1):1);";

TEST(PhylogeneticDiversity, CountsBranchesBelowTheCommonAncestorOnly) {
  const SpeciesTreeFixture tree = species_tree("((A:1,B:1):1,C:2);");
  const double ac[] = {0, 1, 0, 1};
  const double ab[] = {0, 1, 1, 0};
  const double a[] = {0, 1, 0, 0};
  const double none[] = {0, 0, 0, 0};
  EXPECT_DOUBLE_EQ(phylogenetic_diversity(tree.view(), 3, ac), 4.0);  // A, (A,B) and C
  EXPECT_DOUBLE_EQ(phylogenetic_diversity(tree.view(), 3, ab), 2.0);  // not the branch above (A,B)
  EXPECT_DOUBLE_EQ(phylogenetic_diversity(tree.view(), 3, a), 0.0);
  EXPECT_DOUBLE_EQ(phylogenetic_diversity(tree.view(), 3, none), 0.0);
}

struct DiversityCase {
  SpeciesTreeFixture tree = species_tree(kTree);
  core::FMatrix divergences = testing::divergence_matrix(4, {{1, 2, 2}, {2, 2}, {1}});
  core::DMatrix abundances;
  DiversityIndicesInput input(const std::vector<std::vector<double>>& plots, bool with_tree = true,
                              bool with_divergences = true) {
    abundances = testing::abundance_table(plots);
    DiversityIndicesInput in;
    in.n_plots = static_cast<int>(plots.size());
    in.n_species = plots.empty() ? 0 : static_cast<int>(plots[0].size());
    in.abundances = &abundances;
    in.divergences = table_distances(with_divergences ? &divergences : nullptr);
    if (with_tree) in.tree = tree.view();
    return in;
  }
};

TEST(DiversityIndices, IdenticalListsAreFullySimilar) {
  DiversityCase c;
  const std::string text = diversity_indices_text(c.input({{1, 3, 0, 0}, {2, 2, 0, 0}}));
  // Individuals: 1/4*2/4 + 3/4*2/4 of pairs between A and B, divergence 1.
  EXPECT_EQ(line_starting(text, "p1\tp2"), "p1\tp2\t\t2\t1.000000\t1.000000\t0.500000\t1.000000");
  EXPECT_EQ(line_starting(text, "p1\t"), "p1\t2\t1.000000\t2.000000");
}

TEST(DiversityIndices, DisjointCladesShareNothing) {
  DiversityCase c;
  const std::string text = diversity_indices_text(c.input({{1, 1, 0, 0}, {0, 0, 1, 1}}));
  // Below the union's ancestor (the root) the two plots share no branch.
  EXPECT_EQ(line_starting(text, "p1\tp2"), "p1\tp2\t\t0\t0.000000\t0.000000\t2.000000\t2.000000");
  EXPECT_EQ(line_starting(text, "All plots"), "All plots\t4\t1.666667\t6.000000");
}

TEST(DiversityIndices, PhylogeneticJaccardIsMeasuredBelowTheUnionsAncestor) {
  // On ((A:1,B:1):1,C:2): {A} and {A,B,C} share A's path to the root, 2 of
  // the union's 5; {A} and {B} share nothing below (A,B). The PD column is
  // each plot's own (Faith's) PD: 0 for one species.
  DiversityCase c;
  c.tree = species_tree("((A:1,B:1):1,C:2);");
  const std::string text = diversity_indices_text(c.input({{1, 0, 0}, {1, 1, 1}, {0, 1, 0}}, true, false));
  EXPECT_EQ(line_starting(text, "p1\tp2"), "p1\tp2\t\t1\t0.333333\t0.400000");
  EXPECT_EQ(line_starting(text, "p1\tp3"), "p1\tp3\t\t0\t0.000000\t0.000000");
  EXPECT_EQ(line_starting(text, "p2\tp3"), "p2\tp3\t\t1\t0.333333\t0.400000");
  EXPECT_EQ(line_starting(text, "p1\t"), "p1\t1\t0.000000");
  EXPECT_EQ(line_starting(text, "p2\t"), "p2\t3\t5.000000");
}

TEST(DiversityIndices, SingleSpeciesPlotsLeaveUndefinedCellsEmpty) {
  DiversityCase c;
  const std::string text = diversity_indices_text(c.input({{0, 0, 5, 0}, {0, 0, 2, 0}, {0, 0, 0, 0}}));
  EXPECT_EQ(line_starting(text, "p1\t"), "p1\t1\t\t0.000000");                      // no pair of species
  EXPECT_EQ(line_starting(text, "p1\tp2"), "p1\tp2\t\t1\t1.000000\t\t0.000000\t");  // PD of the union 0
  EXPECT_EQ(line_starting(text, "p2\tp3"), "p2\tp3\t\t0\t0.000000\t\t\t");          // no individuals in p3
  EXPECT_EQ(line_starting(text, "p3\t"), "p3\t0\t\t0.000000");
  EXPECT_EQ(text.find("nan"), std::string::npos);
  EXPECT_EQ(text.find("inf"), std::string::npos);
}

TEST(DiversityIndices, ColumnsFollowTheDataGiven) {
  DiversityCase c;
  const std::string no_tree = diversity_indices_text(c.input({{1, 1, 0, 0}, {0, 1, 1, 0}}, false, true));
  EXPECT_EQ(line_starting(no_tree, "Plot\t"), "Plot\tSp Richness\tMean divergence between species");
  EXPECT_EQ(line_starting(no_tree, "p1\tp2"), "p1\tp2\t\t1\t0.333333\t1.250000\t1.666667");
  const std::string plain = diversity_indices_text(c.input({{1, 1, 0, 0}}, false, false));
  EXPECT_EQ(plain, "\n\n\nDIVERSITY indices\nPlot\tSp Richness\np1\t2");
  const std::string header = line_starting(diversity_indices_text(c.input({{1, 0, 0, 0}, {0, 1, 0, 0}})), "Plot1");
  EXPECT_EQ(header,
            "Plot1\tPlot2\t\tNumber of shared species\tJaccard\x92s coefficient of similarity: J=(S1+S2-S1&2)/S1&2"
            "\tPJ=(PD1+PD2-PD1&2)/PD1&2\tmean divergence btw ind\tmean divergence btw sp");
}

}  // namespace
}  // namespace quorvel::partition
