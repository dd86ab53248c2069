#include "input/community_matrix.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::read_file;
using testing::write_file;

class SpeciesPlotMatrix : public testing::WorkDirTest {
 protected:
  // Reads `text` (written to "m.txt") as a matrix of P plots and S species.
  void read(const std::string& text, int n_plots, int n_species) {
    write_file("m.txt", text);
    keep(read_species_plot_matrix("m.txt", CommunityHeader{n_species, n_plots}));
  }
  void keep(const Community& read) {
    plots = read.plot_names;
    species = read.species_names;
    abundances = read.abundances;
    data_type = read.data_type;
  }
  core::NameTable plots;
  core::NameTable species;
  core::DMatrix abundances;
  int data_type = -1;
};

TEST_F(SpeciesPlotMatrix, DataTypeCodeFollowsTheValues) {
  struct Case {
    const char* cells;
    int code;
  };
  const Case cases[] = {
      {"1\t0\n", kPresenceAbsenceData},     {"1\t3\n", kCountData},   {"3\t0.5\n", kRelativeAbundanceData},
      {"0.5\t3\n", kRelativeAbundanceData}, {"2e0\t1\n", kCountData},
  };
  for (const Case& c : cases) {
    read(std::string("sp\tA\tB\nx\t1\t1\ny\t") + c.cells, 2, 2);
    EXPECT_EQ(data_type, c.code) << c.cells;
  }
}

TEST_F(SpeciesPlotMatrix, CellsHoldRelativeAbundancesAndTotals) {
  // Plot totals 10 and 20; grand total 30.
  read("Species\tA\tB\nx\t4\t5\ny\t6\t15\n", 2, 2);
  EXPECT_EQ(plots[1], "A");
  EXPECT_EQ(plots[2], "B");
  EXPECT_EQ(species[2], "y");
  EXPECT_DOUBLE_EQ(abundances(1, 0), 10);
  EXPECT_DOUBLE_EQ(abundances(2, 0), 20);
  EXPECT_DOUBLE_EQ(abundances(0, 0), 30);
  EXPECT_DOUBLE_EQ(abundances(1, 1), 0.4);
  EXPECT_DOUBLE_EQ(abundances(2, 2), 0.75);
  EXPECT_DOUBLE_EQ(abundances(0, 1), 9.0 / 30);
  EXPECT_DOUBLE_EQ(abundances(0, 2), 21.0 / 30);
  EXPECT_EQ(data_type, kCountData);
}

TEST_F(SpeciesPlotMatrix, HeaderGivesTheAnnouncedPlotsAndNamesKeepSpaces) {
  // A header label, plots A and B, an empty cell, then C: two plots counted.
  read("label\tA\tB\t\tC\n  Poa annua \t1\t2\t\t \n", 2, 1);
  EXPECT_EQ(plots[2], "B");
  EXPECT_EQ(species[1], "Poa annua");
  EXPECT_DOUBLE_EQ(abundances(0, 0), 3);
  // A value under C would be dropped without a word: it stops the run.
  EXPECT_STOPS(read("label\tA\tB\t\tC\n  Poa annua \t1\t2\t\t9\n", 2, 1),
               "\nERROR: In species-plot file m.txt, line 2 holds a value in column 5, beyond the 2 plots named by the "
               "header line.\nPress any key to stop.",
               3);
  EXPECT_STOPS(read("label\tA\n x\t1\n", 2, 1),
               "\nERROR: In species-plot file m.txt, the header line (line 1) names only 1 plots; 2 were announced.\n"
               "Press any key to stop.",
               3);
}

// Counts announced on a keyword line are checked against the file before
// anything is allocated: "SPECIES-PLOT MATRIX 10000 10000" over two plots
// once took 786 MB before failing.
TEST_F(SpeciesPlotMatrix, AnnouncedCountsMustBeBackedByTheFile) {
  EXPECT_STOPS(read("SPECIES-PLOT MATRIX\t2000000000\t2\n\tA\tB\nx\t1\t1\n", 2, 2000000000),
               "\nERROR: In species-plot file m.txt, 2000000000 species lines were announced but the file ends after "
               "1.\nPress any key to stop.",
               3);
  EXPECT_STOPS(read("SPECIES-PLOT MATRIX\t1\t2000000000\n\tA\tB\nx\t1\t1\n", 2000000000, 1),
               "\nERROR: In species-plot file m.txt, the header line (line 2) names only 2 plots; 2000000000 were "
               "announced.\nPress any key to stop.",
               3);
}

