#include <gtest/gtest.h>

#include <filesystem>

#include "core/text_output.hpp"
#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

using testing::read_file;
using testing::write_file;

constexpr const char* kTraitsAndDistances =
    "\n\nERROR: You can treat species traits (SPECIES TRAITS) or species distances for traits (INTER-SPECIES "
    "DISTANCES) but not both together";
constexpr const char* kSeveralPhylogenies =
    "\n\nERROR: Species phyletic relationships can be defined by a taxonomic classification (SPECIES TAXONOMY + "
    "TAXONOMIC DISTANCES), a phylogenetic tree (ULTRAMETRIC PHYLOGENETIC TREE or PHYLOGENETIC TREE), or by "
    "inter-species divergences (INTER-SPECIES DIVERGENCES), but not by several of these ways.";
constexpr const char* kIndividualsAndPlots =
    "\n\nERROR: You cannot give both a list of individuals data and a list of plot data";
constexpr const char* kIndividualsAndCommunity =
    "\n\nERROR: You cannot give both a list of individuals data and species-plot data (SPECIES-PLOT MATRIX or "
    "PLOT-ABUNDANCE-SPECIES TRIPLET)";

TEST_F(InstructionTest, MissingInstructionFileIsAskedForAgain) {
  EXPECT_STOPS(read_instruction_file("absent.txt"),
               "\nWarning: cannot open inputfile absent.txt.\nIf it is being used by another application, close it "
               "first.\nIf it does not exist in the specified directory, bring it first.\nThen press Return.\n"
               "\nNo more input: stopping.\n",
               2);
}

TEST_F(InstructionTest, MainResultFileIsEmptiedOnlyAfterASuccessfulRead) {
  write_file("out.txt", "old results\n");
  EXPECT_STOPS(read("MAIN RESULT FILE\tout.txt\nPLOT WEIGHTING\n"),
               "\n\nERROR: \"PLOT WEIGHTING\" \nmust be followed by a number.\nPress any key to stop.", 3);
  EXPECT_EQ(read_file("out.txt"), "old results\n");

  const RunSettings s = read("MAIN RESULT FILE\tout.txt\n");
  EXPECT_TRUE(s.empty_main_result_file);
  EXPECT_EQ(s.main_result_keyword, "MAIN RESULT FILE");
  EXPECT_EQ(read_file("out.txt"), "old results\n");
  prepare_main_result_file(s);
  EXPECT_TRUE(testing::read_file("out.txt").empty());
  EXPECT_TRUE(core::file_is_readable("out.txt"));
}

TEST_F(InstructionTest, AddToMainResultFileKeepsItsContent) {
  write_file("out.txt", "old results\n");
  const RunSettings s = read("ADD TO MAIN RESULT FILE\tout.txt\n");
  EXPECT_EQ(s.main_result_file, "out.txt");
  EXPECT_EQ(read_file("out.txt"), "old results\n");
}

TEST_F(InstructionTest, WithoutAMainResultFileNoneIsNamed) {
  const RunSettings s = read("PLOT WEIGHTING\t1\nWRITE PAIRWISE INDICES\n");
  EXPECT_EQ(s.main_result_file, "");  // asked for when the run starts
  EXPECT_EQ(s.main_result_keyword, "");
  EXPECT_FALSE(s.empty_main_result_file);
}

TEST_F(InstructionTest, FinalChecksPrintAllTheirMessagesBeforeStopping) {
  write_file("tree.txt", "((A:1,B:1):1,C:2);\n");
  write_file("out.txt", "kept\n");
  write_file("d.txt", "\tA\tB\tC\nA\t0\t1\t2\nB\t1\t0\t2\nC\t2\t2\t0\n");
  EXPECT_STOPS(
      read("MAIN RESULT FILE\tout.txt\n"
           "SPECIES TRAITS\t3\t1\nsp\tsize\n"
           "INTER-SPECIES TRAIT DISTANCES\td.txt\n"
           "ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\n"
           "INTER-SPECIES DIVERGENCES\t3\n"
           "PLOT LIST\t2\t0\t0\n"
           "INDIVIDUAL\t0\t0\ngroup\tx\ty\tspecies\n",
           "instr.txt"),
      std::string(kIndividualsAndPlots) + kTraitsAndDistances + kSeveralPhylogenies + "\nPress any key to stop.", 3);
  EXPECT_EQ(read_file("out.txt"), "kept\n");
}

