// Counts announced in the instruction file are checked against the data
// before any table is sized from them; refusals name the keyword and count.

#include <gtest/gtest.h>

#include <functional>

#include "core/format.hpp"

#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

using testing::write_file;

struct RefusedCase {
  const char* text;
  const char* message;
};

void expect_refused(const std::function<RunSettings(const std::string&)>& read, const RefusedCase& c) {
  SCOPED_TRACE(c.text);
  EXPECT_STOPS(read(c.text), std::string(c.message) + "\nPress any key to stop.", core::kStoppedStatus);
}

TEST_F(InstructionTest, NegativeOrHugeNumbersOfRandomizationsAreRefused) {
  const RefusedCase cases[] = {
      {"SPATIAL RANDOMIZATION TEST\t-1\n",
       "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" asks for -1 randomizations: the number cannot be negative (0 "
       "requests no test)."},
      {"BROWNIAN EVOLUTION TEST\t-5\n",
       "\n\nERROR: \"BROWNIAN EVOLUTION TEST\" asks for -5 randomizations: the number cannot be negative (0 requests "
       "no test)."},
      {"PHYLOGENY RANDOMIZATION TESTS\t1\t-1\n\n",
       "\n\nERROR: \"PHYLOGENY RANDOMIZATION TESTS\" asks for -1 randomizations: the number cannot be negative (0 "
       "requests no test)."},
      {"PHYLOGENY RANDOMIZATION TESTS\t-1\t99\n",
       "\n\nERROR: \"PHYLOGENY RANDOMIZATION TESTS\" announces -1: the number cannot be negative."},
      {"SPATIAL RANDOMIZATION TEST\t2147483647\n",
       "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" asks for 2147483647 randomizations: at most 1000000 are possible."},
      // Beyond the integer range the number is not read at all.
      {"SPATIAL RANDOMIZATION TEST\t99999999999\n",
       "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" \nmust be followed by the number of spatial permutations."},
      {"SPATIAL RANDOMIZATION TEST\t99,9\n",
       "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" \nmust be followed by the number of spatial permutations."},
  };
  for (const RefusedCase& c : cases) expect_refused([this](const std::string& t) { return read(t); }, c);
  EXPECT_STOPS(read("THREADS\t2147483647\n"),
               "\n\nERROR: \"THREADS\" asks for 2147483647 threads: at most 256 are possible.\nPress any key to stop.",
               core::kStoppedStatus);
  EXPECT_EQ(read("THREADS\t256\n").n_threads, 256);
  EXPECT_STOPS(read("PLOT WEIGHTING\t7\n"),
               "\n\nERROR: \"PLOT WEIGHTING\" is followed by 7: give 0 (equal weights), 1 or 2 (weights from the plot "
               "totals).\nPress any key to stop.",
               core::kStoppedStatus);
  EXPECT_EQ(read("SPATIAL RANDOMIZATION TEST\t0\n").n_spatial_randomizations, 0);
  EXPECT_EQ(read("SPATIAL RANDOMIZATION TEST\t1000000\n").n_spatial_randomizations, 1000000);
}

// A number of the instruction file is the whole of its field: "5 m" once
// read as 5, "3 2.5" as 3 and 2.
TEST_F(InstructionTest, KeywordNumbersFillTheirField) {
  const std::string format =
      "\n\nERROR: on line %d of %s, \"%s\" is followed by \"%s\": write %s alone after the keyword, without unit, "
      "note or decimals.";
  const struct {
    const char* text;
    int line;
    const char* file;
    const char* keyword;
    const char* argument;
    const char* numbers;
  } cases[] = {
      {"SPATIAL RANDOMIZATION TEST 5 m\n", 1, "instr.txt", "SPATIAL RANDOMIZATION TEST", "5 m", "the whole number"},
      {"PLOT WEIGHTING\t1 # by totals\n", 1, "instr.txt", "PLOT WEIGHTING", "1 # by totals", "the whole number"},
      {"\nTHREADS\t2\t4\n", 2, "instr.txt", "THREADS", "2\t4", "the whole number"},
      {"RANDOM SEED\t12 34\n", 1, "instr.txt", "RANDOM SEED", "12 34", "the whole number"},
      {"PLOT LIST\t3\t2\t0 x\n", 1, "instr.txt", "PLOT LIST", "3\t2\t0 x", "the whole numbers"},
      {"SPECIES-PLOT MATRIX\t3\t2.5\n", 1, "instr.txt", "SPECIES-PLOT MATRIX", "3\t2.5", "the whole numbers"},
      {"DIVERGENCE INTERVALS\t3 classes\n", 1, "instr.txt", "DIVERGENCE INTERVALS", "3 classes", "the whole number"},
      {"DISTANCE INTERVALS\t5 m\n1\t2\t3\t4\t5\n", 1, "instr.txt", "DISTANCE INTERVALS", "5 m", "the whole number"},
      {"PHYLOGENY RANDOMIZATION TESTS\t1\t99 x\n1\n", 1, "instr.txt", "PHYLOGENY RANDOMIZATION TESTS", "1\t99 x",
       "the whole numbers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_STOPS(
        read(c.text),
        core::format(format.c_str(), c.line, c.file, c.keyword, c.argument, c.numbers) + "\nPress any key to stop.",
        core::kStoppedStatus);
  }
  // Blanks and a Windows line end after the number are no text.
  EXPECT_EQ(read("SPATIAL RANDOMIZATION TEST\t99 \t\r\n").n_spatial_randomizations, 99);
  // The options of a phylogeny test take a number too.
  EXPECT_STOPS(read("PHYLOGENY RANDOMIZATION TESTS\t1\t9\n1\tWITHIN AGE\tabout 20\n"),
               "\n\nERROR: on line 2 of instr.txt, the test option \"WITHIN AGE\" is followed by \"about\", which is "
               "not a number.\nPress any key to stop.",
               core::kStoppedStatus);
  EXPECT_STOPS(
      read("PHYLOGENY RANDOMIZATION TESTS\t1\t9\n1\tWITHIN AGE 0x14\n"),
      "\n\nERROR: on line 2 of instr.txt, the test option \"WITHIN AGE\" is followed by \"0x14\", which is not "
      "a number: hexadecimal numbers are not read; write the number in decimal notation.\nPress any key to "
      "stop.",
      core::kStoppedStatus);
  EXPECT_STOPS(read("PHYLOGENY RANDOMIZATION TESTS\t1\t9\n1\tPERMUTE SPECIES WITH ABUNDANCE RATIO <2x\n"),
               "\n\nERROR: on line 2 of instr.txt, the test option \"PERMUTE SPECIES WITH ABUNDANCE RATIO <\" is "
               "followed by \"2x\", which is not a number.\nPress any key to stop.",
               core::kStoppedStatus);
}

TEST_F(InstructionTest, DivergenceIntervalsNeedAtLeastOne) {
  const RefusedCase cases[] = {
      {"DIVERGENCE INTERVALS\t0\n",
       "\n\nERROR: \"DIVERGENCE INTERVALS\" announces 0 intervals: at least 1 is needed (the intervals are given by "
       "their upper limits, the first being 0)."},
      {"DIVERGENCE INTERVALS\t-3\n",
       "\n\nERROR: \"DIVERGENCE INTERVALS\" announces -3 intervals: at least 1 is needed (the intervals are given by "
       "their upper limits, the first being 0)."},
  };
  for (const RefusedCase& c : cases) expect_refused([this](const std::string& t) { return read(t); }, c);
  EXPECT_EQ(source_text(read("DIVERGENCE INTERVALS\tdiv.txt\n").divergence_intervals), "div.txt");
  EXPECT_EQ(source_text(read("DIVERGENCE INTERVALS\t1\n0\n").divergence_intervals), "instr.txt:1 1");
}

TEST_F(InstructionTest, PairsOfACategoryNeedThePairwiseCategories) {
  EXPECT_STOPS(read("SELECT PLOT PAIRS OF CATEGORY\t2\n"),
               "\n\nERROR: \"SELECT PLOT PAIRS OF CATEGORY\" selects plot pairs by their pairwise category: give the "
               "categories of the plot pairs with \"PAIRWISE CATEGORIES\"\nPress any key to stop.",
               core::kStoppedStatus);
  EXPECT_EQ(read("SELECT PLOT PAIRS OF CATEGORY\t2\nPAIRWISE CATEGORIES\tcat.txt\n").pair_selection_mode, 3);
}

// A look-alike once only warned, and the run went on without the test,
// table or data the user asked for.
TEST_F(InstructionTest, KeywordLikeLinesStopTheRunAndOrdinaryCommentsDoNot) {
  const std::string message =
      "\n\nERROR: line %d of instr.txt, \"%s\", is not read as a keyword line but looks like the keyword \"%s\": "
      "write the keyword in capitals at the very start of the line, or begin a comment line with \"#\".";
  EXPECT_STOPS(
      read("SPATIAL RANDOMISATION TEST\t99\nULTRAMETRIC PHYLOGENTIC TREE\ttree.txt\n spatial randomization "
           "test\t9\nindividuals\tlist.txt\nMAIN RESULTS FILE r.txt\nRESULT TABLE\tt.tsv\n"
           "Plot list of the dune meadows\nDune meadow data (Jongman et al. 1987)\nNOTES ON THE DATA\n"
           "SPECIES\tA\tB\n1\tPERMUTE SAMPLED SPECIES\nTHE TREE IS ULTRAMETRIC\nfigures\tfig\n"),
      core::format(message.c_str(), 1, "SPATIAL RANDOMISATION TEST\t99", "SPATIAL RANDOMIZATION TEST") +
          core::format(message.c_str(), 2, "ULTRAMETRIC PHYLOGENTIC TREE\ttree.txt", "ULTRAMETRIC PHYLOGENETIC TREE") +
          core::format(message.c_str(), 3, " spatial randomization test\t9", "SPATIAL RANDOMIZATION TEST") +
          core::format(message.c_str(), 4, "individuals\tlist.txt", "INDIVIDUAL") +
          core::format(message.c_str(), 5, "MAIN RESULTS FILE r.txt", "MAIN RESULT FILE") +
          core::format(message.c_str(), 6, "RESULT TABLE\tt.tsv", "RESULTS TABLE") +
          core::format(message.c_str(), 13, "figures\tfig", "FIGURES") + "\nPress any key to stop.",
      3);
  // Ordinary comments, and any line beginning with "#" or "//", pass in silence.
  read(
      "# SPATIAL RANDOMIZATION TEST\t99\n#spatial randomisation test\t9\n  #RESULT TABLE\tt.tsv\n"
      "//SPATIAL RANDOMIZATION TEST\t99\n// results table\nPlot list of the dune meadows\nNOTES ON THE DATA\n"
      "THE TREE IS ULTRAMETRIC\n");
  EXPECT_EQ(console_output(), "");
}

}  // namespace
}  // namespace quorvel::instructions
