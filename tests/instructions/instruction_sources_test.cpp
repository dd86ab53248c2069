// The data keywords name their sources: a file, or the lines that follow
// the keyword line (inline data), which are passed over. What the data hold
// is read when they are loaded (tests/input). The phylogeny test
// definitions are settings, read here.

#include <gtest/gtest.h>

#include "instruction_test_fixture.hpp"

namespace quorvel::instructions {
namespace {

using testing::write_file;

TEST_F(InstructionTest, InlineDataAreNamedByTheirKeywordLineAndNumbers) {
  RunSettings s = read(
      "SPECIES TRAITS\t3\t2\nPLOT WEIGHTING\tis a header cell here\nA\t1\t2.5\nB\t2\t3\nC\t4\t1\n"
      "INDIVIDUALS\t2\t0\nPLOT WEIGHTING\tx\ty\tspecies\nTHREADS\t0\t0\tsp1\nTHREADS\t0\t1\tsp2\n"
      "ULTRAMETRIC PHYLOGENETIC TREE\t3\nPLOT WEIGHTING((A:1,B:1):1,C:2);\n"
      "TAXONOMIC DIVERGENCES\t2\nRANDOM SEED\tGenus\nRANDOM SEED\t2.5\n"
      "SELECTION TESTS\t2\nTHREADS\t0\nTHREADS\t1\n"
      "PLOT WEIGHTING\t2\n");
  EXPECT_EQ(source_text(s.species_traits), "instr.txt:1 3 2");
  EXPECT_EQ(source_text(s.individuals), "instr.txt:6 2 0");
  EXPECT_EQ(source_text(s.tree), "instr.txt:10 3");
  EXPECT_TRUE(dated_tree(s));
  EXPECT_EQ(source_text(s.taxonomic_divergences), "instr.txt:12 2");
  EXPECT_EQ(source_text(s.selection_tests), "instr.txt:15 2");
  // The header, individual, tree, level and test lines are data, never
  // keyword lines: only the last line sets the weighting.
  EXPECT_EQ(s.plot_weighting, 2);
  EXPECT_EQ(s.n_threads, 0);
  EXPECT_EQ(s.random_seed_keyword, 0);
  s = read(
      "SPECIES-PLOT MATRIX\t2\t2\n\tA\tB\nsp1\t1\t0\nsp2\t1\t1\n"
      "PLOT LIST\t2\t0\t-1\nplot\tcat\nA\tx\nB\ty\n"
      "INTER-SPECIES DIVERGENCES\t2\n\tA\tB\nA\t0\t1\nB\t1\t0\n"
      "DISTANCE INTERVALS\t2\n1\t2\n");
  EXPECT_EQ(source_text(s.species_plot_matrix), "instr.txt:1 2 2");
  EXPECT_EQ(source_text(s.plot_list), "instr.txt:5 2 0 -1");
  EXPECT_EQ(source_text(s.species_divergences), "instr.txt:9 2");
  EXPECT_EQ(source_text(s.distance_intervals), "instr.txt:13 2");
}

TEST_F(InstructionTest, DataFilesAreNamedAsWritten) {
  RunSettings s = read(
      "SPECIES TRAITS\ttraits.txt\nSPECIES TAXONOMY\ttax.txt\nINDIVIDUAL\tind.txt\n"
      "INTER-SPECIES DIVERGENCES\nSELECTION TESTS\tsel.txt\n");
  EXPECT_EQ(source_text(s.species_traits), "traits.txt");
  EXPECT_EQ(source_text(s.species_taxonomy), "tax.txt");
  EXPECT_EQ(source_text(s.individuals), "ind.txt");
  EXPECT_FALSE(s.species_divergences.given());  // nothing named: ignored
  EXPECT_EQ(source_text(s.selection_tests), "sel.txt");
  s = read("PHYLOGENETIC TREE\ttree.txt\nINTER-SPECIES TRAIT DISTANCES\tdist.txt\n");
  EXPECT_EQ(source_text(s.tree), "tree.txt");
  EXPECT_FALSE(dated_tree(s));
  EXPECT_EQ(source_text(s.trait_distances), "dist.txt");
}

TEST_F(InstructionTest, UnreadableInlineCountsAreReportedAndTheKeywordIgnored) {
  RunSettings s = read("SPECIES TRAITS\t3\nPLOT WEIGHTING\t1\n");
  EXPECT_FALSE(s.species_traits.given());
  EXPECT_EQ(s.plot_weighting, 1);
  s = read("SPECIES TAXONOMY\t30\n");
  EXPECT_FALSE(s.species_taxonomy.given());
  s = read("INDIVIDUAL\t12\n");
  EXPECT_FALSE(s.individuals.given());
  s = read("INDIVIDUAL\t12\t-1\n");
  EXPECT_FALSE(s.individuals.given());
  EXPECT_EQ(console_output(),
            "\n\nERROR: Species traits: cannot read the number of species or variables"
            "\n\nERROR: Species taxonomy: cannot read the number of species or taxonomic levels"
            "\n\nERROR: Can not read the number of individuals or of variables of the individual list"
            "\n\nERROR: Can not read the number of individuals or of variables of the individual list");
}

TEST_F(InstructionTest, CommunityDataOfTheLaterKeyword) {
  RunSettings s = read("SPECIES-PLOT MATRIX\tm.txt\nPLOT-ABUNDANCE-SPECIES TRIPLET\tt.txt\n");
  EXPECT_EQ(source_text(s.triplets), "t.txt");
  EXPECT_FALSE(s.species_plot_matrix.given());  // the later form replaces the earlier
  s = read("PLOT-ABUNDANCE-SPECIES TRIPLET\tt.txt\nSPECIES-PLOT MATRIX\t1\t1\n\tA\nsp\t1\n");
  EXPECT_EQ(source_text(s.species_plot_matrix), "instr.txt:2 1 1");
  EXPECT_FALSE(s.triplets.given());
  s = read("ULTRAMETRIC PHYLOGENETIC TREE\ta.txt\nPHYLOGENETIC TREE\tb.txt\n");
  EXPECT_EQ(source_text(s.tree), "b.txt");
  EXPECT_FALSE(dated_tree(s));
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
  const RunSettings s = read("PHYLOGENY RANDOMIZATION TESTS\ttests.txt\n");
  EXPECT_EQ(source_text(s.phylogeny_tests), "tests.txt");
  EXPECT_EQ(s.n_phylogeny_randomizations, 50);
  EXPECT_EQ(s.test_restriction[1], 7.5f);
  write_file("tests.txt", "1\tWITHIN AGE\t7.5\n");
  EXPECT_STOPS(read("PHYLOGENY RANDOMIZATION TESTS\ttests.txt\n"),
               "\nERROR: phylogeny randomization tests not found in file \"tests.txt\".\nNo line beginning with "
               "\"PHYLOGENY RANDOMIZATION TESTS\" was found. \nPress any key to stop the programm now.\n",
               1);
}

}  // namespace
}  // namespace quorvel::instructions
