#include "reports/test_text.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/constants.hpp"
#include "randomization/permutation_summary.hpp"
#include "reports/report_files.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using namespace quorvel::randomization;  // NOLINT: summaries and test kinds

// The blocks appended to a result file, as the run does.
void write_plot_randomization_results(const std::string& file, int n_classes, int n_statistics,
                                      const core::IVector& codes, int n_randomizations, int test_type,
                                      float clade_restriction, const std::string& clade_name, float mode,
                                      int category_kind, int first_category, int second_category,
                                      const core::NameTable& category_names, int layout,
                                      const TestSummaryMatrix& global, const TestSummaryMatrix& pairwise,
                                      int pairwise_kind, int all_statistics, int data_kind) {
  PlotTestRecord test;
  test.n_classes = n_classes;
  test.n_statistics = n_statistics;
  test.statistic_codes = &codes;
  test.n_randomizations = n_randomizations;
  test.test_type = test_type;
  test.clade_restriction = clade_restriction;
  test.clade_name = clade_name;
  test.permutation_mode = mode;
  test.category_kind = category_kind;
  test.first_category = first_category;
  test.second_category = second_category;
  test.category_names = &category_names;
  test.layout = layout;
  test.global = &global;
  test.pairwise = &pairwise;
  test.pairwise_kind = pairwise_kind;
  test.all_statistics = all_statistics;
  test.data_kind = data_kind;
  append_test_section(file, plot_test_text(test));
}
template <typename... Arguments>
void write_interval_randomization_results(const std::string& file, Arguments&&... arguments) {
  append_test_section(file, interval_test_text(std::forward<Arguments>(arguments)...));
}
template <typename... Arguments>
void write_individual_permutation_results(const std::string& file, Arguments&&... arguments) {
  append_test_section(file, individual_test_text(std::forward<Arguments>(arguments)...));
}

using quorvel::testing::data_path;
using quorvel::testing::read_file;
using quorvel::testing::write_file;

// A summary whose fields are recognisable in the written text: the integer
// part tells the record, the decimals the field.
TestSummary sample(int record) {
  TestSummary s;
  const float base = static_cast<float>(record);
  s.observed = base + 0.125f;
  s.mean = base + 0.25f;
  s.sd = 0.0625f;
  s.ci95_low = base - 1.5f;
  s.ci95_high = base + 1.5f;
  s.ci99_low = -7;
  s.ci99_high = 7;
  s.p_lower = 0.012f;
  s.p_upper = 0.98765f;
  s.p_two_sided = 0.0246f;
  s.valid_count = 990 + record;
  s.distinct_count = 900 + record;
  s.object = record;
  return s;
}

// A record with no value at all (a distance class without pairs).
TestSummary undefined() {
  TestSummary s;
  s.observed = s.mean = s.sd = s.ci95_low = s.ci95_high = MISSING_VALUE_F;
  s.p_lower = s.p_upper = s.p_two_sided = MISSING_VALUE_F;
  return s;
}

class RandomizationResults : public quorvel::testing::WorkDirTest {
 protected:
  // Compares the result file with the reviewed expected file; with
  // QUORVEL_REGENERATE_EXPECTED set, rewrites the expected file instead.
  void expect_file(const std::string& expected_name) {
    const std::string actual = read_file("results.txt");
    const std::string path = data_path("randomization/" + expected_name);
    if (std::getenv("QUORVEL_REGENERATE_EXPECTED") != nullptr) write_file(path, actual);
    EXPECT_EQ(actual, read_file(path)) << expected_name;
  }

  void fill_plot_tables(int n_classes) {
    global_ = resample_stat_type_matrix(0, 4, 0, 4);
    pairwise_ = resample_stat_type_matrix(0, 4, -20, n_classes + 3);
    for (int i = 1; i <= 4; ++i) {
      for (int r = 1; r <= 3; ++r) global_(i, r) = sample(10 * i + r);
      global_(i, 4) = undefined();
      for (int c = -2; c <= n_classes + 1; ++c) pairwise_(i, c) = sample(100 * i + c);
    }
    if (n_classes >= 1) pairwise_(2, 1) = undefined();
    codes_ = core::ivector(0, 4);
    for (int i = 1; i <= 4; ++i) codes_[i] = i;
    names_ = core::name_table(0, 2);
    names_[1] = "forest";
    names_[2] = "savanna";
  }

  TestSummaryMatrix global_, pairwise_;
  core::IVector codes_;
  core::NameTable names_;
};

