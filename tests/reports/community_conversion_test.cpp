// The community data written in the other form, and read back.
#include "reports/community_conversion.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "input/community_counts.hpp"
#include "input/triplet_table.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using input::Community;
using input::CommunityHeader;
using testing::data_path;
using testing::write_file;

Community read_matrix_file(const std::string& file, int n_plots, int n_species) {
  return input::read_species_plot_matrix(file, CommunityHeader{n_species, n_plots});
}

Community read_triplet_file(const std::string& file) { return input::read_triplets(file, input::scan_triplets(file)); }

// Same plots, species, relative abundances and totals, matched by name
// (a triplet table orders species by first appearance).
void expect_same_community(const Community& a, const Community& b, double tolerance) {
  ASSERT_EQ(a.n_plots(), b.n_plots());
  ASSERT_EQ(a.n_species(), b.n_species());
  EXPECT_EQ(a.data_type, b.data_type);
  EXPECT_NEAR(a.abundances(0, 0), b.abundances(0, 0), tolerance);
  for (int p = 1; p <= a.n_plots(); ++p) {
    const int q = input::find_name(b.plot_names, b.n_plots(), a.plot_names[p]);
    ASSERT_NE(q, 0) << a.plot_names[p];
    EXPECT_NEAR(a.abundances(p, 0), b.abundances(q, 0), tolerance) << a.plot_names[p];
    for (int s = 1; s <= a.n_species(); ++s) {
      const int t = input::find_name(b.species_names, b.n_species(), a.species_names[s]);
      ASSERT_NE(t, 0) << a.species_names[s];
      EXPECT_NEAR(a.abundances(p, s), b.abundances(q, t), tolerance) << a.plot_names[p] << " " << a.species_names[s];
      if (p == 1) {
        EXPECT_NEAR(a.abundances(0, s), b.abundances(0, t), tolerance) << a.species_names[s];
      }
    }
  }
}

class CommunityConversion : public testing::WorkDirTest {};

TEST_F(CommunityConversion, WritesEachCodeInBothForms) {
  write_file("m.txt", "\tA\tB\nx\t4\t0\ny\t6\t15\n");
  Community community = read_matrix_file("m.txt", 2, 2);
  EXPECT_EQ(converted_community_text(community, true), "A\t4\tx\nA\t6\ty\nB\t15\ty\n");
  EXPECT_EQ(converted_community_text(community, false), "\tA\tB\nx\t4\t0\ny\t6\t15");
  community.data_type = kRelativeAbundanceData;
  EXPECT_EQ(converted_community_text(community, true), "A\t0.4\tx\nA\t0.6\ty\nB\t1\ty\n");
  community.data_type = kPresenceAbsenceData;
  EXPECT_EQ(converted_community_text(community, false), "\tA\tB\nx\t1\t0\ny\t1\t1");
  EXPECT_EQ(converted_community_text(community, true), "A\t1\tx\nA\t1\ty\nB\t1\ty\n");
}

// Matrix -> triplets -> matrix gives back the relative abundances, the totals
// and the counts of the original matrix.
void expect_round_trip(const std::string& matrix_file, int n_plots, int n_species) {
  const Community original = read_matrix_file(data_path(matrix_file), n_plots, n_species);
  write_file("triplets.txt", converted_community_text(original, true));
  const Community triplets = read_triplet_file("triplets.txt");
  expect_same_community(original, triplets, 1e-12);
  write_file("matrix.txt", converted_community_text(triplets, false));
  const Community back = read_matrix_file("matrix.txt", n_plots, n_species);
  expect_same_community(original, back, 1e-12);
}

TEST_F(CommunityConversion, DuneAndMiteSurviveARoundTrip) {
  expect_round_trip("input/community/dune_matrix.txt", 20, 30);
  expect_round_trip("input/community/mite_matrix.txt", 70, 35);
}

TEST_F(CommunityConversion, RelativeAbundancesSurviveARoundTripAtSixDigits) {
  write_file("m.txt", "\tA\tB\nx\t0.125\t0.3\ny\t0.375\t0.7\nz\t0.5\t0\n");
  const Community original = read_matrix_file("m.txt", 2, 3);
  const std::string triplets = converted_community_text(original, true);
  EXPECT_EQ(triplets, "A\t0.125\tx\nA\t0.375\ty\nA\t0.5\tz\nB\t0.3\tx\nB\t0.7\ty\n");
  write_file("t.txt", triplets);
  expect_same_community(original, read_triplet_file("t.txt"), 1e-6);
}

}  // namespace
}  // namespace quorvel::reports
