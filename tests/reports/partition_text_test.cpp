#include "reports/partition_text.hpp"

#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "partition/diversity_partition.hpp"
#include "partition_fixtures.hpp"
#include "reports/report_files.hpp"
#include "reports/section_reports.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using namespace quorvel::partition;  // NOLINT: the fixtures build partitions

// The section appended to the main result file, as the run does.
int write_partition_results(const PartitionReportInput& input) {
  append_section("results.txt", partition_results_text(input));
  return 0;
}

using quorvel::testing::data_path;
using quorvel::testing::read_file;

// Four plots on a line, five species, a small ultrametric tree.
struct SmallCase {
  core::DMatrix A;
  core::FMatrix D;
  core::DVector t;
  core::DVector x, y;
  core::IVector categories;
  core::NameTable category_names;
  core::NameTable plot_names = quorvel::testing::name_list({"p1", "p2", "p3", "p4"});
  PartitionTables tables;
  DistanceClassTable classes;
  RegressionRow rows[5];
  StatisticSummary summary;
  PartitionReportInput input;

  SmallCase(int data_type, int selection_mode, int analysis_kind, int pairwise_mode) {
    A = partition::testing::abundance_table({{4, 2, 0, 1, 0}, {1, 0, 3, 0, 2}, {0, 5, 1, 1, 0}, {2, 2, 2, 0, 1}},
                                            data_type == kPresenceAbsenceData);
    D = partition::testing::divergence_matrix(5, {{2, 8, 8, 20}, {8, 8, 20}, {3, 20}, {20}});
    t = partition::testing::limits({0, 2.5, 10, 30});
    x = core::dvector(0, 4);
    y = core::dvector(0, 4);
    for (int k = 1; k <= 4; ++k) x[k] = 3.0 * k * k;
    categories = core::ivector(0, 4);
    category_names = core::name_table(0, 2);
    category_names[1] = "wet";
    category_names[2] = "dry";
    for (int k = 1; k <= 4; ++k) categories[k] = k % 2 + 1;
    tables = make_partition_tables(4);
    PairSelection selection;
    selection.mode = selection_mode;
    selection.categories = &categories;
    selection.key1 = selection_mode == 1 ? 2 : 0;
    compute_diversity_partition(4, 5, A, data_type, selection, &D, 4, t, PlotWeighting::kEqual, tables);
    PlotPositions positions;
    positions.x = &x;
    positions.y = &y;
    classes = make_distance_class_table(pairwise_mode == 2 ? 2 : 0);
    if (pairwise_mode == 2) {
      classes.limit[1] = 20;
      classes.limit[2] = 30;
      assign_distance_classes(4, classes, positions, selection);
    }
    for (int code = 1; code <= 4; ++code) {
      rows[code] = make_regression_row(classes.classes);
      regress_on_distance(4, classes, selection, 2, positions, tables.pairwise[code], rows[code]);
    }
    summary = make_statistic_summary();
    fill_statistic_summary(tables, summary);
    input.n_plots = 4;
    input.classes = &classes;
    input.selection = selection;
    input.category_names = &category_names;
    input.statistics = {1, 2, 3, 4};
    input.regressions = rows;
    input.summary = &summary;
    input.tables = &tables;
    input.n_intervals = analysis_kind == 1 ? 4 : 0;
    input.limits = &t;
    input.pairwise_mode = pairwise_mode;
    input.data_type = data_type;
    input.analysis_kind = analysis_kind;
    input.plot_names = &plot_names;
  }
};

class PartitionReport : public quorvel::testing::WorkDirTest {
 protected:
  void expect_report(const SmallCase& c, const std::string& expected_file) {
    EXPECT_EQ(write_partition_results(c.input), 0);
    EXPECT_EQ(read_file("results.txt"), read_file(data_path("partition/" + expected_file)));
  }
};

TEST_F(PartitionReport, PhylogenyWithDistanceClassesAndIntervals) {
  expect_report(SmallCase(kCountData, 0, 1, 2), "partition_report_phylogeny.txt");
}

TEST_F(PartitionReport, PresenceDataWriteOnlyThePIBlock) {
  expect_report(SmallCase(kPresenceAbsenceData, 0, 1, 1), "partition_report_presence.txt");
}

TEST_F(PartitionReport, TraitsWithinOneCategory) {
  expect_report(SmallCase(kRelativeAbundanceData, 1, 2, 1), "partition_report_traits.txt");
}

TEST_F(PartitionReport, AppendsToWhatTheFileHolds) {
  quorvel::testing::write_file("results.txt", "before");
  SmallCase c(kCountData, 0, 0, 0);
  c.input.statistics = {1};
  EXPECT_EQ(write_partition_results(c.input), 0);
  EXPECT_EQ(read_file("results.txt"), "before" + partition_results_text(c.input));
  EXPECT_EQ(partition_results_text(c.input).substr(0, 61),
            "\n\n\n\n\nANALYSIS of : SPECIES-PLOT data for all pairs of plots\n\n");
}

TEST_F(PartitionReport, UnopenableFileWithoutAUserStops) {
  std::filesystem::create_directory("results.txt");
  SmallCase c(kCountData, 0, 1, 0);
  const std::string warning =
      "\nWARNING: Cannot open results file \"results.txt\".\nIf it is being used by another application, close it "
      "first. Then press Return.\n";
  EXPECT_STOPS(write_partition_results(c.input), warning + core::kNoMoreInput, core::kEndOfInputStatus);
  EXPECT_EQ(console_output(), warning);
}

// The table's values of a partition section are those its text shows, in
// the text's formats.
TEST(PartitionReportRows, TableRowsAreTheValuesOfTheText) {
  SmallCase c(kCountData, 0, 1, 2);
  ResultsTable table;
  const std::string text = report_partition(table, c.input);
  int checked = 0;
  for (const TableRow& row : table.rows) {
    const std::string scope = row.scope;
    const char* format = scope == kGlobalScope || scope == kWithinScope || scope == kAmongScope ? "%.4f"
                         : scope == kClassScope && row.tag.quantity == Quantity::kPlotStatistic ? "%G"
                         : scope == kIntervalScope                                              ? "%.6g"
                                                                                                : nullptr;
    if (format == nullptr || !std::isfinite(row.value)) continue;
    SCOPED_TRACE(row.statistic + " " + scope + " " + std::to_string(row.index));
    EXPECT_NE(text.find("\t" + core::format_cell(format, row.value)), std::string::npos);
    ++checked;
  }
  EXPECT_GT(checked, 30);
}

}  // namespace
}  // namespace quorvel::reports
