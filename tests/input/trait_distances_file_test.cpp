#include "input/trait_distances_file.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::write_file;

class TraitDistanceFile : public testing::WorkDirTest {
 protected:
  // Reads `file` of `n_rows` data lines in `layout`, with the species
  // `species_` (`known`) or building the species list; returns the species
  // found.
  int read(const std::string& file, int n_rows, int layout, bool known) {
    const TraitDistances read =
        read_trait_distances(file, TraitDistanceHeader{n_rows, layout}, known ? &species_ : nullptr);
    if (!known) species_ = read.species_names;
    variables_ = read.variable_names;
    distances_ = read.matrices;
    n_named_ = read.n_named;
    return read.n_found;
  }

  core::NameTable species_;
  core::NameTable variables_;
  core::Vector<core::FMatrix> distances_;
  int n_named_ = 0;
};

TEST_F(TraitDistanceFile, HeadlessMatrixNamesItsVariableVarAndBuildsTheSpeciesList) {
  const int n = read(data_path("input/traits/headless_matrix.txt"), 3, kTraitDistanceMatrixLayout, false);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(variables_[1], "var");
  ASSERT_EQ(species_.hi(), 3);
  EXPECT_EQ(species_[3], "C");
  const core::FMatrix& d = distances_[1];
  EXPECT_EQ(d.row_hi(), 3);
  EXPECT_EQ(d[1][2], 1.5f);
  EXPECT_EQ(d[2][1], 1.5f);
  EXPECT_EQ(d[3][1], 2.0f);
  EXPECT_EQ(d[2][3], MISSING_VALUE_F);  // empty cells on both sides
  EXPECT_EQ(d[2][2], 0.0f);
  EXPECT_EQ(d[0][0], MISSING_VALUE_F);
}

TEST_F(TraitDistanceFile, ListLayoutWithKnownSpecies) {
  species_ = core::name_table(0, 4);
  species_[1] = "C";
  species_[2] = "A";
  species_[3] = "B";
  species_[4] = "D";
  const int n = read(data_path("input/traits/pair_list.txt"), 4, 2, true);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(n_named_, 3);  // four rows (pairs) of three species
  EXPECT_EQ(console_output(),
            "\n\nERROR: in inter-species trait distance matrix, 1 species from the species-plot matrix are missing: "
            "D");
  EXPECT_EQ(variables_[1], "beak");
  EXPECT_EQ(variables_[2], "mass");
  EXPECT_EQ(distances_[1][2][3], 1.0f);   // A-B
  EXPECT_EQ(distances_[1][1][2], 2.0f);   // C-A given twice with the same value
  EXPECT_EQ(distances_[2][2][1], 20.0f);  // first line empty, second line gives it
  EXPECT_EQ(distances_[2][1][3], 30.0f);
  EXPECT_EQ(distances_[1][4][1], MISSING_VALUE_F);
  // The list layout gives no diagonal: a species is at distance 0 from
  // itself, so that its pairs of individuals count in the partition.
  for (int m = 1; m <= 2; ++m)
    for (int s = 1; s <= 4; ++s) EXPECT_EQ(distances_[m][s][s], 0.0f) << m << "," << s;
}

TEST_F(TraitDistanceFile, RedefinedDistancesStopTheRun) {
  write_file("m.txt", "size\tA\tB\nA\t0\t1\nB\t2\t0\n");
  EXPECT_STOPS(read("m.txt", 2, kTraitDistanceMatrixLayout, false),
               "\nWARNING: In data for pairwise distances in \"m.txt\", the distance between \"A\" and \"B\" is "
               "redefined: first value= 1.000000, second value= 2.000000",
               3);
  write_file("l.txt", "INTER-SPECIES TRAIT DISTANCES\t2\t1\nx\ty\tsize\nA\tB\t1\nB\tA\t3\n");
  EXPECT_STOPS(read("l.txt", 2, 1, false),
               "\nIn data for pairwise distances in \"l.txt\", the distance between \"A\" and \"B\" is redefine: "
               "first value= 1.000000, second value= 3.000000",
               3);
}

TEST_F(TraitDistanceFile, BuildModeGrowsPastManySpecies) {
  std::string text = "a\tb\td\n";
  for (int k = 1; k < 40; ++k)
    text += "s" + std::to_string(k) + "\ts" + std::to_string(k + 1) + "\t" + std::to_string(k) + "\n";
  write_file("chain.txt", text);
  const int n = read("chain.txt", 39, 1, false);
  EXPECT_EQ(n, 40);
  EXPECT_EQ(species_[40], "s40");
  EXPECT_EQ(distances_[1].row_hi(), 40);
  EXPECT_EQ(distances_[1][1][2], 1.0f);
  EXPECT_EQ(distances_[1][40][39], 39.0f);
  EXPECT_EQ(distances_[1][1][40], MISSING_VALUE_F);
}

TEST_F(TraitDistanceFile, BadNumberNamesTheLine) {
  write_file("m.txt", "size\tA\tB\nA\t0\tfar\nB\t1\t0\n");
  EXPECT_STOPS(read("m.txt", 2, kTraitDistanceMatrixLayout, false),
               "\ncannot read float from far on line 2, column 3, from file m.txt", 1);
  write_file("m.txt", "size\tA\tB\nA\t0\t-1\nB\t\t0\n");
  EXPECT_STOPS(read("m.txt", 2, kTraitDistanceMatrixLayout, false),
               "\nERROR: In trait distances file m.txt, line 2, column 3: the distance -1 is negative.\nPress any key "
               "to stop.",
               3);
}

TEST_F(TraitDistanceFile, LayoutsOfTheScan) {
  write_file("sq.txt", "\tA\tB\tC\nA\t0\t1\t2\nB\t1\t0\t2\nC\t2\t2\t0\n\nnotes\n");
  TraitDistanceHeader header = scan_trait_distances("sq.txt");
  EXPECT_EQ(header.n_rows, 3);
  EXPECT_EQ(header.layout, kTraitDistanceMatrixLayout);
  write_file("list.txt", "sp1\tsp2\tsize\tdiet\t\tnote\nA\tB\t1\t2\nA\tC\t2\t2\nB\tC\t1\t1\n");
  header = scan_trait_distances("list.txt");
  EXPECT_EQ(header.n_rows, 3);
  EXPECT_EQ(header.layout, 2);
  write_file("h.txt",
             "INTER-SPECIES TRAIT "
             "DISTANCES\t4\t3\nsp1\tsp2\ta\tb\tc\nA\tB\t1\t1\t1\nA\tC\t1\t1\t1\nB\tC\t1\t1\t1\nC\tD\t1\t1\t1\n");
  header = scan_trait_distances("h.txt");
  EXPECT_EQ(header.n_rows, 4);
  EXPECT_EQ(header.layout, 3);
}

}  // namespace
}  // namespace quorvel::input
