#include <gtest/gtest.h>

#include "input/tree_file.hpp"
#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

using testing::write_file;

// ---- Species lists ----

TEST_F(InstructionTest, SpeciesTraitsInlineReadTheHeaderLine) {
  const RunSettings s = read("SPECIES TRAITS\t3\t2\nSpecies\t#4 habitat\tmass\nA\t1\t2.5\nB\t2\t3\nC\t4\t1\n");
  EXPECT_EQ(s.species_traits_file, "instr.txt");
  EXPECT_EQ(s.n_trait_species, 3);
  EXPECT_EQ(s.n_trait_variables, 2);
  EXPECT_EQ(s.trait_variable_names[0], "Species");
  EXPECT_EQ(s.phyletic_level_names[0], "Species");
  EXPECT_EQ(s.trait_variable_names[1], "habitat");
  EXPECT_EQ(s.trait_variable_categories[1], 4);
  EXPECT_EQ(s.trait_variable_names[2], "mass");
  EXPECT_EQ(s.trait_variable_categories[2], 0);
  EXPECT_EQ(s.trait_variable_categories[0], 3);
}

TEST_F(InstructionTest, SpeciesTraitsFileWithAndWithoutKeywordLine) {
  write_file("t1.txt", "from a field survey\nSPECIES TRAITS\t2\t1\nsp\theight\nA\t1\nB\t2\n");
  RunSettings s = read("SPECIES TRAITS\tt1.txt\n");
  EXPECT_EQ(s.n_trait_species, 2);
  EXPECT_EQ(s.trait_variable_names[1], "height");
  // Without it: variables up to the first empty header cell, species lines
  // to the end of the file (blank lines at its very end excepted): the
  // reader then refuses a line that is not a species line, naming it.
  write_file("t2.txt", "sp\th\tw\t\tnote\nA\t1\t2\nB\t2\t3\n9C\t1\t1\n-- end\nD\t1\t1\n\n \n");
  s = read("SPECIES TRAITS\tt2.txt\n");
  EXPECT_EQ(s.species_traits_file, "t2.txt");
  EXPECT_EQ(s.n_trait_species, 5);
  EXPECT_EQ(s.n_trait_variables, 2);
  EXPECT_EQ(s.trait_variable_names[2], "w");
}

TEST_F(InstructionTest, SeTraitsIsNotTakenForTraits) {
  const RunSettings s = read("SPECIES SE-TRAITS\tse.txt\n");
  EXPECT_EQ(s.species_se_traits_file, "se.txt");
  EXPECT_EQ(s.n_trait_species, 0);
  EXPECT_EQ(s.species_traits_file, "");
}

TEST_F(InstructionTest, UnreadableListCountsAreReportedAndTheKeywordIgnored) {
  RunSettings s = read("SPECIES TRAITS\t3\nPLOT WEIGHTING\t1\n");
  EXPECT_EQ(s.n_trait_species, 0);
  EXPECT_EQ(s.species_traits_file, "");
  EXPECT_EQ(s.plot_weighting, 1);
  s = read("SPECIES TAXONOMY\t30\n");
  EXPECT_EQ(s.n_taxonomy_species, 0);
  write_file("tax.txt", "SPECIES TAXONOMY\tmany\nSpecies\tGenus\n");
  s = read("SPECIES TAXONOMY\ttax.txt\n");
  EXPECT_EQ(s.n_taxonomy_species, 0);
  write_file("tr.txt", "SPECIES TRAITS\nSpecies\tsize\n");
  s = read("SPECIES TRAITS\ttr.txt\n");
  s = read("INDIVIDUAL\t12\n");
  EXPECT_EQ(s.n_individuals, 0);
  EXPECT_EQ(console_output(),
            "\n\nERROR: Species traits: cannot read the number of species or variables"
            "\n\nERROR: Species taxonomy: cannot read the number of species or taxonomic levels"
            "\n\nERROR: Species taxonomy: cannot read the number of species or variables"
            "\n\nERROR: Species traits: cannot read the number of species or traits"
            "\n\nERROR: Can not read the number of individuals or of variables of the individual list");
}

