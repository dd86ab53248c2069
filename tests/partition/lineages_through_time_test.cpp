#include "partition/lineages_through_time.hpp"

#include <gtest/gtest.h>

#include "reports/plot_tables_text.hpp"

#include "optional_tables_fixtures.hpp"
#include "partition_fixtures.hpp"

namespace quorvel::partition {
namespace {

// The table as written: the names of the case's plots and the computed values.
std::string lineages_through_time_text(const LineagesInput& in) {
  return reports::lineages_through_time_text(testing::plot_names(in.n_plots), lineages_through_time(in));
}

using testing::line_starting;
using testing::species_tree;
using testing::SpeciesTreeFixture;

struct LineagesCase {
  SpeciesTreeFixture tree = species_tree("((A:1,B:1):2,(C:2,D:2):1);");  // (A,B) at 1, (C,D) at 2, root 3
  core::DMatrix abundances;
  core::DVector times;
  LineagesInput input(const std::vector<std::vector<double>>& plots, const std::vector<double>& limits) {
    abundances = testing::abundance_table(plots);
    times = testing::limits(limits);
    LineagesInput in;
    in.n_plots = static_cast<int>(plots.size());
    in.n_species = 4;
    in.abundances = &abundances;
    in.tree = tree.view();
    in.n_times = static_cast<int>(limits.size());
    in.times = &times;
    return in;
  }
};

TEST(LineagesThroughTime, CutsCountLineagesCrossingEachTime) {
  LineagesCase c;
  EXPECT_EQ(cut_tree_at(c.tree.view(), 0).n_lineages, 4);
  EXPECT_EQ(cut_tree_at(c.tree.view(), 1.5).n_lineages, 3);  // (A,B), C, D
  EXPECT_EQ(cut_tree_at(c.tree.view(), 2).n_lineages, 2);    // (A,B), (C,D)
  const LineageCut old = cut_tree_at(c.tree.view(), 10);
  EXPECT_EQ(old.n_lineages, 1);
  for (int tip = 1; tip <= 4; ++tip) EXPECT_EQ(old.lineage_of_tip[tip], 1);
}

TEST(LineagesThroughTime, TimeZeroGivesSpeciesAndOlderThanRootOneLineage) {
  LineagesCase c;
  // Counts 2, 1, 1 in p1 (N = 4): Simpson (1 - (1/4 + 1/16 + 1/16)) * 4/3 = 5/6.
  const std::string text = lineages_through_time_text(c.input({{2, 1, 1, 0}, {0, 0, 1, 3}}, {0, 1.5, 10}));
  EXPECT_EQ(line_starting(text, "Plot\t"), "Plot\t0.000000\t1.500000\t10.000000");
  EXPECT_EQ(line_starting(text, "ALL plots\t"), "ALL plots\t4\t3\t1");
  EXPECT_EQ(line_starting(text, "p1\t"), "p1\t3\t2\t1");
  const std::string simpson = text.substr(text.find("SIMPSON"));
  // At 1.5 p1 has (A,B) 3/4 and C 1/4: (1 - 10/16) * 4/3 = 0.5.
  EXPECT_EQ(line_starting(simpson, "p1\t"), "p1\t0.833333\t0.500000\t0.000000");
  const std::string jaccard = text.substr(text.find("JACCARD"));
  EXPECT_EQ(line_starting(jaccard, "Plot1"), "Plot1\tPlot2\tTime (before present)");
  EXPECT_EQ(line_starting(jaccard, "\t\t0.000000"), "\t\t0.000000\t1.500000\t10.000000");
  EXPECT_EQ(line_starting(jaccard, "p1\tp2"), "p1\tp2\t0.250000\t0.333333\t1.000000");
  const std::string horn = text.substr(text.find("MORISITA"));
  // Time 0: only C is shared, 1/4 * 1/4 / (0.5 * (6/16 + 10/16)); at 1.5 the
  // lineage (A,B) gives p1 10/16 too: 1/16 / (10/16).
  EXPECT_EQ(line_starting(horn, "p1\tp2"), "p1\tp2\t0.125000\t0.100000\t1.000000");
}

TEST(LineagesThroughTime, OnePlotHasNoPooledRowAndNoPairTables) {
  LineagesCase c;
  const std::string text = lineages_through_time_text(c.input({{1, 1, 0, 0}}, {0, 2}));
  EXPECT_EQ(text,
            "\n\n\nNUMBER OF LINEAGES through TIME: \n\tTime (before present):\nPlot\t0.000000\t2.000000\np1\t2\t1"
            "\n\n\nSIMPSON DIVERSITY of LINEAGES through TIME: \n\tTime (before present):\nPlot\t0.000000\t2.000000"
            "\np1\t1.000000\t0.000000");
}

TEST(LineagesThroughTime, EmptyPlotsGiveEmptyCells) {
  LineagesCase c;
  const std::string text = lineages_through_time_text(c.input({{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}}, {0}));
  EXPECT_EQ(line_starting(text.substr(text.find("SIMPSON")), "p1\t"), "p1\t");
  EXPECT_EQ(line_starting(text.substr(text.find("JACCARD")), "p1\tp2"), "p1\tp2\t");
  EXPECT_EQ(line_starting(text.substr(text.find("MORISITA")), "p1\tp2"), "p1\tp2\t");
  EXPECT_EQ(line_starting(text.substr(text.find("MORISITA")), "p1\tp3"), "p1\tp3\t0.000000");
}

}  // namespace
}  // namespace quorvel::partition