// A negative abundance used to be taken as a value; decimal commas were read
// by their front ("0,5" as 0), emptying plots without a word.
TEST_F(SpeciesPlotMatrix, AbundancesMustBeWholeNonNegativeNumbers) {
  EXPECT_STOPS(read("\tA\tB\nx\t1\t-1\n", 2, 1),
               "\nERROR: In file m.txt, line 2, column 3: the abundance -1 is negative.\nAbundances are counts of "
               "individuals, presences (0/1) or relative abundances: numbers from 0 to 9007199254740992.\nPress any "
               "key to stop.",
               3);
  EXPECT_STOPS(read("\tA\tB\nx\t1\t1e30\n", 2, 1),
               "\nERROR: In file m.txt, line 2, column 3: the abundance 1e+30 is too large.\nAbundances are counts of "
               "individuals, presences (0/1) or relative abundances: numbers from 0 to 9007199254740992.\nPress any "
               "key to stop.",
               3);
  EXPECT_STOPS(read("\tA\tB\nx\t0,5\t1\n", 2, 1),
               "\ncannot read a number from \"0,5\" on line 2, column 2, from file m.txt: the cell holds more than a "
               "number\nWrite decimal numbers with a point, not a comma: \"0.5\", not \"0,5\".",
               1);
  const std::string long_name(50, 's');
  EXPECT_STOPS(read("\tA\n" + long_name + "\t1\n", 1, 1),
               "\nthe name \"" + long_name +
                   "\" on line 2, column 1, from file m.txt is longer than the 49 "
                   "characters allowed",
               1);
}

TEST_F(SpeciesPlotMatrix, KeywordLineStandsBeforeTheHeader) {
  read("notes\nSPECIES-PLOT MATRIX\t1\t2\n\tP1\tP2\nsp\t2\t0\n", 2, 1);
  EXPECT_EQ(plots[1], "P1");
  EXPECT_EQ(species[1], "sp");
  // Inline data: the block of an instruction file, found by its keyword.
  read("MAIN RESULT FILE\tout.txt\nSPECIES-PLOT MATRIX\t1\t2\n\tP1\tP2\nsp\t2\t4\nPLOT LIST\t2\t0\t1\n", 2, 1);
  EXPECT_DOUBLE_EQ(abundances(0, 0), 6);
}

TEST_F(SpeciesPlotMatrix, MissingOrEmptyCellsStopNamingSpeciesAndPlot) {
  const std::string message =
      "ERROR: In species-plot file m.txt, cannot read the number of individuals of species y in plot B (line 3, "
      "column 3)";
  EXPECT_STOPS(read("\tA\tB\nx\t1\t1\ny\t1\n", 2, 2), message, 3);        // short row
  EXPECT_STOPS(read("\tA\tB\nx\t1\t1\ny\t1\t\n", 2, 2), message, 3);      // empty last cell
  EXPECT_STOPS(read("\tA\tB\nx\t1\t1\ny\t1\t \t3\n", 2, 2), message, 3);  // blank cell
  EXPECT_STOPS(read("\tA\tB\nx\t1\t1\ny\t1\tabc\n", 2, 2), message, 3);   // text
}

TEST_F(SpeciesPlotMatrix, BlankLineCountedAsSpeciesStopsTheRun) {
  EXPECT_STOPS(read("\tA\nx\t1\n\ny\t1\n", 1, 3), "\ncannot read string from \n on line 3, column 1, from file m.txt",
               1);
}

TEST_F(SpeciesPlotMatrix, EmptyPlotKeepsZerosAndIsReported) {
  read("\tA\tEmpty\tB\nx\t1\t0\t3\ny\t1\t0\t0\n", 3, 2);
  EXPECT_DOUBLE_EQ(abundances(2, 0), 0);
  EXPECT_EQ(abundances(2, 1), 0);
  EXPECT_EQ(abundances(2, 2), 0);
  EXPECT_DOUBLE_EQ(abundances(0, 1), 4.0 / 5);
  EXPECT_EQ(console_output(),
            "\nWARNING: plot Empty has no individuals (total 0): its relative abundances are set to 0");
}

TEST_F(SpeciesPlotMatrix, ReadsTheDuneMatrix) {
  keep(read_species_plot_matrix(data_path("input/community/dune_matrix.txt"), CommunityHeader{30, 20}));
  EXPECT_EQ(data_type, kCountData);
  EXPECT_EQ(plots[1], "D01");
  EXPECT_EQ(plots[20], "D20");
  EXPECT_EQ(species[1], "Achimill");
  // Achimill in D02: 3 of a plot total of 42.
  EXPECT_DOUBLE_EQ(abundances(2, 0), 42);
  EXPECT_NEAR(abundances(2, 1) * abundances(2, 0), 3, 1e-12);
  double sum = 0;
  for (int s = 1; s <= 30; ++s) sum += abundances(0, s);
  EXPECT_NEAR(sum, 1, 1e-12);
}

}  // namespace
}  // namespace quorvel::input
