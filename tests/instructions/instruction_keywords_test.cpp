#include <gtest/gtest.h>

#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

using testing::write_file;

struct MissingArgumentCase {
  const char* line;
  const char* message;
};

constexpr const char* kSliceMessage =
    "\n\nERROR: \"RANDOMIZATION SLICE\" must be followed by two whole numbers k and K, 1 <= k <= K: this run "
    "evaluates slice k of K slices of the randomizations.\nPress any key to stop.";

// Every keyword whose argument is missing or unreadable stops the run with
// its own message and status 0.

const MissingArgumentCase kMissingArguments[] = {
    {"DISTANCE INTERVALS\n",
     "\n\nERROR: \"DISTANCE INTERVALS\" must be followed by a number of distance intervals or a file name.\nPress any "
     "key to stop."},
    {"MAIN RESULT FILE   \n",
     "\n\nERROR: \"MAIN RESULT FILE\" must be followed by a file name.\nPress any key to stop."},
    {"ADD TO MAIN RESULT FILE\t\n",
     "\n\nERROR: \"ADD TO MAIN RESULT FILE\" must be followed by a file name.\nPress any key to stop."},
    {"REGRESSION DISTANCE INTERVALS",
     "\n\nERROR: \"REGRESSION DISTANCE INTERVALS\" must be followed by the number of distance intervals or a file "
     "name.\nPress any key to stop."},
    {"SPECIES TRAITS\n",
     "\n\nERROR: \"SPECIES TRAITS\" must be followed by a tabulation and two numbers (# species, # variables) or a "
     "file "
     "name.\nPress any key to stop."},
    {"SPECIES TRAITS traits.txt\n",
     "\n\nERROR: \"SPECIES TRAITS\" must be followed by a tabulation and two numbers (# species, # variables) or a "
     "file "
     "name.\nPress any key to stop."},
    {"SPECIES SE-TRAITS\n",
     "\n\nERROR: \"SPECIES SE-TRAITS\" must be followed by a tabulation and a file name.\nPress any key to stop."},
    {"SPECIES TAXONOMY\t \n",
     "\n\nERROR: \"SPECIES TAXONOMY\" must be followed by a tabulation and two numbers (# species, # taxonomic levels) "
     "or a file name.\nPress any key to stop."},
    {"TAXONOMIC DIVERGENCES\n",
     "\n\nERROR: \"TAXONOMIC DIVERGENCES\" must be followed by a tabulation and then the number of levels or a file "
     "name.\nPress any key to stop."},
    {"PHYLOGENETIC TREE\n",
     "\n\nERROR: \"PHYLOGENETIC TREE\" must be followed by the number of species or a file name.\nPress any key to "
     "stop."},
    {"ULTRAMETRIC PHYLOGENETIC TREE\n",
     "\n\nERROR: \"ULTRAMETRIC PHYLOGENETIC TREE\" must be followed by the number of species or a file name.\nPress "
     "any "
     "key to stop."},
    {"PHYLOGENY RANDOMIZATION TESTS\n",
     "\n\nERROR: \"PHYLOGENY RANDOMIZATION TESTS\" must be followed by a tabulation and then the number of tests or a "
     "file name.\nPress any key to stop."},
    {"PLOT LIST\n",
     "\n\nERROR: \"PLOT LIST\" must be followed by three numbers (# plots, # coordinates (<=2), # categories) or a "
     "file "
     "name.\nPress any key to stop."},
    {"SPECIES-PLOT MATRIX\n",
     "\n\nERROR: \"SPECIES-PLOT MATRIX\" must be followed by two numbers (#species in matrix,# plots in matrix) or a "
     "file name.\nPress any key to stop."},
    {"PLOT-ABUNDANCE-SPECIES TRIPLET\n",
     "\n\nERROR: \"PLOT-ABUNDANCE-SPECIES TRIPLET\" must be followed by a file name.\nPress any key to stop."},
    {"DIVERGENCE INTERVALS\n",
     "\n\nERROR: \"DIVERGENCE INTERVALS\" must be followed by the number of time intervals or a file name.\nPress any "
     "key to stop."},
    {"SPATIAL RANDOMIZATION TEST\tmany\n",
     "\n\nERROR: \"SPATIAL RANDOMIZATION TEST\" \nmust be followed by the number of spatial permutations.\nPress any "
     "key "
     "to stop."},
    {"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\n",
     "\n\nERROR: \"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\" \nmust be followed by a file "
     "name.\nPress any key to stop."},
    {"CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\n",
     "\n\nERROR: \"CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\" \nmust be followed by a file "
     "name.\nPress any key to stop."},
    {"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\n",
     "\n\nERROR: \"WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\" \nmust be followed by a file name.\nPress any key to "
     "stop."},
    {"WRITE NEXUS TREE\n",
     "\n\nERROR: \"WRITE NEXUS TREE\" \nmust be followed by a file name.\nPress any key to stop."},
    {"REDUCE DATA TO CLADE\n",
     "\n\nERROR: \"REDUCE DATA TO CLADE\" \nmust be followed by the name of a clade.\nPress any key to stop."},
    {"PLOT WEIGHTING\tequal\n",
     "\n\nERROR: \"PLOT WEIGHTING\" \nmust be followed by a number.\nPress any key to stop."},
    {"BROWNIAN EVOLUTION TEST\n",
     "\n\nERROR: \"BROWNIAN EVOLUTION TEST\" \nmust be followed by a the number of Brownian evolution "
     "replicates.\nPress "
     "any key to stop."},
    {"RANDOM SEED\t0\n",
     "\n\nERROR: \"RANDOM SEED\" must be followed by a positive whole number.\nPress any key to stop."},
    {"RANDOM SEED\tseven\n",
     "\n\nERROR: \"RANDOM SEED\" must be followed by a positive whole number.\nPress any key to stop."},
    {"THREADS\t-2\n", "\n\nERROR: \"THREADS\" must be followed by a positive whole number.\nPress any key to stop."},
    {"THREADS\n", "\n\nERROR: \"THREADS\" must be followed by a positive whole number.\nPress any key to stop."},
    {"RANDOMIZATION SLICE\t3\n", kSliceMessage},
    {"RANDOMIZATION SLICE\t4\t3\n", kSliceMessage},
    {"RANDOMIZATION SLICE\t0\t3\n", kSliceMessage},
    {"RANDOMIZATION SLICE\t1\t1000001\n", kSliceMessage},
    {"RANDOMIZATION SLICE\t1/3\n", kSliceMessage},
    {"DISTANCE UNIT\n",
     "\n\nERROR: \"DISTANCE UNIT\" must be followed by a word: the unit of the distances (km, m, ...).\nPress any "
     "key to stop."},
    {"SELECTION TESTS 3\n", "\n\nERROR: \"SELECTION TESTS\" must be followed by a tabulation.\nPress any key to stop."},
    {"INDIVIDUALS 120 3\n", "\n\nERROR: \"INDIVIDUAL\" must be followed by a tabulation.\nPress any key to stop."},
    {"SELECTION TESTS\t\n",
     "\n\nERROR: \"SELECTION TESTS\" must be followed by a tabulation and then the number of tests or a file "
     "name.\nPress any key to stop."},
    {"INDIVIDUAL\t\n",
     "\n\nERROR: \"INDIVIDUAL\" must be followed by a tabulation and two numbers (# individuals, # variables) or a "
     "file "
     "name.\nPress any key to stop."},
};

