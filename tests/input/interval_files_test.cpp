#include "input/interval_files.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::write_file;

class IntervalFiles : public testing::WorkDirTest {
 protected:
  std::vector<double> divergence_limits(const std::string& text, float max_divergence) {
    write_file("i.txt", text);
    keep(read_divergence_intervals("i.txt", max_divergence));
    return values();
  }
  std::vector<double> distance_limits(const std::string& text) {
    write_file("i.txt", text);
    keep(read_distance_intervals("i.txt"));
    return values();
  }
  void keep(const Intervals& intervals) {
    n = intervals.n;
    limits = intervals.limits;
  }
  // Limits 0..n.
  std::vector<double> values() const {
    std::vector<double> v;
    for (int i = 0; i <= n; ++i) v.push_back(limits[i]);
    return v;
  }

  int n = -99;
  core::DVector limits;
};

using Limits = std::vector<double>;

TEST_F(IntervalFiles, DivergenceLimitsStartAtZero) {
  EXPECT_EQ(divergence_limits("DIVERGENCE INTERVALS\t3\n0\t10\t20\n", 0), (Limits{0, 0, 10, 20}));
  EXPECT_EQ(n, 3);
  EXPECT_EQ(divergence_limits("DIVERGENCE INTERVALS\t3\n5\t10\t20\n", 0), (Limits{0, 0, 5, 10, 20}));
  EXPECT_EQ(n, 4);
}

TEST_F(IntervalFiles, DivergenceLimitsReachTheLargestDivergence) {
  EXPECT_EQ(divergence_limits("DIVERGENCE INTERVALS\t3\n0\t10\t20\n", 35), (Limits{0, 0, 10, 20, 35}));
  EXPECT_EQ(divergence_limits("DIVERGENCE INTERVALS\t3\n0\t10\t20\n", 20), (Limits{0, 0, 10, 20}));
  // 101 limits from 5 up, a 0 put first and the maximum appended: 103.
  std::string line = "5";
  for (int i = 2; i <= 101; ++i) line += "\t" + std::to_string(5 * i);
  divergence_limits("DIVERGENCE INTERVALS\t101\n" + line + "\n", 1000);
  EXPECT_EQ(n, 103);
  EXPECT_EQ(limits[103], 1000);
  EXPECT_EQ(limits[102], 505);
}

TEST_F(IntervalFiles, DivergenceLimitsMustIncreaseAndBeComplete) {
  const char* increasing =
      "\n\nERROR: divergence intervals must be given by increasing divergences. \nPress any key to stop";
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t3\n0\t10\t10\n", 0), increasing, 3);
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t2\n-5\t10\n", 0), increasing, 3);
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t3\n5\t10\n", 0),
               "\n\nERROR: 3 divergence intervals announced but only 2 found. \nPress any key to stop", 3);
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t3\n0\t\t10\n", 0),
               "\n\nERROR: 3 divergence intervals announced but only 1 found. \nPress any key to stop", 3);
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t102\n", 0),
               "\n\nERROR:The number of time intervals given (=102) is higher than max allowed (=102)\nPress any key "
               "to stop",
               3);
  EXPECT_STOPS(divergence_limits("DIVERGENCES\t3\n0\t1\t2\n", 0),
               "\n\nERROR: divergence intervals not found in file \"i.txt\".\nNo line beginning with \"DIVERGENCE "
               "INTERVALS\" was found. \nPress any key to stop the programm now.\n",
               1);
  // No interval at all would leave the pairs of species nowhere to go.
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t0\n", 0),
               "\n\nERROR: The number of divergence intervals given in file \"i.txt\" (=0) must be at least 1.\nPress "
               "any key to stop",
               3);
  EXPECT_STOPS(divergence_limits("DIVERGENCE INTERVALS\t2\n0\t2,5\n", 0),
               "\ncannot read a number from \"2,5\" on line 2, column 2, from file i.txt: the cell holds more than a "
               "number\nWrite decimal numbers with a point, not a comma: \"2.5\", not \"2,5\".",
               1);
}

