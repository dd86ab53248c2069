#include "input/pairwise_categories.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::write_file;

class PairwiseCategories : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    plot_names = testing::name_list({"A", "B", "C", "D"});
  }
  void read_categories(const std::string& text) {
    write_file("c.txt", text);
    read_pairwise_categories("c.txt", 4, plot_names, categories);
  }

  core::NameTable plot_names;
  core::FMatrix categories;
};

TEST_F(PairwiseCategories, AsAMatrix) {
  read_categories("\tA\tB\tC\tD\nA\t\t1\t2\t\nB\t1\t\t3\t1\nC\t2\t3\t\t1\nD\t\t1\t1\t\n");
  EXPECT_FLOAT_EQ(categories(1, 2), 1);
  EXPECT_FLOAT_EQ(categories(4, 3), 1);
  EXPECT_EQ(categories(1, 4), MISSING_VALUE_F);
  EXPECT_EQ(console_output(),
            "\nThere are only 5 pairwise categories defined for 6 potential pairwise comparisons (excluding self "
            "comparisons)\nPress any key to go on");
}

TEST_F(PairwiseCategories, AsAList) {
  // B begins a later line, as in any complete list: still a list.
  read_categories("PAIRWISE CATEGORIES\nA\tB\t1\nA\tC\t2\nA\tD\t3\nB\tC\t4\nB\tD\t5\nC\tD\t6\nE\tA\t7\n");
  EXPECT_FLOAT_EQ(categories(2, 1), 1);
  EXPECT_FLOAT_EQ(categories(3, 4), 6);
  EXPECT_EQ(console_output(), "");
  // A header with a label in its first cell is still told by its rows.
  read_categories("Plot\tA\tB\tC\tD\nA\t\t1\t2\t3\nB\t1\t\t4\t5\nC\t2\t4\t\t6\nD\t3\t5\t6\t\n");
  EXPECT_FLOAT_EQ(categories(2, 4), 5);
}

TEST_F(PairwiseCategories, MustAgree) {
  EXPECT_STOPS(read_categories("\tA\tB\nA\t\t1\nB\t2\t\n"),
               "\nIn data for pairwise categories in \"c.txt\", the category between \"A\" and \"B\" is redefined: "
               "first value= 1.000000, second value= 2.000000",
               3);
  EXPECT_STOPS(read_categories("A\tB\tx\nA\tC\t2\n"), "\ncannot read float from x on line 1, column 3, from file c.txt",
               1);
}

TEST_F(PairwiseCategories, DuplicatePlotNamesStop) {
  plot_names[4] = "B";
  // The names are the message, for the error log and the console.
  EXPECT_STOPS(read_categories("A\tB\t1\n"), "\nA\nB\nC\nB", 3);
  EXPECT_EQ(console_output(),
            "\n\nWARNING: Not all plot names are different.\nTo define each pairwise category, all names must be "
            "different.\nCheck in the file \"error.txt\" the list of names found.\nPress any key to stop the "
            "program.");
}

TEST(PlotCategories, SelectionResolvesNames) {
  core::NameTable names = core::name_table(0, 3);
  names[1] = "BF";
  names[2] = "SF";
  names[3] = "NM";
  int first = -1;
  int second = -1;
  select_plot_categories(3, names, 2, first, second, "NM", "BF");
  EXPECT_EQ(first, 3);
  EXPECT_EQ(second, 1);
  select_plot_categories(3, names, 3, first, second, "12", "");
  EXPECT_EQ(first, 12);
}

// A name the plot list does not hold, or one category named twice, once
// widened the selection to every pair without stopping.
TEST(PlotCategories, NamesThatCannotBeUsedStopTheRunListingTheCategories) {
  const core::NameTable names = testing::name_list({"BF", "SF"});
  int first = -1;
  int second = -1;
  EXPECT_STOPS(select_plot_categories(2, names, 1, first, second, "XX", ""),
               "\n\nERROR: \"SELECT PLOT PAIRS WITHIN CATEGORY\" names the category \"XX\", which the plot list does "
               "not hold. Its categories are: BF, SF.\nPress any key to stop.",
               3);
  EXPECT_STOPS(check_selected_categories(2, names, 2, "SF", "bf", "plots.txt"),
               "\n\nERROR: \"SELECT PLOT PAIRS BETWEEN CATEGORIES\" names the category \"bf\", which the plot list "
               "plots.txt does not hold. Its categories are: BF, SF.\nPress any key to stop.",
               3);
  EXPECT_STOPS(check_selected_categories(2, names, 2, "SF", "SF", "plots.txt"),
               "\n\nERROR: \"SELECT PLOT PAIRS BETWEEN CATEGORIES\" names the category \"SF\" twice: the two "
               "categories must be different. The categories of the plot list plots.txt are: BF, SF.\nPress any key "
               "to stop.",
               3);
  EXPECT_STOPS(check_selected_categories(0, core::NameTable(), 1, "", "", "plots.txt"),
               "\n\nERROR: \"SELECT PLOT PAIRS WITHIN CATEGORY\" selects pairs of plots by their category, but the "
               "plots have no category: give the categories in a column of the plot list.\nPress any key to stop.",
               3);
  // Pairs within every category, and the codes of pairwise categories, are not checked here.
  check_selected_categories(2, names, 1, "", "", "plots.txt");
  check_selected_categories(0, core::NameTable(), 3, "7", "", "plots.txt");
}

}  // namespace
}  // namespace quorvel::input