TEST_F(InstructionTest, MissingArgumentsStopWithTheKeywordsMessage) {
  for (const MissingArgumentCase& c : kMissingArguments) {
    SCOPED_TRACE(c.line);
    write_file("results.txt", "earlier results\n");
    EXPECT_STOPS(read(std::string("MAIN RESULT FILE\tresults.txt\n") + c.line), c.message, 3);
    // Nothing was written: the earlier results are still there.
    EXPECT_EQ(testing::read_file("results.txt"), "earlier results\n");
  }
}

TEST_F(InstructionTest, NamesAndNumbersAreTheFirstWordAfterTheKeyword) {
  const RunSettings s = read(
      "MAIN RESULT FILE \t out.txt  more words\n"
      "SPATIAL RANDOMIZATION TEST  999\n"
      "PLOT WEIGHTING\t2\n"
      "BROWNIAN EVOLUTION TEST\t0\n"
      "WRITE NEXUS TREE\ttree.nex\n"
      "WRITE PHYLOGENETIC DISTANCES BETWEEN SPECIES\tdist.txt\n"
      "REDUCE DATA TO CLADE\tPoaceae\n"
      "SPECIES SE-TRAITS\tse.txt\n"
      "CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\tconv.txt\n"
      "RANDOM SEED\t12345\n"
      "THREADS\t4\n"
      "RANDOMIZATION SLICE\t3 8\n"
      "DISTANCE UNIT\tkm of river\n");
  EXPECT_EQ(s.main_result_file, "out.txt");
  EXPECT_EQ(s.n_spatial_randomizations, 999);
  EXPECT_EQ(s.plot_weighting, 2);
  EXPECT_EQ(s.n_brownian_replicates, 0);
  EXPECT_EQ(s.nexus_tree_output, "tree.nex");
  EXPECT_EQ(s.phylogenetic_distances_output, "dist.txt");
  EXPECT_EQ(s.reduce_to_clade, "Poaceae");
  EXPECT_EQ(source_text(s.species_se_traits), "se.txt");
  EXPECT_EQ(s.conversion_output, "conv.txt");
  EXPECT_EQ(s.conversion_keyword, "CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE");
  EXPECT_EQ(s.random_seed_keyword, 12345);
  EXPECT_EQ(s.n_threads, 4);
  EXPECT_EQ(s.slice_number, 3);
  EXPECT_EQ(s.slice_count, 8);
  EXPECT_EQ(s.distance_unit, "km");
  // Keywords that are absent leave their settings at 0 and empty.
  EXPECT_FALSE(s.species_plot_matrix.given());
  EXPECT_EQ(s.pairwise_indices_output, "");
  EXPECT_EQ(s.test_species_pool.lo(), 1);
  EXPECT_EQ(s.test_clade_names.hi(), 100);
}

