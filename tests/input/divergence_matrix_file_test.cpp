#include "input/divergence_matrix_file.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using quorvel::testing::write_file;

class SpeciesDivergencesTest : public quorvel::testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    species_ = core::name_table(0, 4);
    species_[1] = "A";
    species_[2] = "B";
    species_[3] = "C";
    species_[4] = "D";  // absent from every table
  }

  void read(const std::string& text, int n_rows) {
    write_file("div.txt", text);
    divergences_ = read_species_divergences("div.txt", n_rows, species_);
  }

  // Data cells A..C against the expected 0 diagonal and A-B 2, A-C 4, B-C 3.
  void expect_abc() {
    const float expected[4][4] = {{0, 0, 0, 0}, {0, 0, 2, 4}, {0, 2, 0, 3}, {0, 4, 3, 0}};
    for (int i = 1; i <= 3; ++i) {
      for (int j = 1; j <= 3; ++j) EXPECT_EQ(divergences_[i][j], expected[i][j]) << i << "," << j;
    }
    for (int k = 0; k <= 4; ++k) {
      EXPECT_EQ(divergences_[0][k], MISSING_VALUE_F) << k;  // row and column 0 are never written
      EXPECT_EQ(divergences_[k][0], MISSING_VALUE_F) << k;
      // D: no value at all but its diagonal (a species never diverges from itself).
      EXPECT_EQ(divergences_[4][k], k == 4 ? 0.0f : MISSING_VALUE_F) << k;
    }
  }

  core::NameTable species_;
  core::FMatrix divergences_;
};

TEST_F(SpeciesDivergencesTest, FullSymmetricTableWithForeignSpecies) {
  read("INTER-SPECIES DIVERGENCES\t4\n\tA\tX\tB\tC\nA\t0\t9\t2\t4\nX\t9\t0\t8\t7\nB\t2\t8\t0\t3\nC\t4\t7\t3\t0\n", 4);
  expect_abc();
}

TEST_F(SpeciesDivergencesTest, UpperTriangleWithoutKeywordGivesTheSameMatrix) {
  read("\tA\tB\tC\nA\t0\t2\t4\nB\t\t0\t3\nC\t\t\t0\n", 3);
  expect_abc();
  // Rows may end early; the mirror of a value may be repeated when equal.
  read("\tC\tB\tA\nC\t0\nB\t3\t0\nA\t4\t2\t0\t\n", 3);
  expect_abc();
}

TEST_F(SpeciesDivergencesTest, ConflictingMirrorValuesStopTheRun) {
  EXPECT_STOPS(read("\tA\tB\nA\t0\t2\nB\t2.5\t0\n", 2),
               "\nWARNING: In data for pairwise distances in \"div.txt\", the distance between \"A\" and \"B\" is "
               "redefined: first value= 2.000000, second value= 2.500000",
               3);
  EXPECT_STOPS(read("\tA\tB\nA\t0\tx\nB\t2.5\t0\n", 2),
               "\ncannot read float from x on line 2, column 3, from file div.txt", 1);
  EXPECT_STOPS(read("\tA\tB\nA\t0\t-2\nB\t\t0\n", 2),
               "\nERROR: In divergences file div.txt, line 2, column 3: the divergence -2 is negative.\nPress any key "
               "to stop.",
               3);
  // An announced count the header cannot back is refused before any table
  // is made for it.
  EXPECT_STOPS(read("\tA\tB\nA\t0\t2\n", 2000000000),
               "\nERROR: In divergences file div.txt, the header line (line 1) names 2 species; 2000000000 were "
               "announced.\nPress any key to stop.",
               3);
  // A pair whose two cells are empty has no divergence: the table is incomplete.
  EXPECT_STOPS(
      read("\tA\tB\tC\nA\t0\t\t4\nB\t\t0\nC\t4\t\t0\n", 3),
      "\nERROR: In divergences file div.txt, 2 pairs of species have no divergence (both cells of the pair are "
      "empty): A with B, B with C.\nPress any key to stop.",
      3);
  EXPECT_STOPS(read("\tA\tB\nA\t0\t2\n", 2), "\nEnd of file encountered before END message on line 3 from file div.txt",
               1);
}

TEST_F(SpeciesDivergencesTest, ScanInlineFromTheHeaderOrCounted) {
  write_file("instr.txt", "INTER-SPECIES DIVERGENCES\t4\n\tA\tB\tC\tD\nA\t0\nB\t1\t0\nC\t2\t2\t0\nD\t3\t3\t3\t0\n");
  EXPECT_EQ(scan_species_divergences(DataSource{"instr.txt", 1, {4}}), 4);
  write_file("d.txt", "INTER-SPECIES DIVERGENCES\t2\n\tA\tB\nA\t0\t1\nB\t1\t0\n");
  EXPECT_EQ(scan_species_divergences(DataSource{"d.txt", 0, {}}), 2);
  write_file("d.txt", "\tA\tB\nA\t0\t1\nB\t1\t0\n\tend\n");
  EXPECT_EQ(scan_species_divergences(DataSource{"d.txt", 0, {}}), 2);
}

}  // namespace
}  // namespace quorvel::input
