#include "reports/results_table.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "core/arrays.hpp"
#include "randomization/permutation_summary.hpp"
#include "reports/report_page.hpp"
#include "reports/run_reports.hpp"
#include "reports/test_rows.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int count_tabs(const std::string& line) { return static_cast<int>(std::count(line.begin(), line.end(), '\t')); }

TEST(ResultsTable, HeaderThenOneLineOfFifteenCellsPerRow) {
  ResultsTable table;
  table.add(kPlotsPhylogenySection, "Ist", kGlobalScope, kNoIndex, MISSING_VALUE, 0.123456789012);
  table.add(kPlotsPhylogenySection, "Ist", kClassScope, 2, 4.05, MISSING_VALUE);
  const std::vector<std::string> lines = lines_of(results_table_text(table));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "section\tstatistic\tscope\tindex\tlimit\tvalue\ttest\tn\tmean\tsd\tci95_low\tci95_high\tp_lower\tp_upper\t"
            "p_two_sided");
  // Full precision, not the report's rounding; missing values are empty cells.
  EXPECT_EQ(lines[1], "plots_phylogeny\tIst\tglobal\t\t\t0.123456789\t\t\t\t\t\t\t\t\t");
  EXPECT_EQ(lines[2], "plots_phylogeny\tIst\tclass\t2\t4.05\t\t\t\t\t\t\t\t\t\t");
  for (const std::string& line : lines) EXPECT_EQ(count_tabs(line), 14) << line;
}

TEST(ResultsTable, NamesFromDataFilesCannotBreakARow) {
  ResultsTable table;
  table.add(kPhylogenyTraitsSection, "autocorrelation(body\tsize\r\n)", kIntervalScope, 3, 2.25, -0.5);
  const std::vector<std::string> lines = lines_of(results_table_text(table));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "phylogeny_traits\tautocorrelation(body size  )\tinterval\t3\t2.25\t-0.5\t\t\t\t\t\t\t\t\t");
}

TEST(ResultsTable, TestRowsCarryTheSummaryAndEnvelopesOnlyFromFortyRandomizations) {
  // Envelopes need 40 randomized values: fewer leave both bounds empty,
  // also when the test ran more randomizations than it kept values.
  randomization::TestSummary summary;
  summary.valid_count = 99;
  summary.observed = 0.25f;
  summary.mean = 0.125f;
  summary.sd = 0.5f;
  summary.ci95_low = -1.0f;
  summary.ci95_high = 1.0f;
  summary.p_lower = 0.75f;
  summary.p_upper = 0.25f;
  summary.p_two_sided = 0.5f;
  ResultsTable table;
  ASSERT_TRUE(add_test_row(table, kPlotsPhylogenySection, "Ist", kClassScope, 1, 2.0, "LOCATIONS RANDOMIZATION TESTS",
                           99, summary));
  summary.valid_count = 39;
  ASSERT_TRUE(add_test_row(table, kPlotsPhylogenySection, "Ist", kClassScope, 2, 4.0, "LOCATIONS RANDOMIZATION TESTS",
                           99, summary));
  randomization::TestSummary nothing;
  nothing.observed = MISSING_VALUE_F;
  nothing.mean = MISSING_VALUE_F;
  EXPECT_FALSE(add_test_row(table, kPlotsPhylogenySection, "Ist", kClassScope, 3, 6.0, "T", 99, nothing));
  const std::vector<std::string> lines = lines_of(results_table_text(table));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(
      lines[1],
      "plots_phylogeny\tIst\tclass\t1\t2\t0.25\tLOCATIONS RANDOMIZATION TESTS\t99\t0.125\t0.5\t-1\t1\t0.75\t0.25\t0.5");
  EXPECT_EQ(
      lines[2],
      "plots_phylogeny\tIst\tclass\t2\t4\t0.25\tLOCATIONS RANDOMIZATION TESTS\t99\t0.125\t0.5\t\t\t0.75\t0.25\t0.5");
}