TEST_F(InstructionTest, IntervalSourcesAreInlineForANumberAndFilesOtherwise) {
  const RunSettings s = read(
      "DISTANCE INTERVALS\t5\n"
      "REGRESSION DISTANCE INTERVALS\t-4\n"
      "DIVERGENCE INTERVALS\tdivint.txt\n");
  EXPECT_EQ(source_text(s.distance_intervals), "instr.txt:1 5");
  EXPECT_EQ(source_text(s.regression_intervals), "-4");  // negative counts live in a separate file
  EXPECT_EQ(source_text(s.divergence_intervals), "divint.txt");
}

TEST_F(InstructionTest, MatricesAfterTheirKeywordWhenNoFileIsNamed) {
  RunSettings s = read("INTER-PLOT DISTANCES\nPAIRWISE CATEGORIES\t12\n");
  EXPECT_EQ(source_text(s.plot_distances), "instr.txt:1");
  EXPECT_EQ(source_text(s.pairwise_categories), "12");  // a number is a file name here
}

TEST_F(InstructionTest, OptionalOutputsGoToTheMainResultFileWithoutAName) {
  const RunSettings s = read(
      "WRITE PAIRWISE INDICES\n"
      "NODE DECOMPOSITION\tnodes.txt\n"
      "WRITE PLOT PHYLODIVERSITY AND SIMILARITY\t \n"
      "WRITE PLOT LINEAGE DIVERSITY AND SIMILARITY THROUGH TIME\tltt.txt\n"
      "WRITE PHYLOGENETIC TREE INTERPRETATION\n");
  EXPECT_EQ(s.pairwise_indices_output, "1");
  EXPECT_EQ(s.node_decomposition_output, "nodes.txt");
  EXPECT_EQ(s.plot_phylodiversity_output, "1");
  EXPECT_EQ(s.lineage_through_time_output, "ltt.txt");
  EXPECT_EQ(s.tree_interpretation_output, "1");
}

