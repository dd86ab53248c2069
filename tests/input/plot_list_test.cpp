#include "input/plot_list.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::write_file;

class PlotListReader : public testing::WorkDirTest {
 protected:
  // Plot names M01..Mn or D01..Dn, as a matrix header gives them.
  void set_plots(char letter, int n) {
    n_plots = n;
    plot_names = core::name_table(0, n);
    for (int p = 1; p <= n; ++p) plot_names[p] = std::string(1, letter) + (p < 10 ? "0" : "") + std::to_string(p);
  }
  void read(const std::string& file, int n_listed, int n_coordinates, int categories) {
    const input::PlotList list = read_plot_list(file, PlotListHeader{n_listed, n_coordinates, categories}, plot_names);
    x = list.x;
    y = list.y;
    n_categories = list.n_categories;
    category_names = list.category_names;
    plot_category = list.plot_category;
    titles = list.column_titles;
  }

  int n_plots = 0;
  core::NameTable plot_names;
  core::DVector x, y;
  int n_categories = 0;
  core::NameTable category_names;
  core::IVector plot_category;
  core::NameTable titles;
};

TEST_F(PlotListReader, DunePlotsHaveManagementCategories) {
  set_plots('D', 20);
  read(data_path("input/community/dune_plots.txt"), 20, 0, -1);
  EXPECT_EQ(titles[0], "Plot");
  EXPECT_EQ(titles[3], "Management");
  ASSERT_EQ(n_categories, 4);
  // Categories in order of first appearance: D01 SF, D02 BF, ...
  EXPECT_EQ(category_names[1], "SF");
  EXPECT_EQ(category_names[2], "BF");
  EXPECT_EQ(plot_category[1], 1);
  EXPECT_EQ(plot_category[2], 2);
  EXPECT_EQ(plot_category[3], 1);
  EXPECT_EQ(x[5], 0);
}

TEST_F(PlotListReader, MitePlotsHaveCoordinatesAndOptionalCategories) {
  set_plots('M', 70);
  read(data_path("input/community/mite_plots.txt"), 70, 2, 0);
  EXPECT_EQ(titles[1], "x");
  EXPECT_EQ(titles[2], "y");
  EXPECT_EQ(n_categories, 0);
  EXPECT_DOUBLE_EQ(x[1], 0.2);
  EXPECT_DOUBLE_EQ(y[1], 0.1);
  EXPECT_DOUBLE_EQ(x[2], 1);

  read(data_path("input/community/mite_plots_topo.txt"), 70, 2, -1);
  EXPECT_EQ(titles[3], "Topo");
  ASSERT_EQ(n_categories, 2);
  EXPECT_EQ(category_names[1], "Hummock");
  EXPECT_EQ(category_names[2], "Blanket");
  EXPECT_DOUBLE_EQ(y[2], 0.1);
  int hummocks = 0;
  for (int p = 1; p <= 70; ++p) hummocks += plot_category[p] == 1 ? 1 : 0;
  EXPECT_EQ(hummocks, 26);
}

TEST_F(PlotListReader, ExtraPlotsAreIgnoredAndReadingStopsOnceAllAreFound) {
  set_plots('M', 2);
  // Z is no plot of the matrix; the line after M01 is never read.
  write_file("p.txt", "PLOT LIST\t4\t2\t0\nCore\tx\ty\nZ\t9\t9\nM02\t3\t4\nM01\t-1e-3\t2.5\nnot a plot line\n");
  read("p.txt", 4, 2, 0);
  EXPECT_DOUBLE_EQ(x[2], 3);
  EXPECT_DOUBLE_EQ(x[1], -0.001);
  EXPECT_DOUBLE_EQ(y[1], 2.5);
  EXPECT_EQ(console_output(), "");
}

// A plot without a readable coordinate was once put at 0, distorting every
// distance to it.
TEST_F(PlotListReader, CoordinatesMustBeWholeNumbers) {
  set_plots('M', 2);
  write_file("p.txt", "Core\tx\ty\nM02\t3\t4\nM01\t\t2.5\n");
  EXPECT_STOPS(read("p.txt", 2, 2, 0),
               "\nERROR: in plot list in p.txt, line 3, column 2: the x coordinate of plot M01 is not a number "
               "(\"\").\nPress any key to stop.",
               3);
  write_file("p.txt", "Core\tx\ty\nM02\t3\t4\nM01\t1\tnorth\n");
  EXPECT_STOPS(read("p.txt", 2, 2, 0),
               "\nERROR: in plot list in p.txt, line 3, column 3: the y coordinate of plot M01 is not a number "
               "(\"north\").\nPress any key to stop.",
               3);
  write_file("p.txt", "Core\tx\ty\nM02\t3,5\t4\nM01\t1\t1\n");
  EXPECT_STOPS(read("p.txt", 2, 2, 0),
               "\ncannot read a number from \"3,5\" on line 2, column 2, from file p.txt: the cell holds more than a "
               "number\nWrite decimal numbers with a point, not a comma: \"3.5\", not \"3,5\".",
               1);
}

