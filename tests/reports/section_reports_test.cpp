// The main result file's text and the results table of a section come from
// one result: every value of the table is the value the text shows, in the
// text's own format.
#include "reports/section_reports.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/format.hpp"
#include "randomization/permutation_summary.hpp"
#include "randomization/test_description.hpp"
#include "reports/statistics.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

// The cells of the first line of `text` that starts with `label`.
std::vector<std::string> cells_of_line(const std::string& text, const std::string& label) {
  for (const std::string& line : testing::text_lines(text))
    if (line.rfind(label, 0) == 0) return testing::tab_cells(line);
  return {};
}

TEST(SectionReports, EveryTableRowOfAPlotTestIsTheValueItsBlockShows) {
  const int n_classes = 3;
  randomization::TestSummaryMatrix global = randomization::resample_stat_type_matrix(0, 4, 0, 4);
  randomization::TestSummaryMatrix pairwise = randomization::resample_stat_type_matrix(0, 4, -20, n_classes + 3);
  // Summaries from randomized values, so that each is what a real test gives.
  for (int i = 1; i <= 4; ++i) {
    for (int c = -2; c <= n_classes + 1; ++c) {
      core::FVector v = core::vector(0, 60);
      for (int k = 1; k <= 60; ++k) v[k] = static_cast<float>(0.01 * ((k * (7 + i) + 3 * c) % 41) - 0.2);
      randomization::summarize_permutations(v, 1, 60, pairwise(i, c), 0.05f * static_cast<float>(i + c));
    }
  }
  core::IVector codes = core::ivector(0, 4);
  for (int i = 1; i <= 4; ++i) codes[i] = i;
  core::DVector limits = core::dvector(0, n_classes);
  for (int c = 1; c <= n_classes; ++c) limits[c] = 10.0 * c;
  PlotTestRecord test;
  test.test_type = randomization::kLocationsTest;
  test.n_randomizations = 60;
  test.n_classes = n_classes;
  test.class_limits = &limits;
  test.statistic_codes = &codes;
  test.global = &global;
  test.pairwise = &pairwise;
  test.pairwise_kind = 2;

  ResultsTable table;
  const std::string text = report_plot_test(table, test);
  ASSERT_FALSE(table.rows.empty());
  // The blocks of the statistics follow each other: the rows of statistic
  // code i are checked against the i-th block's lines.
  int checked = 0;
  for (int i = 1; i <= 4; ++i) {
    const std::string st = statistic_description(i, partition::kPhylogenyAnalysis).st;
    const std::string block = text.substr(text.find("Pairwise " + st));
    const std::vector<std::string> means = cells_of_line(block, "Mean permut val");
    const std::vector<std::string> low = cells_of_line(block, "95%CI-inf");
    const std::vector<std::string> p = cells_of_line(block, "P(2-sided test, H1: obs<>exp)");
    for (const TableRow& row : table.rows) {
      if (row.statistic != st || row.scope != std::string(kClassScope)) continue;
      // Cells: the label, four global cells, a blank, then the classes.
      const std::size_t column = 5 + static_cast<std::size_t>(row.index);
      SCOPED_TRACE(st + " class " + std::to_string(row.index));
      EXPECT_EQ(means.at(column), core::format_cell("%G", row.mean));
      EXPECT_EQ(low.at(column), core::format_cell("%G", row.ci95_low));
      EXPECT_EQ(p.at(column), core::format_cell("%.4f", row.p_two_sided));
      EXPECT_EQ(row.limit, limits[row.index]);
      EXPECT_EQ(row.test_id.kind, randomization::TestKind::kSpatial);
      EXPECT_EQ(row.tag.quantity, Quantity::kPlotStatistic);
      EXPECT_EQ(row.tag.subject, i);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 4 * n_classes);
}

TEST(SectionReports, TheIntervalTestAndItsRowsShowTheSameSummaries) {
  const int K = 3;
  randomization::TestSummaryMatrix p_star = randomization::resample_stat_type_matrix(0, 3, 0, K);
  randomization::TestSummaryMatrix pi = randomization::resample_stat_type_matrix(0, 2, 0, K);
  for (int m = 1; m <= K; ++m) {
    for (int row = 0; row <= 3; ++row) {
      core::FVector v = core::vector(0, 50);
      for (int k = 1; k <= 50; ++k) v[k] = static_cast<float>(0.001 * ((k * 13 + m * 7 + row) % 97));
      randomization::summarize_permutations(v, 1, 50, p_star(row, m), 0.03f * static_cast<float>(m + row));
      if (row <= 2) pi(row, m) = p_star(row, m);
    }
  }
  core::DVector thresholds = core::dvector(0, K);
  for (int m = 1; m <= K; ++m) thresholds[m] = m - 1;
  ResultsTable table;
  const std::string text = report_interval_test(table, K, thresholds, 50, p_star, pi);
  const std::string pad_block = text.substr(text.find("PAD(<t)"));
  const std::vector<std::string> means = cells_of_line(pad_block, "Mean permut val");
  int checked = 0;
  for (const TableRow& row : table.rows) {
    if (row.statistic != pool_names(partition::kPhylogenyAnalysis).signal) continue;
    EXPECT_EQ(means.at(static_cast<std::size_t>(row.index)), core::format_cell("%G", row.mean)) << row.index;
    EXPECT_EQ(row.tag.quantity, Quantity::kDecomposition);
    EXPECT_EQ(row.test_id.kind, randomization::TestKind::kTimeDecomposition);
    ++checked;
  }
  EXPECT_EQ(checked, K);
}

}  // namespace
}  // namespace quorvel::reports