TEST_F(InstructionTest, EachFinalCheckStopsTheRunAlone) {
  write_file("d.txt", "INTER-SPECIES TRAIT DISTANCES\t3\t-1\nd\tA\tB\tC\nA\t0\t1\t2\nB\t1\t0\t1\nC\t2\t1\t0\n");
  write_file("tax.txt", "Species\tGenus\nA\tg1\nB\tg1\n");
  write_file("tree.txt", "((A:1,B:1):1,C:2);\n");
  EXPECT_STOPS(read("SPECIES TRAITS\t3\t1\nsp\tsize\nA\t1\nB\t2\nC\t3\nINTER-SPECIES TRAIT DISTANCES\td.txt\n"),
               std::string(kTraitsAndDistances) + "\nPress any key to stop.", 3);
  EXPECT_STOPS(read("PHYLOGENETIC TREE\ttree.txt\nSPECIES TAXONOMY\ttax.txt\n"),
               std::string(kSeveralPhylogenies) + "\nPress any key to stop.", 3);
  EXPECT_STOPS(read("INDIVIDUAL\t0\t0\ng\tx\ty\ts\nPLOT LIST\t3\t2\t0\np1\t0\t0\np2\t0\t1\np3\t1\t1\n"),
               std::string(kIndividualsAndPlots) + "\nPress any key to stop.", 3);
}

// An individual list defines the species of the run: species-plot data named
// beside it were read with the individuals' number of species (or the list
// with the matrix's), whichever keyword came last.
TEST_F(InstructionTest, IndividualsAndSpeciesPlotDataAreRefusedTogether) {
  for (const char* community : {"SPECIES-PLOT MATRIX\tm.txt\n", "PLOT-ABUNDANCE-SPECIES TRIPLET\tt.txt\n"}) {
    SCOPED_TRACE(community);
    EXPECT_STOPS(read(std::string("INDIVIDUALS\tlist.txt\n") + community),
                 std::string(kIndividualsAndCommunity) + "\nPress any key to stop.", 3);
    EXPECT_STOPS(read(std::string(community) + "INDIVIDUALS\tlist.txt\n"),
                 std::string(kIndividualsAndCommunity) + "\nPress any key to stop.", 3);
  }
}

TEST_F(InstructionTest, OutputNamedLikeAnInputIsRefusedBeforeAnythingIsWritten) {
  write_file("tree.txt", "((A:1,B:1):1,C:2);\n");
  EXPECT_STOPS(read("ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\nWRITE NEXUS TREE\t./tree.txt\n"),
               "\n\nERROR: \"WRITE NEXUS TREE\" names the file \"./tree.txt\", which \"ULTRAMETRIC PHYLOGENETIC TREE\" "
               "reads: writing results to it would destroy its data.\nNo file has been written: give the results "
               "another name.\nPress any key to stop.",
               3);
  EXPECT_EQ(read_file("tree.txt"), "((A:1,B:1):1,C:2);\n");

  // The main result file named like the instruction file would empty it.
  EXPECT_STOPS(read("MAIN RESULT FILE\tinstr.txt\nWRITE PAIRWISE INDICES\n"),
               "\n\nERROR: \"MAIN RESULT FILE\" names the file \"instr.txt\", which is the instruction file: writing "
               "results to it would destroy the instructions.\nNo file has been written: give the results another "
               "name.\nPress any key to stop.",
               3);
  EXPECT_EQ(read_file("instr.txt"), "MAIN RESULT FILE\tinstr.txt\nWRITE PAIRWISE INDICES\n");
}

TEST_F(InstructionTest, OutputConflictsListEveryOutput) {
  RunSettings s;
  s.plot_list.file = "plots.txt";
  s.conversion_output = "plots.txt";
  s.conversion_keyword = "CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE";
  s.pairwise_indices_output = "1";
  // The main result file given on the command line.
  EXPECT_EQ(output_conflict_messages(s, "instr.txt", "plots.txt"),
            "\n\nERROR: the main result file names the file \"plots.txt\", which \"PLOT LIST\" reads: writing results "
            "to it would destroy its data."
            "\n\nERROR: \"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\" names the file "
            "\"plots.txt\", which \"PLOT LIST\" reads: writing results to it would destroy its data."
            "\nNo file has been written: give the results another name.");
  s.conversion_output = "conv.txt";
  EXPECT_EQ(output_conflict_messages(s, "instr.txt", "out.txt"), "");
}