TEST_F(InstructionTest, SpeciesTaxonomyInline) {
  const RunSettings s = read("SPECIES TAXONOMY\t4\t2\nsp\tgenus\tfamily\nA\tg1\tf1\nB\tg1\tf1\nC\tg2\tf1\nD\tg3\tf2\n");
  EXPECT_EQ(s.species_taxonomy_file, "instr.txt");
  EXPECT_EQ(s.n_taxonomy_species, 4);
  EXPECT_EQ(s.n_taxonomy_columns, 3);
  EXPECT_EQ(s.taxonomy_level_names[0], "sp");
  EXPECT_EQ(s.taxonomy_level_names[2], "family");
  EXPECT_EQ(s.taxonomy_level_sizes[0], 4);
  EXPECT_EQ(s.taxonomy_level_sizes[2], 4);
  EXPECT_EQ(s.phyletic_level_names[0], "sp");
}

TEST_F(InstructionTest, IndividualsKeywordIsRecognisedAsIndividual) {
  std::string text = "INDIVIDUALS\t120\t3\ngroup\tx\ty\tspecies\t#2 sex\tdbh\theight\n";
  for (int i = 1; i <= 120; ++i) {
    text += "g\t" + std::to_string(i) + "\t0\tsp" + std::to_string(i % 7) + "\tM\t1\t2\n";
  }
  const RunSettings s = read(text + "PLOT WEIGHTING\t1\n");
  EXPECT_EQ(s.n_individuals, 120);
  EXPECT_EQ(s.n_individual_columns, 7);
  EXPECT_EQ(s.individual_list_source, "instr.txt");
  EXPECT_EQ(s.individual_column_names[3], "species");
  EXPECT_EQ(s.individual_column_names[4], "sex");
  EXPECT_EQ(s.individual_column_categories[4], 2);
  EXPECT_EQ(s.individual_column_categories[5], 0);
  EXPECT_EQ(s.individual_column_names[6], "height");
  EXPECT_EQ(s.n_matrix_species, 7);
  EXPECT_EQ(s.individual_column_categories[0], 120);
  EXPECT_EQ(s.individual_column_categories[3], 7);
  EXPECT_EQ(s.plot_weighting, 1);  // reading goes on after the rows
}

TEST_F(InstructionTest, IndividualFileNeedsItsKeywordLineAndAllItsRows) {
  write_file("ind.txt", "INDIVIDUAL\t3\t0\ng\tx\ty\tspecies\n1\t0\t0\tPoa annua\n1\t0\t1\tPoa annua \n");
  EXPECT_STOPS(read("INDIVIDUAL\tind.txt\n"),
               "\n\nERROR: in the indivual list in file ind.txt, only 2 individuals found for 3 announced", 3);
  write_file("ind.txt", "INDIVIDUAL\t2\t0\ng\tx\ty\tspecies\n1\t0\t0\tPoa annua\n1\t0\t1\tPoa annua \n");
  const RunSettings s = read("INDIVIDUAL\tind.txt\n");
  EXPECT_EQ(s.n_matrix_species, 1);
  EXPECT_EQ(s.individual_list_source, "ind.txt");
  write_file("ind.txt", "g\tx\ty\tspecies\n");
  EXPECT_EQ(read("INDIVIDUAL\tind.txt\n").n_individuals, 0);
}

TEST_F(InstructionTest, IndividualRowWithoutSpeciesNamesTheLine) {
  EXPECT_STOPS(read("PLOT WEIGHTING\t0\nINDIVIDUAL\t2\t0\ng\tx\ty\ts\n1\t0\t0\tsp1\n1\t0\n"),
               "\ntab not found one column missing on line 5 from file instr.txt", 1);
}

// ---- Trees ----

TEST_F(InstructionTest, TreeTipsAreCountedFromTheText) {
  EXPECT_EQ(input::count_tree_tips("((A:1,B:1):1,C:2);"), 3);
  EXPECT_EQ(input::count_tree_tips("((A:1,B:1):1,C:2):0.5;"), 3);
  EXPECT_EQ(input::count_tree_tips("((A:1,B:1)ab:1,C:2)root;"), 3);
  EXPECT_EQ(input::count_tree_tips("(A:1,B:1,(C:1,D:1):1);extra(:"), 4);
  EXPECT_EQ(input::count_tree_tips(""), 0);
}