TEST_F(IntervalFiles, DistanceLimitsAreTakenAsGiven) {
  EXPECT_EQ(distance_limits("comment\nDISTANCE INTERVALS 3\n5\t2.5\t8\n"), (Limits{0, 5, 2.5, 8}));
  EXPECT_EQ(distance_limits("DISTANCE INTERVALS\t-6\n"), (Limits{}));
  EXPECT_EQ(n, -6);
  std::string line = "1";
  for (int i = 2; i <= 101; ++i) line += "\t" + std::to_string(i);
  distance_limits("DISTANCE INTERVALS\t101\n" + line + "\n");
  EXPECT_EQ(n, 101);
  EXPECT_EQ(limits[101], 101);
  EXPECT_STOPS(distance_limits("DISTANCE INTERVALS\t-102\n"),
               "\n\nERROR:The number of distance intervals given (=102) is higher than max allowed (=102)\nPress any "
               "key to stop",
               3);
  // The most negative int has no absolute value: refused before any is taken.
  EXPECT_STOPS(
      distance_limits("DISTANCE INTERVALS\t-2147483648\n"),
      "\n\nERROR:The number of distance intervals given (=2147483648) is higher than max allowed (=102)\nPress "
      "any key to stop",
      3);
  // The count fills the rest of its line.
  for (const char* line : {"DISTANCE INTERVALS\t5 m\n", "DISTANCE INTERVALS\t2.5\n", "DISTANCE INTERVALS\t0x2\n"}) {
    SCOPED_TRACE(line);
    EXPECT_STOPS(distance_limits(line),
                 "\n\nERROR: In file \"i.txt\", no number of intervals follows \"DISTANCE INTERVALS\".\nPress any key "
                 "to stop",
                 3);
  }
  EXPECT_EQ(distance_limits("DISTANCE INTERVALS\t2 \r\n1\t2\n"), (Limits{0, 1, 2}));
  EXPECT_STOPS(distance_limits("DISTANCE INTERVALS\t3\n1\t2\n"),
               "\n\nERROR: 3 distance intervals announced but only 2 found. \nPress any key to stop", 3);
  EXPECT_STOPS(distance_limits("DISTANCE INTERVALS\t2\n"),
               "\n\nERROR: 2 distance intervals announced but only 0 found. \nPress any key to stop", 3);
}

TEST_F(IntervalFiles, RegressionIntervalsHaveTheirOwnKeyword) {
  write_file("i.txt", "DISTANCE INTERVALS\t1\n7\nREGRESSION DISTANCE INTERVALS\t2\n1\t3\n");
  keep(read_regression_intervals("i.txt"));
  EXPECT_EQ(values(), (Limits{0, 1, 3}));
  write_file("i.txt", "DISTANCE INTERVALS\t1\n7\n");
  EXPECT_STOPS(read_regression_intervals("i.txt"),
               "\n\nERROR: regression distance intervals not found in file \"i.txt\".\nNo line beginning with "
               "\"REGRESSION DISTANCE INTERVALS\" was found. \nPress any key to stop the programm now.\n",
               1);
}

TEST_F(IntervalFiles, FilesOfTheDataSets) {
  keep(read_divergence_intervals(data_path("input/community/dune_divint.txt"), 300));
  EXPECT_EQ(values(), (Limits{0, 0, 5.5, 30.5, 100.5, 200.5, 450}));
  keep(read_divergence_intervals(data_path("input/community/carni70_divint.txt"), 53.8f));
  EXPECT_EQ(n, 7);
  EXPECT_EQ(limits[7], static_cast<double>(53.8f));
  keep(read_distance_intervals(data_path("input/community/mite_distint.txt")));
  EXPECT_EQ(values(), (Limits{0, 1.05, 2.05, 4.05, 6.05, 8.05}));
  keep(read_distance_intervals(data_path("input/community/mite_distint_eqfreq.txt")));
  EXPECT_EQ(n, -6);
}

