#include "input/community_counts.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::write_file;

class CommunityCounts : public testing::WorkDirTest {
 protected:
  std::pair<int, int> matrix(const std::string& text) {
    write_file("m.txt", text);
    const CommunityHeader counts = scan_species_plot_matrix(DataSource{"m.txt", 0, {}});
    return {counts.n_species, counts.n_plots};
  }
  std::pair<int, int> triplets(const std::string& text) {
    write_file("t.txt", text);
    const CommunityHeader counts = scan_triplets("t.txt");
    return {counts.n_plots, counts.n_species};
  }
};

TEST_F(CommunityCounts, MatrixHeaderCountsPlotsUpToTheFirstEmptyCell) {
  EXPECT_EQ(matrix("Species\tA\tB\t\tC\nsp1\t1\t0\t\t1\n"), std::make_pair(1, 2));
  EXPECT_EQ(matrix("Species\tA\tB\tC\t\nsp1\t1\t0\t1\nsp2\t0\t1\t1\n"), std::make_pair(2, 3));
  EXPECT_EQ(matrix("\tA\tB\r\nsp1\t1\t0\r\n"), std::make_pair(1, 2));
  EXPECT_EQ(matrix("no plots\n"), std::make_pair(0, 0));
  EXPECT_EQ(matrix(""), std::make_pair(0, 0));
}

TEST_F(CommunityCounts, MatrixSpeciesRunToATabLineOrTheEndAndCountInnerBlankLines) {
  // A blank line among the species is one (its reading stops the run); blank
  // lines at the very end are none.
  EXPECT_EQ(matrix("x\tA\nsp1\t1\n\nsp2\t2\n\n \n"), std::make_pair(3, 1));
  EXPECT_EQ(matrix("x\tA\nsp1\t1\n\ttotal\nsp3\t1\n"), std::make_pair(1, 1));
  EXPECT_EQ(matrix("x\tA\nsp1\t1\nsp2\t2"), std::make_pair(2, 1));
}

TEST_F(CommunityCounts, MatrixKeywordLineGivesTheCountsOrIntroducesTheHeader) {
  EXPECT_EQ(matrix("comment\nSPECIES-PLOT MATRIX\t2\t1\nx\tA\tB\nsp1\t1\t1\nsp2\t0\t1\nsp3\t1\t1\n"),
            std::make_pair(2, 1));
  // Without its counts, the block after the keyword line is counted.
  EXPECT_EQ(matrix("notes\nSPECIES-PLOT MATRIX\nx\tA\tB\nsp1\t1\t1\nsp2\t0\t1\n"), std::make_pair(2, 2));
}

// Announced counts are checked against the file before the run allocates
// anything for them.
TEST_F(CommunityCounts, MatrixKeywordCountsMustBeBackedByTheFile) {
  EXPECT_STOPS(matrix("SPECIES-PLOT MATRIX\t184467440\t2\nx\tA\tB\nsp1\t1\t1\n"),
               "\nERROR: In species-plot file m.txt, 184467440 species lines were announced but the file ends after "
               "1.\nPress any key to stop.",
               3);
  EXPECT_STOPS(matrix("SPECIES-PLOT MATRIX\t1\t3\nx\tA\tB\nsp1\t1\t1\n"),
               "\nERROR: In species-plot file m.txt, the header line (line 2) names only 2 plots; 3 were announced."
               "\nPress any key to stop.",
               3);
}

TEST_F(CommunityCounts, MatrixInsideAnInstructionFileIsFoundByItsKeywordLine) {
  EXPECT_EQ(matrix("MAIN RESULT FILE\tout.txt\nSPECIES-PLOT MATRIX\t2\t3\nx\tA\tB\tC\nsp1\t1\t0\t1\nsp2\t1\t1\t1\n"),
            std::make_pair(2, 3));
}

TEST_F(CommunityCounts, DuneMatrixHas30SpeciesIn20Plots) {
  const CommunityHeader counts =
      scan_species_plot_matrix(DataSource{testing::data_path("input/counts/dune_matrix.txt"), 0, {}});
  EXPECT_EQ(counts.n_species, 30);
  EXPECT_EQ(counts.n_plots, 20);
}

TEST_F(CommunityCounts, TripletsCountDistinctNamesAndRefuseOverlongOnes) {
  EXPECT_EQ(triplets("P1\t3\tsp1\nP1\t1\tsp2\nP2\t0.5\tsp1\nP2\t2\tPoa annua\nP3 1 sp9\n"), std::make_pair(3, 4));
  const std::string long_a = std::string(49, 'a') + "1";
  write_file("t.txt", "P1\t3\tsp1\nP2\t2\t" + long_a + "\n");
  EXPECT_STOPS(scan_triplets("t.txt"),
               "\nthe name \"" + long_a +
                   "\" on line 2, column 3, from file t.txt is longer than the 49 characters "
                   "allowed",
               1);
}

