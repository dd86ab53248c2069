#include "input/plot_distances.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::read_file;
using testing::write_file;

class PlotDistances : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    plot_names = testing::name_list({"A", "B", "C", "D"});
  }
  void read_distances(const std::string& text) {
    write_file("d.txt", text);
    distances = read_plot_distances("d.txt", plot_names);
  }

  core::NameTable plot_names;
  core::DMatrix distances;
};

const char* const kAllDistances = "6\nA\tB\t1\nA\tC\t2\nA\tD\t3\nB\tC\t4\nB\tD\t5\nC\tD\t6\n";

TEST_F(PlotDistances, DistancesAreSymmetricAndRepeatsMustAgree) {
  read_distances(
      "INTER-PLOT DISTANCES\n8\n// comment\nA\tB\t1\nA\tC\t2\nA\tD\t3\nB\tC\t4\nB\tA\t1\nB\tD\t5\nC\tD\t6\n"
      "X\tA\t9\n");
  EXPECT_DOUBLE_EQ(distances(2, 1), 1);
  EXPECT_DOUBLE_EQ(distances(3, 4), 6);
  EXPECT_TRUE(is_missing(distances(1, 1)));
  EXPECT_EQ(console_output(), "");

  EXPECT_STOPS(read_distances("2\nA\tB\t1\nB\tA\t1.5\n"),
               "\nIn data for pairwise distances in \"d.txt\", the distance between \"A\" and \"B\" is redefine: "
               "first value= 1.000000, second value= 1.500000 (line 3)",
               3);
}

TEST_F(PlotDistances, DistancesMustBeWholeNonNegativeNumbers) {
  EXPECT_STOPS(
      read_distances("2\nA\tB\t1\nB\tC\t-4\n"),
      "\nERROR: In inter-plot distances file d.txt, line 3, column 3: the distance between B and C is negative "
      "(-4).\nPress any key to stop.",
      3);
  EXPECT_STOPS(read_distances("2\nA\tB\t1\nB\tC\t4 km\n"),
               "\ncannot read a number from \"4 km\" on line 3, column 3, from file d.txt: the cell holds more than a "
               "number",
               1);
  EXPECT_STOPS(read_distances("2 distances\nA\tB\t1\n"),
               "\nERROR: In inter-plot distances file d.txt, line 1: the number of distances given is missing before "
               "the first distance (a whole number alone on its line).\nPress any key to stop.",
               3);
}

TEST_F(PlotDistances, MissingDistancesAreReported) {
  read_distances("5\nA\tB\t1\nA\tC\t2\nA\tD\t3\nB\tC\t4\nB\tD\t5\n");
  EXPECT_TRUE(is_missing(distances(3, 4)));
  EXPECT_EQ(console_output(),
            "\nThere are only 5 pairwise distances defined for 6 potential pairwise comparisons (excluding self "
            "comparisons)\nPress any key to go on");
}

TEST_F(PlotDistances, EarlyEndNeedsTheUsersConsent) {
  const std::string warning =
      "\nWARNING: END message encountered after only 1 elements of the distance matrix on line 3 from file d.txt"
      "\nEnter 'g' if you want to go on anyway, otherwise press Return to stop the program.";
  set_console_input("g\n");
  read_distances("3\nA\tB\t1\nEND\nA\tC\t2\n");
  EXPECT_DOUBLE_EQ(distances(1, 3), 2);
  EXPECT_EQ(console_output().substr(0, warning.size()), warning);

  set_console_input("\n");
  EXPECT_STOPS(read_distances("3\nA\tB\t1\nEND\nA\tC\t2\n"), "", 1);
  // Fewer lines than announced: the line reader's own stop.
  EXPECT_STOPS(read_distances("3\nA\tB\t1\n"), "\nEnd of file encountered before END message on line 3 from file d.txt",
               1);
}

TEST_F(PlotDistances, DuplicatePlotNamesStopAndAreListed) {
  plot_names[3] = "A";
  const core::FatalError error = testing::expect_fatal([&] { read_distances(kAllDistances); });
  EXPECT_EQ(std::string(error.what()), "\nA\nB\nA\nD");
  EXPECT_EQ(error.status(), 3);
  const std::string warning =
      "\n\nWARNING: Not all individual or plot names are different.\nTo define each pairwise distance, all names must "
      "be different.\nCheck in the file \"error.txt\" the list of names found.\nPress any key to stop the program.";
  EXPECT_EQ(console_output(), warning);
  // As the run ends, the names go to the error log and the console.
  set_console_input("\n");
  EXPECT_EQ(core::report_fatal_error(error), 3);
  EXPECT_EQ(read_file("error.txt"), "\nA\nB\nA\nD");
  EXPECT_EQ(console_output(), warning + "\nA\nB\nA\nD");
}

}  // namespace
}  // namespace quorvel::input