TEST_F(InstructionTest, InlineTreesAndTheirSign) {
  RunSettings s = read("ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2);\n");
  EXPECT_EQ(s.n_tree_species, 3);
  EXPECT_EQ(s.tree_file, "instr.txt");
  EXPECT_EQ(s.tree_text, "((A:1,B:1):1,C:2);");
  s = read("ULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2):4;\n");
  EXPECT_EQ(s.n_tree_species, 3);
  s = read("PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2);\n");
  EXPECT_EQ(s.n_tree_species, -3);
  s = read("PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2):4;\n");
  EXPECT_EQ(s.n_tree_species, -3);
  s = read("PHYLOGENETIC TREE\t2\n((A:1,B:1):1,C:2);\n");  // 2 or less: no tree text
  EXPECT_EQ(s.n_tree_species, 0);
  EXPECT_EQ(s.tree_text, "");
}

TEST_F(InstructionTest, TreeFilesWithAndWithoutHeader) {
  write_file("t1.txt", "((A:1,B:1):1,(C:1,D:1):1);\n");
  EXPECT_EQ(read("PHYLOGENETIC TREE\tt1.txt\n").n_tree_species, -4);
  write_file("t2.txt", "a dated tree\nULTRAMETRIC PHYLOGENETIC TREE\t2\n\n((A:1,B:1):1,C:2);\n");
  EXPECT_EQ(read("ULTRAMETRIC PHYLOGENETIC TREE\tt2.txt\n").n_tree_species, 0);
  write_file("t2.txt", "a dated tree\nULTRAMETRIC PHYLOGENETIC TREE\t3\n((A:1,B:1):1,C:2);\n");
  EXPECT_EQ(read("ULTRAMETRIC PHYLOGENETIC TREE\tt2.txt\n").n_tree_species, 3);
}

TEST_F(InstructionTest, TreeLongerThanTheLineBufferIsKeptWhole) {
  std::string tree = "(";
  for (int i = 0; i < 20000; ++i) tree += "species_" + std::to_string(i) + ":1.0,";
  tree.back() = ')';
  tree += ";";
  ASSERT_GT(tree.size(), 200000u);
  const RunSettings s = read("ULTRAMETRIC PHYLOGENETIC TREE\t20000\n" + tree + "\nPLOT WEIGHTING\t2\n");
  EXPECT_EQ(s.tree_text, tree);
  EXPECT_EQ(s.n_tree_species, 20000);
  EXPECT_EQ(s.plot_weighting, 2);
}

// ---- Phylogeny randomization tests ----

TEST_F(InstructionTest, PhylogenyTestOptions) {
  const RunSettings s = read(
      "PHYLOGENY RANDOMIZATION TESTS\t6\t999\n"
      "1\n"
      "2\tWITHIN CLADE\tFelidae\tWITHIN AGE 20\n"
      "3\tPERMUTE SPECIES WITH OCCURRENCE RATIO < 2\n"
      "4\tPERMUTE SPECIES WITH ABUNDANCE RATIO <2\tWITHIN CLADE Canidae\n"
      "5\tPERMUTE ALL TREE SPECIES\tPERMUTE SAMPLED SPECIES\n"
      "6\tPERMUTE ALL TREE SPECIES\n");
  EXPECT_EQ(s.n_phylogeny_tests, 6);
  EXPECT_EQ(s.n_phylogeny_randomizations, 999);
  EXPECT_EQ(s.test_species_pool[1], 0.0f);
  EXPECT_EQ(s.test_restriction[1], 0.0f);
  EXPECT_EQ(s.test_restriction[2], 20.0f);  // the age wins over the clade
  EXPECT_EQ(s.test_clade_names[2], "Felidae");
  EXPECT_EQ(s.test_species_pool[3], -2.0f);
  EXPECT_EQ(s.test_species_pool[4], 2.0f);
  EXPECT_EQ(s.test_restriction[4], -1.0f);
  EXPECT_EQ(s.test_clade_names[4], "Canidae");
  EXPECT_EQ(s.test_species_pool[5], 0.0f);  // the later option of the list wins
  EXPECT_EQ(s.test_species_pool[6], -1.0f);
  EXPECT_EQ(s.test_age_limit[6], 0.0f);
}