TEST_F(IntervalFiles, SelectionTestTextsKeepTheirSpaces) {
  write_file("s.txt", "notes\nSELECTION TESTS\t2\n x > 1 \t-2\tA = B\tdist < 5 \nall\t0\n");
  core::IVector counts = core::ivector(0, 2);
  counts[0] = 2;
  counts[1] = -2;
  counts[2] = 0;
  const core::Vector<core::NameTable> texts = read_selection_tests("s.txt", counts);
  EXPECT_EQ(texts[1][0], "x > 1");
  EXPECT_EQ(texts[1][1], "A = B");
  EXPECT_EQ(texts[1][2], "dist < 5");
  EXPECT_EQ(texts[2][0], "all");
  write_file("s.txt", "SELECTION\t2\n");
  EXPECT_STOPS(read_selection_tests("s.txt", counts),
               "\nERROR: selection tests not found in file \"s.txt\".\nNo line beginning with \"SELECTION TESTS\" was "
               "found. \nPress any key to stop the programm now.\n",
               1);
}

TEST_F(IntervalFiles, UnopenableFileIsAskedForUntilInputEnds) {
  EXPECT_STOPS(read_divergence_intervals("absent.txt", 0),
               "\n\nWarning: cannot open the file containing divergence intervals \"absent.txt\".\nIf it is being "
               "used by another application, close it first.\nIf it does not exist in the specified directory, bring "
               "it first.\nThen press Return.\n\nNo more input: stopping.\n",
               2);
}

// ---- Numbers of the selection tests ----

TEST_F(IntervalFiles, SelectionTestNumbersInlineAndInAFile) {
  write_file("instr.txt", "SELECTION TESTS\t2\n[sp=1]\t3\tx\ty\tz\n[sp=2]\t-100\n");
  core::IVector counts = scan_selection_tests(DataSource{"instr.txt", 1, {2}});
  EXPECT_EQ(counts[0], 2);
  EXPECT_EQ(counts[1], 3);
  EXPECT_EQ(counts[2], -100);
  // More pairwise tests than the table of compiled tests holds are refused.
  write_file("instr.txt", "SELECTION TESTS\t2\n[sp=1]\t3\tx\ty\tz\n[sp=2]\t-101\n");
  EXPECT_STOPS(scan_selection_tests(DataSource{"instr.txt", 1, {2}}),
               "\n\nERROR: The number of pairwise selection tests (101) is higher than the max allowed (100)\nPress "
               "any key to stop.",
               3);
  write_file("sel.txt", "notes\nSELECTION TESTS\t-1\n[]\t0\n");
  counts = scan_selection_tests(DataSource{"sel.txt", 0, {}});
  EXPECT_EQ(counts[0], -1);
  EXPECT_EQ(counts[1], 0);
  write_file("sel.txt", "[]\t0\n");
  EXPECT_STOPS(scan_selection_tests(DataSource{"sel.txt", 0, {}}),
               "\nERROR: selection tests not found in file \"sel.txt\".\nNo line beginning with \"SELECTION TESTS\" "
               "was found. \nPress any key to stop the programm now.\n",
               1);
}

TEST_F(IntervalFiles, SelectionTestLimits) {
  std::string lines;
  for (int j = 1; j <= 99; ++j) lines += "[]\t1\n";
  write_file("instr.txt", "SELECTION TESTS\t99\n" + lines + "[]\t1\n");
  EXPECT_EQ(scan_selection_tests(DataSource{"instr.txt", 1, {99}})[99], 1);
  EXPECT_STOPS(scan_selection_tests(DataSource{"instr.txt", 1, {100}}),
               "\n\nERROR:The number of selection tests (100) is higher than the max allowed (100)", 3);
  EXPECT_STOPS(scan_selection_tests(DataSource{"instr.txt", 1, {-2147483647 - 1}}),
               "\n\nERROR:The number of selection tests (2147483648) is higher than the max allowed (100)", 3);
  write_file("instr.txt", "SELECTION TESTS\t2\n[]\t1\n[]\tmany\n");
  EXPECT_STOPS(scan_selection_tests(DataSource{"instr.txt", 1, {2}}),
               "\n\nERROR: cannot read number of pairwise selection tests. \nPress any key to stop", 3);
  write_file("instr.txt", "SELECTION TESTS\t2\n[]\t1\n");
  EXPECT_STOPS(scan_selection_tests(DataSource{"instr.txt", 1, {2}}),
               "\n\nERROR: cannot read number of pairwise selection tests. \nPress any key to stop", 3);
}

}  // namespace
}  // namespace quorvel::input