TEST_F(RandomizationResults, PhylogenyTestLongLayoutWithinNamedClade) {
  fill_plot_tables(2);
  write_file("results.txt", "previous results\n");
  write_plot_randomization_results("results.txt", 2, 4, codes_, 999, kPhylogenyTest, -1, "Rosaceae", 0, 1, 2, 0, names_,
                                   1, global_, pairwise_, 2, 1, 1);
  expect_file("plot_phylogeny_long.txt");
  EXPECT_EQ(console_output(), "\nWriting permutation results. Please, wait.");
}

TEST_F(RandomizationResults, LocationsTestShortLayoutOnlyFourthStatistic) {
  fill_plot_tables(2);
  write_plot_randomization_results("results.txt", 2, 4, codes_, 99, kLocationsTest, 0, "", 0, 0, 0, 0, names_, 0,
                                   global_, pairwise_, 2, 0, 1);
  expect_file("plot_locations_short.txt");
}

TEST_F(RandomizationResults, TraitTestLongLayoutAverageOnly) {
  fill_plot_tables(0);
  write_plot_randomization_results("results.txt", 0, 4, codes_, 500, kTraitDistancesTest, 0, "", 3, 2, 1, 2, names_, 1,
                                   global_, pairwise_, 1, 1, 2);
  expect_file("plot_traits_long.txt");
}

TEST_F(RandomizationResults, PhylogenyTestShortLayoutByAgeWithOccurrences) {
  fill_plot_tables(1);
  write_plot_randomization_results("results.txt", 1, 4, codes_, 199, kPhylogenyTest, 2.5f, "", -4, 0, 0, 0, names_, 0,
                                   global_, pairwise_, 0, 1, 1);
  expect_file("plot_phylogeny_short.txt");
}

TEST_F(RandomizationResults, DivergenceIntervals) {
  TestSummaryMatrix p_star = resample_stat_type_matrix(0, 3, 0, 3);
  TestSummaryMatrix pi = resample_stat_type_matrix(0, 2, 0, 3);
  for (int row = 0; row <= 3; ++row)
    for (int k = 2; k <= 3; ++k) p_star(row, k) = sample(10 * row + k);
  for (int row = 0; row <= 2; ++row)
    for (int k = 2; k <= 3; ++k) pi(row, k) = sample(50 + 10 * row + k);
  core::DVector thresholds = core::dvector(1, 3);
  thresholds[1] = 0;
  thresholds[2] = 12.3456;
  thresholds[3] = 150;
  write_interval_randomization_results("results.txt", 3, thresholds, 999, p_star, pi);
  expect_file("interval_tests.txt");
}

TEST_F(RandomizationResults, IndividualLevelLongAndShort) {
  TestSummaryMatrix table = resample_stat_type_matrix(0, 3, -1, 4);
  for (int s = 0; s <= 3; ++s)
    for (int r = -1; r <= 4; ++r) table(s, r) = sample(10 * s + r);
  table(1, 0).object = 0;
  table(1, 0).valid_count = 0;
  core::NameTable levels = core::name_table(0, 3);
  levels[0] = "species";
  levels[1] = "genus";
  levels[2] = "family";
  write_individual_permutation_results("results.txt", 1, 2, 99, 1, levels, 0, 2, 0, 0, "", 1, table);
  write_individual_permutation_results("results.txt", 1, 2, 99, 1, levels, 0, 0, 5, 20, "", 0, table);
  write_individual_permutation_results("results.txt", 1, 1, 99, 1, levels, 0, 0, 5, -1, "Fagales", 0, table);
  write_individual_permutation_results("results.txt", 1, 1, 99, 0, levels, 0, 0, 0, 0, "", 0, table);
  expect_file("individual_tests.txt");
}

TEST_F(RandomizationResults, UnwritableFileAsksAndStopsAtEndOfInput) {
  std::filesystem::create_directory("busy.txt");
  fill_plot_tables(0);
  const std::string warning =
      "\nWARNING: Cannot open results file \"busy.txt\".\nIf it is being used by another application, close it "
      "first. Then press Return.\n";
  set_console_input("\n");
  EXPECT_STOPS(write_plot_randomization_results("busy.txt", 0, 4, codes_, 9, kLocationsTest, 0, "", 0, 0, 0, 0, names_,
                                                0, global_, pairwise_, 0, 0, 1),
               warning + core::kNoMoreInput, core::kEndOfInputStatus);
  EXPECT_EQ(console_output(), warning + warning);
}

}  // namespace
}  // namespace quorvel::reports