TEST_F(InstructionTest, MoreThan100PhylogenyTestsKeep100) {
  std::string text = "PHYLOGENY RANDOMIZATION TESTS\t150\n";
  for (int t = 1; t <= 150; ++t) text += std::to_string(t) + (t == 100 ? "\tPERMUTE ALL TREE SPECIES\n" : "\n");
  const RunSettings s = read(text);
  EXPECT_EQ(s.n_phylogeny_tests, 100);
  EXPECT_EQ(s.n_phylogeny_randomizations, 0);
  EXPECT_EQ(s.test_species_pool[100], -1.0f);
  EXPECT_EQ(console_output(),
            "\n\"PHYLOGENY RANDOMIZATION TESTS\" announces 150 tests: only the first 100 are read and run.\n");
}

TEST_F(InstructionTest, PhylogenyTestsFile) {
  write_file("tests.txt", "PHYLOGENY RANDOMIZATION TESTS\t1\t50\n1\tWITHIN AGE\t7.5\n");
  RunSettings s = read("PHYLOGENY RANDOMIZATION TESTS\ttests.txt\n");
  EXPECT_EQ(s.phylogeny_tests_source, "tests.txt");
  EXPECT_EQ(s.n_phylogeny_randomizations, 50);
  EXPECT_EQ(s.test_restriction[1], 7.5f);
  write_file("tests.txt", "1\tWITHIN AGE\t7.5\n");
  EXPECT_STOPS(read("PHYLOGENY RANDOMIZATION TESTS\ttests.txt\n"),
               "\nERROR: phylogeny randomization tests not found in file \"tests.txt\".\nNo line beginning with "
               "\"PHYLOGENY RANDOMIZATION TESTS\" was found. \nPress any key to stop the programm now.\n",
               1);
}

// ---- Taxonomic divergences ----

TEST_F(InstructionTest, TaxonomicDivergencesInlineAndNotFound) {
  const RunSettings s = read("TAXONOMIC DIVERGENCES\t2\nSpecies\tGenus\n1\t2.5\n");
  EXPECT_EQ(s.taxonomic_divergences_source, "instr.txt");
  EXPECT_EQ(s.n_divergence_levels, 1);
  EXPECT_EQ(s.phyletic_level_names[1], "Genus");
  EXPECT_EQ(s.phyletic_level_names[2], "ALL");
  EXPECT_EQ(s.level_divergences[2], 2.5f);
  write_file("div.txt", "Species\tGenus\n1\t2\n");
  EXPECT_STOPS(read("TAXONOMIC DIVERGENCES\tdiv.txt\n"),
               "\nERROR: taxonomic classification not found in file \"div.txt\".\nNo line beginning with "
               "\"TAXONOMIC DIVERGENCES\" was found. \nPress any key to stop the programm now.\n",
               1);
  EXPECT_STOPS(read("TAXONOMIC DIVERGENCES\t2\nSpecies\tGenus\n1\tfar\n"),
               "\ncannot read float from far on line 3 from file instr.txt", 1);
}

// ---- Selection tests ----

TEST_F(InstructionTest, SelectionTestCountsInlineAndInAFile) {
  RunSettings s = read("SELECTION TESTS\t2\n[sp=1]\t3\tx\ty\tz\n[sp=2]\t-100\n");
  EXPECT_EQ(s.selection_tests_source, "instr.txt");
  EXPECT_EQ(s.selection_test_counts[0], 2);
  EXPECT_EQ(s.selection_test_counts[1], 3);
  EXPECT_EQ(s.selection_test_counts[2], -100);
  // More pairwise tests than the table of compiled tests holds are refused.
  EXPECT_STOPS(read("SELECTION TESTS\t2\n[sp=1]\t3\tx\ty\tz\n[sp=2]\t-101\n"),
               "\n\nERROR: The number of pairwise selection tests (101) is higher than the max allowed (100)\nPress "
               "any key to stop.",
               3);
  write_file("sel.txt", "notes\nSELECTION TESTS\t-1\n[]\t0\n");
  s = read("SELECTION TESTS\tsel.txt\n");
  EXPECT_EQ(s.selection_test_counts[0], -1);
  EXPECT_EQ(s.selection_test_counts[1], 0);
  EXPECT_EQ(s.selection_tests_source, "sel.txt");
  write_file("sel.txt", "[]\t0\n");
  EXPECT_STOPS(read("SELECTION TESTS\tsel.txt\n"),
               "\nERROR: selection tests not found in file \"sel.txt\".\nNo line beginning with \"SELECTION TESTS\" "
               "was found. \nPress any key to stop the programm now.\n",
               1);
}