TEST(ResultsTable, PValuesAreExactQuotientsOfTheCounts) {
  // Permuted values 1..N; observed above them all, then among them with 5
  // values at most as large. P = (c + 1) / (N + 1) in double precision: 0.01
  // prints as 0.01 (so that p < 0.01 in a script selects nothing at 99).
  for (const int n : {99, 999}) {
    SCOPED_TRACE(n);
    ResultsTable table;
    table.add(kPlotsPhylogenySection, "Pst", kGlobalScope, kNoIndex, MISSING_VALUE, 0.123456789012);
    for (const float observed : {static_cast<float>(n + 1), 5.5f}) {
      core::FVector v = core::vector(0, n);
      for (int i = 1; i <= n; ++i) v[i] = static_cast<float>(n + 1 - i);
      randomization::TestSummary summary;
      randomization::summarize_permutations(v, 1, n, summary, observed);
      ASSERT_TRUE(
          add_test_row(table, kPlotsPhylogenySection, "Pst", kGlobalScope, kNoIndex, MISSING_VALUE, "T", n, summary));
    }
    const std::vector<std::string> lines = lines_of(results_table_text(table));
    ASSERT_EQ(lines.size(), 4u);
    const std::string p = n == 99 ? "0.01" : "0.001";
    const std::string low = n == 99 ? "0.06\t0.95\t0.11" : "0.006\t0.995\t0.011";
    // One value of the statistic: the observed row's, also in its test rows.
    EXPECT_EQ(lines[2].substr(0, lines[2].find("\tT\t")), "plots_phylogeny\tPst\tglobal\t\t\t0.123456789");
    EXPECT_EQ(lines[2].substr(lines[2].rfind('\t', lines[2].rfind('\t', lines[2].rfind('\t') - 1) - 1)),
              "\t1\t" + p + "\t" + p);
    EXPECT_EQ(lines[3].substr(lines[3].rfind('\t', lines[3].rfind('\t', lines[3].rfind('\t') - 1) - 1)), "\t" + low);
  }
}

TEST(PlotTestTitle, NamesTheTestAndItsPermutations) {
  PlotTestRecord test;
  test.test_type = 0;
  EXPECT_EQ(plot_test_title(test), "LOCATIONS RANDOMIZATION TESTS");
  test.test_type = 1;
  test.permutation_mode = 0;
  EXPECT_EQ(plot_test_title(test), "PHYLOGENY RANDOMIZATION TEST : permute sampled species OVER WHOLE PHYLOGENY");
  test.permutation_mode = -1;
  test.clade_restriction = -1;
  test.clade_name = "Poaceae";
  EXPECT_EQ(plot_test_title(test),
            "PHYLOGENY RANDOMIZATION TEST : permute all species from the phylogenetic tree WITHIN CLADE \"Poaceae\"");
  test.permutation_mode = 2;
  test.clade_restriction = 20;
  EXPECT_EQ(plot_test_title(test),
            "PHYLOGENY RANDOMIZATION TEST : permute species with similar abundances (max ratio of abundances=2) WITHIN "
            "CLADES YOUNGER THAN AGE 20");
  test.test_type = 2;
  test.permutation_mode = -3;
  EXPECT_EQ(plot_test_title(test),
            "INTER-SPECIES TRAIT DISTANCES RANDOMIZATION TEST : permute species with similar numbers of occurrences "
            "(max ratio of occurrences=3)");
}

class RunReportsTest : public testing::WorkDirTest {};

TEST_F(RunReportsTest, WritesTheTableAndCreatesTheFigureFolder) {
  RunReports reports;
  reports.table_file = "table.tsv";
  reports.figures_folder = "figures";
  reports.data_files = "m.txt";
  for (int c = 1; c <= 2; ++c) {
    reports.table.add(kPlotsPhylogenySection, "mean_distance", kClassScope, c, 2 * c, 2 * c - 0.5,
                      {Quantity::kMeanDistance, 0});
    reports.table.add(kPlotsPhylogenySection, "Ist", kClassScope, c, 2 * c, 0.1 * c, {Quantity::kPlotStatistic, 1});
  }
  const WrittenReports written = write_run_reports(reports);
  EXPECT_EQ(written.table, "table.tsv");
  EXPECT_EQ(written.figures, (std::vector<std::string>{"figures/distance_classes_plots_phylogeny.svg"}));
  EXPECT_EQ(written.page, "figures/index.html");
  EXPECT_EQ(testing::read_file("table.tsv"), results_table_text(reports.table));
  const std::string svg = testing::read_file(written.figures[0]);
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  // The page shows the figure as written.
  EXPECT_NE(testing::read_file(written.page).find(base64(svg)), std::string::npos);
}

TEST_F(RunReportsTest, AFileOrFolderThatCannotBeWrittenStopsTheRunNamingIt) {
  RunReports table;
  table.table_file = "no_such_folder/table.tsv";
  RunReports figures;
  figures.figures_folder = "no_such_folder/figures";
  for (const RunReports& reports : {table, figures}) {
    const std::string name = reports.table_file.empty() ? reports.figures_folder : reports.table_file;
    SCOPED_TRACE(name);
    EXPECT_STOPS(write_run_reports(reports),
                 "\n\nERROR: cannot write \"" + name +
                     "\" (No such file or directory): the run is stopped and no result file has been changed.\n"
                     "Press any key to stop.",
                 3);
  }
}

}  // namespace
}  // namespace quorvel::reports
