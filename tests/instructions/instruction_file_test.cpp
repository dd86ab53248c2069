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

TEST_F(InstructionTest, MissingInstructionFileIsAskedForAgain) {
  RunSettings settings;
  EXPECT_STOPS(read_instruction_file("absent.txt", settings),
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

TEST_F(InstructionTest, CallerMainResultFileIsKeptWhenNoneIsNamed) {
  write_file("instr.txt", "PLOT WEIGHTING\t1\n");
  RunSettings settings;
  settings.main_result_file = "given.txt";
  settings.plot_weighting = 7;
  read_instruction_file("instr.txt", settings);
  EXPECT_EQ(settings.main_result_file, "given.txt");
  EXPECT_EQ(settings.plot_weighting, 1);
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

TEST_F(InstructionTest, AnUnreadableCategoryCountStopsTheRunAtTheEnd) {
  EXPECT_STOPS(read("SPECIES TRAITS\t2\t2\nsp\t#\tsize\nA\t1\t2\nB\t2\t3\nPLOT WEIGHTING\t2\n"),
               "\nPress any key to stop.", 3);
  EXPECT_NE(console_output().find("\n\nERROR: Species list: cannot read the number of categories of variable #"),
            std::string::npos);
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
  s.plot_list_source = "plots.txt";
  s.conversion_output = "plots.txt";
  s.conversion_keyword = "CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE";
  s.main_result_file = "plots.txt";  // given on the command line
  s.pairwise_indices_output = "1";
  EXPECT_EQ(output_conflict_messages(s, "instr.txt"),
            "\n\nERROR: the main result file names the file \"plots.txt\", which \"PLOT LIST\" reads: writing results "
            "to it would destroy its data."
            "\n\nERROR: \"CONVERT SP-PLOT MATRIX INTO PLOT-ABUNDANCE-SPECIES TRIPLET TABLE\" names the file "
            "\"plots.txt\", which \"PLOT LIST\" reads: writing results to it would destroy its data."
            "\nNo file has been written: give the results another name.");
  s.main_result_file = "out.txt";
  s.conversion_output = "conv.txt";
  EXPECT_EQ(output_conflict_messages(s, "instr.txt"), "");
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
    EXPECT_EQ(output_conflict_messages(s, "instr.txt"), refusal);
  }
}

TEST_F(InstructionTest, DuneInstructionFileReadsWhole) {
  copy_data("driver/dune");
  RunSettings s;
  read_instruction_file("instr.txt", s);
  EXPECT_EQ(s.species_plot_matrix_source, "dune_matrix.txt");
  EXPECT_EQ(s.n_matrix_species, 30);
  EXPECT_EQ(s.n_matrix_plots, 20);
  EXPECT_EQ(s.plot_list_source, "dune_plots.txt");
  EXPECT_EQ(s.n_listed_plots, 20);
  EXPECT_EQ(s.n_plot_coordinates, 0);
  EXPECT_EQ(s.n_plot_categories, -1);
  EXPECT_EQ(s.tree_file, "dune_tree.txt");
  EXPECT_EQ(s.n_tree_species, 30);
  EXPECT_EQ(s.tree_text.substr(0, 12), "((Bracruta:2");
  EXPECT_EQ(s.tree_text.back(), ';');
  EXPECT_EQ(s.divergence_intervals_source, "dune_divint.txt");
  EXPECT_EQ(s.phylogenetic_distances_output, "phylodist.txt");
  EXPECT_EQ(s.pairwise_indices_output, "pairwise.txt");
  EXPECT_EQ(s.main_result_file, "results.txt");
  prepare_main_result_file(s);
  EXPECT_TRUE(core::file_is_readable("results.txt"));
}

TEST_F(InstructionTest, DuneTaxonomyAndDivergenceInstructionFiles) {
  copy_data("driver/dune");
  RunSettings s;
  read_instruction_file("instr_taxonomy.txt", s);
  EXPECT_EQ(s.n_trait_species, 30);
  EXPECT_EQ(s.n_trait_variables, 5);
  EXPECT_EQ(s.trait_variable_names[0], "Species");
  EXPECT_EQ(s.trait_variable_names[1], "Genus");
  EXPECT_EQ(s.trait_variable_categories[1], 27);
  EXPECT_EQ(s.trait_variable_names[5], "Subclass");
  EXPECT_EQ(s.trait_variable_categories[5], 2);
  EXPECT_EQ(s.trait_variable_categories[0], 30);
  EXPECT_EQ(s.n_taxonomy_species, 30);
  EXPECT_EQ(s.n_taxonomy_columns, 6);
  EXPECT_EQ(s.taxonomy_level_names[1], "#27 Genus");
  EXPECT_EQ(s.taxonomy_level_sizes[5], 30);
  EXPECT_EQ(s.n_divergence_levels, 2);
  EXPECT_EQ(s.phyletic_level_names[0], "Species");
  EXPECT_EQ(s.phyletic_level_names[2], "Family");
  EXPECT_EQ(s.phyletic_level_names[3], "ALL");
  EXPECT_FLOAT_EQ(s.level_divergences[3], 3.0f);
  EXPECT_EQ(s.level_divergences[0], 0.0f);

  read_instruction_file("instr_divergences.txt", s);
  EXPECT_EQ(s.inter_species_divergences_source, "dune_divergences.txt");
  EXPECT_EQ(s.n_divergence_species, 30);
  EXPECT_EQ(s.n_trait_species, 0);  // reset by the new read
  EXPECT_EQ(s.pairwise_indices_output, "1");
}

TEST_F(InstructionTest, CarnivoreTestsInstructionFile) {
  copy_data("driver/carni70");
  RunSettings s;
  read_instruction_file("instr_tests.txt", s);
  EXPECT_EQ(s.n_trait_species, 70);
  EXPECT_EQ(s.n_trait_variables, 2);
  EXPECT_EQ(s.trait_variable_names[2], "range");
  EXPECT_EQ(s.n_tree_species, 70);
  EXPECT_EQ(s.n_phylogeny_tests, 1);
  EXPECT_EQ(s.n_phylogeny_randomizations, 99);
  EXPECT_EQ(s.phylogeny_tests_source, "instr_tests.txt");
  EXPECT_EQ(s.test_species_pool[1], 0.0f);
  EXPECT_EQ(s.test_restriction[1], 0.0f);
  EXPECT_EQ(s.n_brownian_replicates, 99);
}

}  // namespace
}  // namespace quorvel::instructions
