#include "reports/left_out_text.hpp"

#include <gtest/gtest.h>

#include <numeric>

#include "partition/diversity_partition.hpp"
#include "partition_fixtures.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using namespace quorvel::partition;  // NOLINT: the fixtures build partitions

TEST(LeftOutReport, NamesTheFirstTwentyPlotsThenCountsTheRest) {
  std::vector<std::string> sites;
  for (int k = 1; k <= 23; ++k) sites.push_back("S" + std::to_string(k));
  const core::NameTable names = quorvel::testing::name_list(sites);
  std::vector<int> plots(23);
  std::iota(plots.begin(), plots.end(), 1);
  const std::string list = plot_name_list(plots, names);
  EXPECT_EQ(list.substr(0, 12), "S1, S2, S3, ");
  EXPECT_EQ(list.substr(list.size() - 19), "S19, S20 and 3 more");
  EXPECT_EQ(plot_name_list({2}, names), "S2");
  EXPECT_EQ(joined_names({"Ist"}), "Ist");
  EXPECT_EQ(joined_names({"Ist", "Pst"}), "Ist and Pst");
  EXPECT_EQ(joined_names({"P*st", "Ds(t)", "PIst"}), "P*st, Ds(t) and PIst");
  EXPECT_EQ(left_out_line("Ist", "one individual", {}, names), "");
}

TEST(LeftOutReport, StatisticsWithTheSamePlotsShareALine) {
  // Plot 1 is one individual: left out of every statistic, all on one line;
  // plot 2 one species: with plot 1, out of P* and PI; plot 3 empty.
  const core::DMatrix data = partition::testing::abundance_table({{1, 0}, {0, 4}, {0, 0}, {2, 3}, {1, 1}});
  core::DMatrix A = data;
  PartitionTables tables = make_partition_tables(5);
  compute_diversity_partition(5, 2, A, kCountData, PairSelection(), nullptr, 2, partition::testing::limits({0, 1}),
                              PlotWeighting::kEqual, tables);
  const core::NameTable names = quorvel::testing::name_list({"a", "b", "c", "d", "e"});
  PartitionReportInput in;
  in.tables = &tables;
  in.plot_names = &names;
  in.statistics = {1, 2, 3, 4};
  in.data_type = kCountData;
  in.analysis_kind = 1;
  in.empty_plots = {3};
  EXPECT_EQ(partition_left_out_lines(in),
            "\nPlots left out of the whole analysis (no individual): c"
            "\nPlots left out of Ist and Pst (one individual): a"
            "\nPlots left out of P*st and PIst (fewer than two species): a, b");
  // Traits: the same plots under their names; I alone without divergences.
  in.analysis_kind = 2;
  EXPECT_NE(partition_left_out_lines(in).find("T*st and TAUst (fewer than two species with different traits): a, b"),
            std::string::npos);
  in.analysis_kind = 0;
  in.statistics = {1};
  in.empty_plots.clear();
  EXPECT_EQ(partition_left_out_lines(in), "\nPlots left out of Ist (one individual): a");
}

}  // namespace
}  // namespace quorvel::reports