TEST_F(InstructionTest, SelectionTestLimits) {
  std::string lines;
  for (int j = 1; j <= 99; ++j) lines += "[]\t1\n";
  EXPECT_EQ(read("SELECTION TESTS\t99\n" + lines).selection_test_counts[99], 1);
  EXPECT_STOPS(read("SELECTION TESTS\t100\n" + lines + "[]\t1\n"),
               "\n\nERROR:The number of selection tests (100) is higher than the max allowed (100)", 3);
  EXPECT_STOPS(read("SELECTION TESTS\t2\n[]\t1\n[]\tmany\n"),
               "\n\nERROR: cannot read number of pairwise selection tests. \nPress any key to stop", 3);
  EXPECT_STOPS(read("SELECTION TESTS\t2\n[]\t1\n"),
               "\n\nERROR: cannot read number of pairwise selection tests. \nPress any key to stop", 3);
}

// ---- Plot list ----

TEST_F(InstructionTest, PlotListInlineAndFromItsHeader) {
  RunSettings s = read("PLOT LIST\t4\t2\t3\nplot\tx\ty\tcat\nA\t0\t0\tc1\nB\t0\t1\tc2\nC\t1\t0\tc3\n");
  EXPECT_EQ(s.plot_list_source, "instr.txt");
  EXPECT_EQ(s.n_listed_plots, 4);
  EXPECT_EQ(s.n_plot_coordinates, 2);
  EXPECT_EQ(s.n_plot_categories, 3);
  write_file("p.txt", "PLOT LIST\t2\t0\t-1\nplot\tcat\nA\tx\nB\ty\n");
  s = read("PLOT LIST\tp.txt\n");
  EXPECT_EQ(s.n_listed_plots, 2);
  EXPECT_EQ(s.n_plot_categories, -1);
  // Plot lines are counted like species lines: every line up to the last one
  // that is not blank, whatever its first character (the reader refuses a
  // blank line among them).
  write_file("p.txt", "plot\tx\ty\n\xC3\x89tang\t0\t1\n_P2\t1\t1\n'P3\t2\t2\n\nC\t3\t3\n\n\n");
  s = read("PLOT LIST\tp.txt\n");
  EXPECT_EQ(s.n_listed_plots, 5);
  EXPECT_EQ(s.n_plot_coordinates, 2);
  EXPECT_EQ(s.n_plot_categories, 0);
  write_file("p.txt", "plot\tx\ty\n\xC3\x89tang\t0\t1\n");
  EXPECT_EQ(read("PLOT LIST\tp.txt\n").n_listed_plots, 1);
  write_file("p.txt", "plot x y habitat\nA\t0\t1\tdry\n");
  s = read("PLOT LIST\tp.txt\n");
  EXPECT_EQ(s.n_plot_coordinates, 2);
  EXPECT_EQ(s.n_plot_categories, -1);
}