TEST_F(InstructionTest, OutputsInAFolderThatDoesNotExistAreRefused) {
  std::filesystem::create_directory("sub");
  write_file("notes.txt", "");
  struct Case {
    std::string RunSettings::*output;
    const char* name;
    const char* message;
  };
  const Case cases[] = {
      {&RunSettings::results_table_output, "nofolder/x",
       "\n\nERROR: \"RESULTS TABLE\" names \"nofolder/x\", whose folder \"nofolder\" does not exist: create the "
       "folder first, or give another name."},
      {&RunSettings::main_result_file, "sub/new/r.txt",
       "\n\nERROR: the main result file names \"sub/new/r.txt\", whose folder \"sub/new\" does not exist: create "
       "the folder first, or give another name."},
      {&RunSettings::figures_folder, "nofolder/figs/",
       "\n\nERROR: \"FIGURES\" names \"nofolder/figs/\", whose folder \"nofolder\" does not exist: create the "
       "folder first, or give another name."},
      {&RunSettings::nexus_tree_output, "notes.txt/tree.nex",
       "\n\nERROR: \"WRITE NEXUS TREE\" names \"notes.txt/tree.nex\", whose folder \"notes.txt\" is a file: give "
       "another name."},
      // The figure folder itself is made by the run; outputs in existing folders are fine.
      {&RunSettings::figures_folder, "figs/", ""},
      {&RunSettings::pairwise_indices_output, "sub/pairs.txt", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunSettings s;
    s.main_result_file = "out.txt";
    s.*c.output = c.name;
    const std::string refusal = *c.message ? std::string(c.message) +
                                                 "\nNo file has been written: give the results "
                                                 "another name."
                                           : "";
    EXPECT_EQ(output_conflict_messages(s, "instr.txt", s.main_result_file), refusal);
  }
}

TEST_F(InstructionTest, DuneInstructionFileReadsWhole) {
  copy_data("driver/dune");
  const RunSettings s = read_instruction_file("instr.txt");
  EXPECT_EQ(source_text(s.species_plot_matrix), "dune_matrix.txt");
  EXPECT_EQ(source_text(s.plot_list), "dune_plots.txt");
  EXPECT_EQ(source_text(s.tree), "dune_tree.txt");
  EXPECT_TRUE(dated_tree(s));
  EXPECT_EQ(source_text(s.divergence_intervals), "dune_divint.txt");
  EXPECT_EQ(s.phylogenetic_distances_output, "phylodist.txt");
  EXPECT_EQ(s.pairwise_indices_output, "pairwise.txt");
  EXPECT_EQ(s.main_result_file, "results.txt");
  prepare_main_result_file(s);
  EXPECT_TRUE(core::file_is_readable("results.txt"));
}

TEST_F(InstructionTest, DuneTaxonomyAndDivergenceInstructionFiles) {
  copy_data("driver/dune");
  RunSettings s = read_instruction_file("instr_taxonomy.txt");
  EXPECT_EQ(source_text(s.species_traits), "dune_taxonomy.txt");
  EXPECT_EQ(source_text(s.species_taxonomy), "dune_taxonomy.txt");
  EXPECT_EQ(source_text(s.taxonomic_divergences), "dune_taxdiv.txt");

  s = read_instruction_file("instr_divergences.txt");
  EXPECT_EQ(source_text(s.species_divergences), "dune_divergences.txt");
  EXPECT_FALSE(s.species_traits.given());  // a new read starts afresh
  EXPECT_EQ(s.pairwise_indices_output, "1");
}

TEST_F(InstructionTest, CarnivoreTestsInstructionFile) {
  copy_data("driver/carni70");
  const RunSettings s = read_instruction_file("instr_tests.txt");
  EXPECT_EQ(source_text(s.species_traits), "carni70_traits.txt");
  EXPECT_EQ(s.n_phylogeny_tests, 1);
  EXPECT_EQ(s.n_phylogeny_randomizations, 99);
  EXPECT_EQ(source_text(s.phylogeny_tests), "instr_tests.txt:4 1 99");  // inline test lines
  EXPECT_EQ(s.test_species_pool[1], 0.0f);
  EXPECT_EQ(s.test_restriction[1], 0.0f);
  EXPECT_EQ(s.n_brownian_replicates, 99);
}

}  // namespace
}  // namespace quorvel::instructions