TEST_F(PlotListReader, MissingPlotsStopTheRun) {
  set_plots('M', 3);
  write_file("p.txt", "Core\tx\ty\nM01\t1\t1\nM01\t1\t2\nM03\t3\t3\n");
  // M01 twice must not make up for M02.
  EXPECT_STOPS(read("p.txt", 3, 2, 0),
               "ERROR: in plot list in p.txt, 1 plots from the species-plot matrix are missing: M02", 3);
  EXPECT_EQ(console_output(),
            "\nWARNING: in plot list in p.txt, plot M01 is listed more than once: its last line is used");
}

// Names are read whatever their first character; a blank line among the
// plot lines is refused (it once ended the count, dropping the plots after it).
TEST_F(PlotListReader, AnyFirstCharacterIsReadAndBlankLinesAmongPlotsStop) {
  n_plots = 3;
  plot_names = testing::name_list({"\xC3\x89tang", "_P2", "'P3"});
  write_file("p.txt", "Plot\tHabitat\n\xC3\x89tang\twet\n_P2\tdry\n'P3\twet\n\n");
  read("p.txt", 3, 0, -1);
  EXPECT_EQ(n_categories, 2);
  EXPECT_EQ(plot_category[1], 1);
  EXPECT_EQ(plot_category[2], 2);
  EXPECT_EQ(plot_category[3], 1);
  write_file("p.txt", "Plot\tHabitat\n\xC3\x89tang\twet\n\n_P2\tdry\n'P3\twet\n");
  EXPECT_STOPS(read("p.txt", 4, 0, -1),
               "\nERROR: in plot list in p.txt, line 3 is blank: every line after the header names a plot (blank "
               "lines only at the end of the file).\nPress any key to stop.",
               3);
}

TEST_F(PlotListReader, LineWithoutItsCategoryStops) {
  set_plots('D', 2);
  write_file("p.txt", "Plot\tHabitat\nD01\tdry\nD02\n");
  EXPECT_STOPS(
      read("p.txt", 2, 0, -1),
      "\nERROR: in plot list in p.txt, line 3: the line of plot D02 has no category cell.\nPress any key to stop.", 3);
}

// ---- The layout scan ----

TEST_F(PlotListReader, LayoutInlineFromTheKeywordLineOrFromTheHeader) {
  write_file("instr.txt", "PLOT LIST\t3\t2\t3\nplot\tx\ty\tcat\nA\t0\t0\tc1\nB\t0\t1\tc2\nC\t1\t0\tc3\n");
  PlotListHeader header = scan_plot_list(DataSource{"instr.txt", 1, {3, 2, 3}});
  EXPECT_EQ(header.n_listed, 3);
  EXPECT_EQ(header.n_coordinates, 2);
  EXPECT_EQ(header.n_categories, 3);
  write_file("p.txt", "PLOT LIST\t2\t0\t-1\nplot\tcat\nA\tx\nB\ty\n");
  header = scan_plot_list(DataSource{"p.txt", 0, {}});
  EXPECT_EQ(header.n_listed, 2);
  EXPECT_EQ(header.n_categories, -1);
  // Plot lines are counted like species lines: every line up to the last one
  // that is not blank, whatever its first character (the reader refuses a
  // blank line among them).
  write_file("p.txt", "plot\tx\ty\n\xC3\x89tang\t0\t1\n_P2\t1\t1\n'P3\t2\t2\n\nC\t3\t3\n\n\n");
  header = scan_plot_list(DataSource{"p.txt", 0, {}});
  EXPECT_EQ(header.n_listed, 5);
  EXPECT_EQ(header.n_coordinates, 2);
  EXPECT_EQ(header.n_categories, 0);
  write_file("p.txt", "plot x y habitat\nA\t0\t1\tdry\n");
  header = scan_plot_list(DataSource{"p.txt", 0, {}});
  EXPECT_EQ(header.n_coordinates, 2);
  EXPECT_EQ(header.n_categories, -1);
}

// An empty plot list was once skipped without a word, and every pair of
// plots used.
TEST_F(PlotListReader, EmptyPlotListsAreRefusedNamingTheFile) {
  const struct {
    const char* file;
    DataSource source;
  } cases[] = {
      {"", DataSource{"p.txt", 0, {}}},
      {"plot\tx\ty\n\n\n", DataSource{"p.txt", 0, {}}},
      {"PLOT LIST\t0\t2\t0\nplot\tx\ty\n", DataSource{"p.txt", 0, {}}},
      {"PLOT LIST\t0\t0\t0\nplot\n", DataSource{"p.txt", 1, {0, 0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    write_file("p.txt", c.file);
    EXPECT_STOPS(scan_plot_list(c.source),
                 "\n\nERROR: \"PLOT LIST\": the plot list in p.txt holds no plot: after its header line, give one "
                 "line per plot.\nPress any key to stop.",
                 3);
  }
}

}  // namespace
}  // namespace quorvel::input