// An empty plot list was once skipped without a word, and every pair of
// plots used.
TEST_F(InstructionTest, EmptyPlotListsAreRefusedNamingTheFile) {
  const struct {
    const char* file;
    const char* instructions;
    const char* source;
  } cases[] = {
      {"", "PLOT LIST\tp.txt\n", "p.txt"},
      {"plot\tx\ty\n\n\n", "PLOT LIST\tp.txt\n", "p.txt"},
      {"PLOT LIST\t0\t2\t0\nplot\tx\ty\n", "PLOT LIST\tp.txt\n", "p.txt"},
      {"", "PLOT LIST\t0\t0\t0\nplot\n", "instr.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    write_file("p.txt", c.file);
    EXPECT_STOPS(read(c.instructions),
                 std::string("\n\nERROR: \"PLOT LIST\": the plot list in ") + c.source +
                     " holds no plot: after its header line, give one line per plot.\nPress any key to stop.",
                 3);
  }
}

// ---- Community data ----

TEST_F(InstructionTest, CommunityDataInlineFileAndTriplets) {
  RunSettings s = read("SPECIES-PLOT MATRIX\t3\t2\n\tA\tB\nsp1\t1\t0\nsp2\t1\t1\nsp3\t0\t1\n");
  EXPECT_EQ(s.species_plot_matrix_source, "instr.txt");
  EXPECT_EQ(s.n_matrix_species, 3);
  EXPECT_EQ(s.n_matrix_plots, 2);
  write_file("m.txt", "sp\tA\tB\t\tC\nsp1\t1\t0\t\t1\nsp2\t1\t1\t\t1\n");
  s = read("SPECIES-PLOT MATRIX\tm.txt\n");
  EXPECT_EQ(s.n_matrix_species, 2);
  EXPECT_EQ(s.n_matrix_plots, 2);
  write_file("t.txt", "A\t1\tsp1\nB\t2\tsp1\nC\t1\tsp2");
  s = read("SPECIES-PLOT MATRIX\tm.txt\nPLOT-ABUNDANCE-SPECIES TRIPLET\tt.txt\n");
  EXPECT_EQ(s.triplet_file, "t.txt");
  EXPECT_EQ(s.species_plot_matrix_source, "");  // the later form replaces the earlier
  EXPECT_EQ(s.n_matrix_plots, 3);
  EXPECT_EQ(s.n_matrix_species, 2);
}

// ---- Inter-species matrices ----

TEST_F(InstructionTest, TraitDistanceLayouts) {
  write_file("sq.txt", "\tA\tB\tC\nA\t0\t1\t2\nB\t1\t0\t2\nC\t2\t2\t0\n\nnotes\n");
  RunSettings s = read("INTER-SPECIES TRAIT DISTANCES\tsq.txt\n");
  EXPECT_EQ(s.trait_distances_file, "sq.txt");
  EXPECT_EQ(s.n_trait_distance_species, 3);
  EXPECT_EQ(s.trait_distance_layout, -1);
  write_file("list.txt", "sp1\tsp2\tsize\tdiet\t\tnote\nA\tB\t1\t2\nA\tC\t2\t2\nB\tC\t1\t1\n");
  s = read("INTER-SPECIES TRAIT DISTANCES\tlist.txt\n");
  EXPECT_EQ(s.n_trait_distance_species, 3);
  EXPECT_EQ(s.trait_distance_layout, 2);
  write_file("h.txt",
             "INTER-SPECIES TRAIT "
             "DISTANCES\t4\t3\nsp1\tsp2\ta\tb\tc\nA\tB\t1\t1\t1\nA\tC\t1\t1\t1\nB\tC\t1\t1\t1\nC\tD\t1\t1\t1\n");
  s = read("INTER-SPECIES TRAIT DISTANCES\th.txt\n");
  EXPECT_EQ(s.n_trait_distance_species, 4);
  EXPECT_EQ(s.trait_distance_layout, 3);
  s = read("INTER-SPECIES TRAIT DISTANCES\nINTER-SPECIES DIVERGENCES\n");
  EXPECT_EQ(s.trait_distance_layout, 0);  // nothing named: ignored
  EXPECT_EQ(s.inter_species_divergences_source, "");
}

TEST_F(InstructionTest, SpeciesDivergencesInlineHeaderAndCounted) {
  RunSettings s = read("INTER-SPECIES DIVERGENCES\t4\n\tA\tB\tC\tD\nA\t0\nB\t1\t0\nC\t2\t2\t0\nD\t3\t3\t3\t0\n");
  EXPECT_EQ(s.inter_species_divergences_source, "instr.txt");
  EXPECT_EQ(s.n_divergence_species, 4);
  write_file("d.txt", "INTER-SPECIES DIVERGENCES\t2\n\tA\tB\nA\t0\t1\nB\t1\t0\n");
  EXPECT_EQ(read("INTER-SPECIES DIVERGENCES\td.txt\n").n_divergence_species, 2);
  write_file("d.txt", "\tA\tB\nA\t0\t1\nB\t1\t0\n\tend\n");
  EXPECT_EQ(read("INTER-SPECIES DIVERGENCES\td.txt\n").n_divergence_species, 2);
}

}  // namespace
}  // namespace quorvel::instructions
