#include "input/triplet_table.hpp"

#include <gtest/gtest.h>

#include <set>

#include "core/constants.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::read_file;
using testing::write_file;

// Distinct plots and species of a triplet text (the tables' sizes), counted
// here so that these tests depend on the reader alone.
void count_distinct(const std::string& text, int& n_plots, int& n_species) {
  std::set<std::string> plots;
  std::set<std::string> species;
  // Data start after the keyword line when there is one.
  const std::size_t keyword = text.find("PLOT-ABUNDANCE-SPECIES TRIPLET");
  std::size_t start = keyword == std::string::npos ? 0 : text.find('\n', keyword) + 1;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const char* position = line.c_str();
    std::string plot;
    std::string name;
    double value = 0;
    if (!scan_word(position, plot, 49, &position) || !scan_double(position, value, &position) ||
        !scan_word(position, name, 49)) {
      break;
    }
    plots.insert(plot);
    species.insert(name);
  }
  n_plots = static_cast<int>(plots.size());
  n_species = static_cast<int>(species.size());
}

Community read_triplet_file(const std::string& file) {
  CommunityHeader counts;
  count_distinct(read_file(file), counts.n_plots, counts.n_species);
  return read_triplets(file, counts);
}

class TripletTable : public testing::WorkDirTest {};

TEST_F(TripletTable, IndicesFollowFirstAppearance) {
  write_file("t.txt", "A\t2\tx\nB\t3\ty\nA\t6\ty\n\n");
  const Community c = read_triplet_file("t.txt");
  ASSERT_EQ(c.n_plots(), 2);
  EXPECT_EQ(c.plot_names[2], "B");
  EXPECT_EQ(c.species_names[2], "y");
  EXPECT_DOUBLE_EQ(c.abundances(1, 0), 8);
  EXPECT_DOUBLE_EQ(c.abundances(1, 2), 0.75);
  EXPECT_DOUBLE_EQ(c.abundances(0, 0), 11);
  EXPECT_DOUBLE_EQ(c.abundances(0, 2), 9.0 / 11);
  EXPECT_EQ(c.data_type, kCountData);
}

TEST_F(TripletTable, LastLineWithoutLineFeedAndKeywordLine) {
  write_file("t.txt", "notes\nPLOT-ABUNDANCE-SPECIES TRIPLET\nA\t0.5\tx\nB\t1\tx");
  const Community c = read_triplet_file("t.txt");
  ASSERT_EQ(c.n_plots(), 2);
  EXPECT_DOUBLE_EQ(c.abundances(2, 1), 1);
  EXPECT_DOUBLE_EQ(c.abundances(0, 0), 1.5);
  EXPECT_EQ(c.data_type, kRelativeAbundanceData);
}

TEST_F(TripletTable, PairGivenTwiceIsAddedAndReportedOnce) {
  write_file("t.txt", "A\t1\tx\nA\t1\ty\nA\t1\tx\nA\t2\tx\n");
  const Community c = read_triplet_file("t.txt");
  EXPECT_DOUBLE_EQ(c.abundances(1, 0), 5);
  EXPECT_DOUBLE_EQ(c.abundances(1, 1), 0.8);
  // Presences given twice add up to a count.
  EXPECT_EQ(c.data_type, kCountData);
  EXPECT_EQ(console_output(),
            "\nWARNING: In triplet file t.txt, species x is given more than once in plot A: its values are added");
}

TEST_F(TripletTable, MorePlotsThanCountedStop) {
  write_file("t.txt", "A\t1\tx\nB\t1\tx\n");
  EXPECT_STOPS(read_triplets("t.txt", CommunityHeader{1, 1}),
               "\nERROR: In triplet file t.txt, line 2 names more plots than the 1 counted before (B).\n"
               "Press any key to stop.",
               3);
}

}  // namespace
}  // namespace quorvel::input
