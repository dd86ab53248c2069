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

Community read_matrix_file(const std::string& file, int n_plots, int n_species) {
  return read_species_plot_matrix(file, CommunityHeader{n_species, n_plots});
}

// Same plots, species, relative abundances and totals, matched by name
// (a triplet table orders species by first appearance).
void expect_same_community(const Community& a, const Community& b, double tolerance) {
  ASSERT_EQ(a.n_plots(), b.n_plots());
  ASSERT_EQ(a.n_species(), b.n_species());
  EXPECT_EQ(a.data_type, b.data_type);
  EXPECT_NEAR(a.abundances(0, 0), b.abundances(0, 0), tolerance);
  for (int p = 1; p <= a.n_plots(); ++p) {
    const int q = find_name(b.plot_names, b.n_plots(), a.plot_names[p]);
    ASSERT_NE(q, 0) << a.plot_names[p];
    EXPECT_NEAR(a.abundances(p, 0), b.abundances(q, 0), tolerance) << a.plot_names[p];
    for (int s = 1; s <= a.n_species(); ++s) {
      const int t = find_name(b.species_names, b.n_species(), a.species_names[s]);
      ASSERT_NE(t, 0) << a.species_names[s];
      EXPECT_NEAR(a.abundances(p, s), b.abundances(q, t), tolerance) << a.plot_names[p] << " " << a.species_names[s];
      if (p == 1) {
        EXPECT_NEAR(a.abundances(0, s), b.abundances(0, t), tolerance) << a.species_names[s];
      }
    }
  }
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

// Matrix -> triplets -> matrix gives back the relative abundances, the totals
// and the counts of the original matrix.
void expect_round_trip(const std::string& matrix_file, int n_plots, int n_species) {
  const Community original = read_matrix_file(data_path(matrix_file), n_plots, n_species);
  write_converted_data("triplets.txt", true, original);
  const Community triplets = read_triplet_file("triplets.txt");
  expect_same_community(original, triplets, 1e-12);
  write_converted_data("matrix.txt", false, triplets);
  const Community back = read_matrix_file("matrix.txt", n_plots, n_species);
  expect_same_community(original, back, 1e-12);
}

TEST_F(TripletTable, DuneAndMiteSurviveARoundTrip) {
  expect_round_trip("input/community/dune_matrix.txt", 20, 30);
  expect_round_trip("input/community/mite_matrix.txt", 70, 35);
}

TEST_F(TripletTable, RelativeAbundancesSurviveARoundTripAtSixDigits) {
  write_file("m.txt", "\tA\tB\nx\t0.125\t0.3\ny\t0.375\t0.7\nz\t0.5\t0\n");
  const Community original = read_matrix_file("m.txt", 2, 3);
  write_converted_data("t.txt", true, original);
  EXPECT_EQ(read_file("t.txt"), "A\t0.125\tx\nA\t0.375\ty\nA\t0.5\tz\nB\t0.3\tx\nB\t0.7\ty\n");
  const Community back = read_triplet_file("t.txt");
  expect_same_community(original, back, 1e-6);
}

}  // namespace
}  // namespace quorvel::input