TEST_F(InstructionTest, KeywordsAreRecognisedByTheirComparedPrefixOnly) {
  EXPECT_EQ(read("# PLOT WEIGHTING\t1\n").plot_weighting, 0);  // a comment sign hides a keyword
  EXPECT_EQ(source_text(read("INDIVIDUALS\t0\t0\ngroup\tx\ty\tspecies\n").individuals), "instr.txt:1 0 0");
  // The argument is the first word after the full keyword text: "WRITE NEXUS
  // TREES" would name a file "S". A keyword lengthened by letters is taken
  // for a look-alike and stops the run.
  EXPECT_STOPS(read("WRITE NEXUS TREES\tnexus.txt\n"),
               "\n\nERROR: line 1 of instr.txt, \"WRITE NEXUS TREES\tnexus.txt\", is not read as a keyword line but "
               "looks like the keyword \"WRITE NEXUS TREE\": write the keyword in capitals at the very start of the "
               "line, or begin a comment line with \"#\".\nPress any key to stop.",
               3);
  EXPECT_STOPS(read("SPATIAL RANDOMIZATION TESTS\t50\n"),
               "\n\nERROR: line 1 of instr.txt, \"SPATIAL RANDOMIZATION TESTS\t50\", is not read as a keyword line but "
               "looks like the keyword \"SPATIAL RANDOMIZATION TEST\": write the keyword in capitals at the very start "
               "of the line, or begin a comment line with \"#\".\nPress any key to stop.",
               3);
  // "DISTANCE INTERVAL" is recognised, but lacks the full text before its argument.
  EXPECT_STOPS(read("DISTANCE INTERVAL\t5\n"),
               "\n\nERROR: \"DISTANCE INTERVALS\" must be followed by a number of distance intervals or a file "
               "name.\nPress any key to stop.",
               3);
}

TEST_F(InstructionTest, LaterKeywordsOfTheSameKindWin) {
  const RunSettings s = read(
      "PLOT WEIGHTING\t1\nPLOT WEIGHTING\t2\n"
      "MAIN RESULT FILE\ta.txt\nADD TO MAIN RESULT FILE\tb.txt\n"
      "CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\tone.txt\n"
      "CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\ttwo.txt\n");
  EXPECT_EQ(s.plot_weighting, 2);
  EXPECT_EQ(s.main_result_file, "b.txt");
  EXPECT_FALSE(s.empty_main_result_file);
  EXPECT_EQ(s.conversion_output, "two.txt");
  EXPECT_EQ(s.conversion_keyword, "CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX");
}

TEST_F(InstructionTest, SelectPlotPairsHasThreeForms) {
  RunSettings s = read("SELECT PLOT PAIRS WITHIN CATEGORY\tNM\n");
  EXPECT_EQ(s.pair_selection_mode, 1);
  EXPECT_EQ(s.pair_category_1, "NM");
  s = read("SELECT PLOT PAIRS WITHIN CATEGORY\n");
  EXPECT_EQ(s.pair_selection_mode, 1);
  EXPECT_EQ(s.pair_category_1, "");
  s = read("SELECT PLOT PAIRS BETWEEN CATEGORIES\tBF\tSF\n");
  EXPECT_EQ(s.pair_selection_mode, 2);
  EXPECT_EQ(s.pair_category_1, "BF");
  EXPECT_EQ(s.pair_category_2, "SF");
  s = read("SELECT PLOT PAIRS OF CATEGORY\t3\nPAIRWISE CATEGORIES\n");
  EXPECT_EQ(s.pair_selection_mode, 3);
  EXPECT_EQ(s.pair_category_1, "3");
  // Any other text once left every pair in the analysis without a word.
  for (const char* line : {"SELECT PLOT PAIRS AT RANDOM", "SELECT PLOT PAIRS WITHIN CATEGORIES\tNM",
                           "SELECT PLOT PAIRS WITHIN CATEGORY\tNM\tSF", "SELECT PLOT PAIRS BETWEEN CATEGORIES\tBF",
                           "SELECT PLOT PAIRS OF CATEGORY\tNM", "SELECT PLOT PAIRS OF CATEGORY"}) {
    EXPECT_STOPS(read(std::string("PLOT WEIGHTING\t1\n") + line + "\n"),
                 std::string("\n\nERROR: line 2 of instr.txt, \"") + line +
                     "\", is not a form of \"SELECT PLOT PAIRS\": write \"SELECT PLOT PAIRS WITHIN CATEGORY\" (pairs "
                     "within every category, or followed by one category name), \"SELECT PLOT PAIRS BETWEEN "
                     "CATEGORIES\" followed by two category names, or \"SELECT PLOT PAIRS OF CATEGORY\" followed by "
                     "the number of a pairwise category.\nPress any key to stop.",
                 3);
  }
}

}  // namespace
}  // namespace quorvel::instructions