// Counting and reading both go to the end of the table: a line that is not a
// triplet (a missing value, a blank line among the triplets) once dropped
// every line after it without a word.
TEST_F(CommunityCounts, EveryLineOfATripletTableMustBeATriplet) {
  write_file("t.txt", "P1\t3\tsp1\nP2\t1\tsp2\n\nP3\t1\tsp3\n");
  EXPECT_STOPS(scan_triplets("t.txt"),
               "\nERROR: In triplet file t.txt, line 3 is blank but more triplets follow it: a triplet table ends at "
               "its last line.\nPress any key to stop.",
               3);
  write_file("t.txt", "P1\t3\tsp1\nP2\t\tsp9\nP3\t1\tsp3\n");
  EXPECT_STOPS(scan_triplets("t.txt"),
               "\nERROR: In triplet file t.txt, line 2, column 2: cannot read the abundance of species sp9 in plot P2 "
               "from \"\".\nPress any key to stop.",
               3);
  write_file("t.txt", "P1\t3\tsp1\nP1\t3\n");
  EXPECT_STOPS(scan_triplets("t.txt"),
               "\nERROR: In triplet file t.txt, line 2 is not a plot-abundance-species triplet (plot name, tab, value, "
               "tab, species name): \"P1\t3\"\nPress any key to stop.",
               3);
  write_file("t.txt", "P1\t-1\tsp1\n");
  EXPECT_STOPS(scan_triplets("t.txt"),
               "\nERROR: In file t.txt, line 1, column 2: the abundance -1 is negative.\nAbundances are counts of "
               "individuals, presences (0/1) or relative abundances: numbers from 0 to 9007199254740992.\nPress any "
               "key to stop.",
               3);
  write_file("t.txt", "\n\n");
  EXPECT_STOPS(scan_triplets("t.txt"),
               "\nERROR: The triplet file t.txt holds no plot-abundance-species triplet.\nPress any key to stop.", 3);
  EXPECT_EQ(triplets("P1\t3\tsp1\nP2\t1\tsp2\n\n\r\n"), std::make_pair(2, 2));
}

TEST_F(CommunityCounts, TripletLastLineWithoutLineFeedIsCounted) {
  EXPECT_EQ(triplets("P1\t3\tsp1\nP2\t1\tsp2"), std::make_pair(2, 2));
}

TEST_F(CommunityCounts, TripletKeywordLineIsSkipped) {
  EXPECT_EQ(triplets("made by hand\nPLOT-ABUNDANCE-SPECIES TRIPLET\nP1\t1\tsp1\nP1\t2\tsp2\n"), std::make_pair(1, 2));
  // The same block written inside an instruction file ends at a blank line.
  EXPECT_EQ(triplets("MAIN RESULT FILE\tout.txt\nPLOT-ABUNDANCE-SPECIES TRIPLET\tt.txt\nP1\t1\tsp1\nP2\t2\tsp1\n\n"
                     "PLOT WEIGHTING\t1\n"),
            std::make_pair(2, 1));
}

TEST_F(CommunityCounts, LargeTripletTablesAreCountedWhole) {
  std::string text;
  for (int i = 1; i <= 2500; ++i) {
    text += "plot" + std::to_string(i) + "\t1\tsp" + std::to_string(i) + "\n";
    text += "plot" + std::to_string(i) + "\t2\tsp" + std::to_string(i + 5000) + "\n";
  }
  EXPECT_EQ(triplets(text), std::make_pair(2500, 5000));
  text.clear();
  for (int i = 1; i <= 7500; ++i) text += "P" + std::to_string(i % 3) + "\t1\tsp" + std::to_string(i) + "\n";
  EXPECT_EQ(triplets(text), std::make_pair(3, 7500));
}

TEST_F(CommunityCounts, MissingFilesAreAskedForAgain) {
  EXPECT_STOPS(scan_triplets("none.txt"),
               "\nWarning: cannot open the file containing plot-abundance-species triplets \"none.txt\".\nIf it is "
               "being used by another application, close it first.\nIf it does not exist in the specified directory, "
               "bring it first.\nThen press Return.\n\nNo more input: stopping.\n",
               2);
  // One key press later the file is there.
  write_file("late.txt", "x\tA\nsp\t1\n");
  set_console_input("k");
  EXPECT_EQ(scan_species_plot_matrix(DataSource{"late.txt", 0, {}}).n_species, 1);
}

TEST_F(CommunityCounts, InlineMatrixCountsAreChecked) {
  write_file("instr.txt", "SPECIES-PLOT MATRIX\t3\t2\n\tA\tB\nsp1\t1\t0\nsp2\t1\t1\nsp3\t0\t1\n");
  const CommunityHeader counts = scan_species_plot_matrix(DataSource{"instr.txt", 1, {3, 2}});
  EXPECT_EQ(counts.n_species, 3);
  EXPECT_EQ(counts.n_plots, 2);
  EXPECT_STOPS(scan_species_plot_matrix(DataSource{"instr.txt", 1, {3, 5}}),
               "\n\nERROR: \"SPECIES-PLOT MATRIX\" announces 5 plots, but line 2 of instr.txt holds only 2.\nPress any "
               "key to stop.",
               3);
}

}  // namespace
}  // namespace quorvel::input
