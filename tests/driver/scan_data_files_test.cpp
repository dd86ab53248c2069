// The scans of the data files a run names, and the checks that need what
// they learn. Counts announced on keyword lines are promises about the data
// that follow: they are checked against the lines and cells the source holds
// before any table is sized from them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "load_data_fixture.hpp"

namespace quorvel::driver {
namespace {

using testing::write_file;

struct RefusedCase {
  const char* text;
  const char* message;
};

TEST_F(LoadData, AnnouncedCountsMustFitTheDataThatFollow) {
  write_file("traits.txt", "SPECIES TRAITS\t5\t2\nsp\tsize\tmass\nA\t1\t2\n");
  write_file("dist.txt", "INTER-SPECIES TRAIT DISTANCES\t1\t40\nsp1\tsp2\td1\nA\tB\t1\n");
  const RefusedCase cases[] = {
      {"INDIVIDUAL\t0\t99999999\ngroup\tx\ty\tspecies\n",
       "\n\nERROR: \"INDIVIDUAL\" announces 99999999 variables, but line 2 of instr.txt holds only 0."},
      {"SPECIES TRAITS\t3 888888888\nsp\tsize\nA\t1\nB\t2\nC\t3\n",
       "\n\nERROR: \"SPECIES TRAITS\" announces 888888888 variables, but line 2 of instr.txt holds only 1."},
      {"SPECIES TRAITS\ttraits.txt\n",
       "\n\nERROR: \"SPECIES TRAITS\" announces 5 species, but only 1 lines follow line 2 of traits.txt."},
      {"SPECIES TAXONOMY\t2147483647\t1\nsp\tgenus\nA\tg\n",
       "\n\nERROR: \"SPECIES TAXONOMY\" announces 2147483647 species, but only 1 lines follow line 2 of instr.txt."},
      {"SPECIES-PLOT MATRIX\t10000\t10000\n\tp1\tp2\nA\t1\t0\n",
       "\n\nERROR: \"SPECIES-PLOT MATRIX\" announces 10000 species, but only 1 lines follow line 2 of instr.txt."},
      {"SPECIES-PLOT MATRIX\t1\t10000\n\tp1\tp2\nA\t1\t0\n",
       "\n\nERROR: \"SPECIES-PLOT MATRIX\" announces 10000 plots, but line 2 of instr.txt holds only 2."},
      {"PLOT LIST\t500\t2\t0\nA\t0\t0\n",
       "\n\nERROR: \"PLOT LIST\" announces 500 plots, but only 1 lines follow line 1 of instr.txt."},
      {"PLOT LIST\t1\t3\t0\nA\t0\t0\t0\n", "\n\nERROR: \"PLOT LIST\" announces 3 coordinates: give 0 or 2 (x and y)."},
      {"TAXONOMIC DIVERGENCES\t400000000\nSpecies\tGenus\n1\t2\n",
       "\n\nERROR: \"TAXONOMIC DIVERGENCES\" announces 400000000 levels, but line 2 of instr.txt holds only 2."},
      {"INTER-SPECIES DIVERGENCES\t30000\n\tA\nA\t0\n",
       "\n\nERROR: \"INTER-SPECIES DIVERGENCES\" announces 30000 species, but only 2 lines follow line 1 of "
       "instr.txt."},
      {"INTER-SPECIES TRAIT DISTANCES\tdist.txt\n",
       "\n\nERROR: \"INTER-SPECIES TRAIT DISTANCES\" announces 40 distance variables, but line 2 of dist.txt holds "
       "only 1."},
      // A test line per test follows (the definitions are read with the instructions).
      {"PHYLOGENY RANDOMIZATION TESTS\t3\t99\n1\n",
       "\n\nERROR: \"PHYLOGENY RANDOMIZATION TESTS\" announces 3 test lines, but only 1 lines follow line 1 of "
       "instr.txt."},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_STOPS(scan(c.text), std::string(c.message) + "\nPress any key to stop.", core::kStoppedStatus);
  }
}

// A number of a data file's keyword line is the whole of its field.
TEST_F(LoadData, DataFileKeywordNumbersFillTheirField) {
  write_file("tax.txt", "TAXONOMIC DIVERGENCES\t2 levels\nSpecies\tGenus\n1\t2\n");
  write_file("tree.txt", "ULTRAMETRIC PHYLOGENETIC TREE\t3\t#\n((A:1,B:1):1,C:2);\n");
  const std::string format =
      "\n\nERROR: on line 1 of %s, \"%s\" is followed by \"%s\": write the whole number alone after the keyword, "
      "without unit, note or decimals.\nPress any key to stop.";
  EXPECT_STOPS(scan("TAXONOMIC DIVERGENCES\ttax.txt\n"),
               core::format(format.c_str(), "tax.txt", "TAXONOMIC DIVERGENCES", "2 levels"), 3);
  EXPECT_STOPS(scan("ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\n"),
               core::format(format.c_str(), "tree.txt", "ULTRAMETRIC PHYLOGENETIC TREE", "3\t#"), 3);
  write_file("div.txt", "notes\nDIVERGENCE INTERVALS\t0\n");
  EXPECT_STOPS(scan("DIVERGENCE INTERVALS\tdiv.txt\n"),
               "\n\nERROR: \"DIVERGENCE INTERVALS\" in file div.txt announces 0 intervals: at least 1 is needed (the "
               "intervals are given by their upper limits, the first being 0).\nPress any key to stop.",
               3);
  write_file("div.txt", "DIVERGENCE INTERVALS\t2\n0\t10\n");
  scan("DIVERGENCE INTERVALS\tdiv.txt\n");
}

TEST_F(LoadData, SpeciesListsMustHoldSpeciesAndNamedLevels) {
  write_file("traits.txt", "sp\tsize\n");
  write_file("tax.txt", "Species\t \nA\tg\n");
  const RefusedCase cases[] = {
      {"SPECIES TRAITS\t0\t2\nsp\tsize\tmass\n",
       "\n\nERROR: \"SPECIES TRAITS\": the species list in instr.txt holds no species."},
      {"SPECIES TRAITS\ttraits.txt\n",
       "\n\nERROR: \"SPECIES TRAITS\": the species list in traits.txt holds no species."},
      {"SPECIES TAXONOMY\ttax.txt\n",
       "\n\nERROR: \"SPECIES TAXONOMY\": taxonomic level 1 has no name in the header line (line 1 of tax.txt)."},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_STOPS(scan(c.text), std::string(c.message) + "\nPress any key to stop.", core::kStoppedStatus);
  }
}

TEST_F(LoadData, TaxonomyWithoutTraitListBecomesTheSpeciesList) {
  write_file("tax.txt", "Species\t#2 Genus\tFamily\nA\tg1\tf1\nB\tg2\tf1\nC\tg2\tf1\n");
  const std::string divergences = "TAXONOMIC DIVERGENCES\t3\nSpecies\tGenus\tFamily\n1\t2\t3\n";
  DataHeaders headers = scan("SPECIES TAXONOMY\ttax.txt\n" + divergences);
  EXPECT_TRUE(headers.taxonomy_as_species_list);
  EXPECT_FALSE(headers.species_traits.counts_read);  // no trait analyses
  const input::SpeciesListHeader& list = headers.species_list();
  EXPECT_EQ(list.n_variables, 2);
  EXPECT_EQ(list.variable_names[0], "Species");
  EXPECT_EQ(list.variable_names[1], "Genus");
  EXPECT_EQ(list.variable_categories[1], 2);
  EXPECT_EQ(list.variable_names[2], "Family");
  EXPECT_EQ(list.variable_categories[2], 3);  // at most one taxon per species
  EXPECT_EQ(derive_codes(headers).phylogeny_kind, kTaxonomy);
  // With a trait list, that list carries the levels.
  write_file("traits.txt", "Species\t#2 Genus\t#1 Family\nA\tg1\tf1\nB\tg2\tf1\nC\tg2\tf1\n");
  headers = scan("SPECIES TRAITS\ttraits.txt\nSPECIES TAXONOMY\ttax.txt\n" + divergences);
  EXPECT_FALSE(headers.taxonomy_as_species_list);
  EXPECT_EQ(headers.species_list().variable_categories[2], 1);
  EXPECT_STOPS(scan("SPECIES TAXONOMY\t1\t1\nSpecies\tGenus\nA\tg\n" + divergences),
               "\n\nERROR: \"SPECIES TAXONOMY\" without \"SPECIES TRAITS\": the taxonomy list then gives the taxonomic "
               "levels and must be a file of its own that begins with its header line (not the case of instr.txt). "
               "Name the list with \"SPECIES TRAITS\" too.\nPress any key to stop.",
               core::kStoppedStatus);
}

TEST_F(LoadData, AnUnreadableCategoryCountStopsTheRunAfterTheScans) {
  EXPECT_STOPS(scan("SPECIES TRAITS\t2\t2\nsp\t#\tsize\nA\t1\t2\nB\t2\t3\nPLOT WEIGHTING\t2\n"),
               "\nPress any key to stop.", 3);
  EXPECT_NE(console_output().find("\n\nERROR: Species list: cannot read the number of categories of variable #"),
            std::string::npos);
}

TEST_F(LoadData, UnreadableListCountsOfAFileAreReportedAndTheListIgnored) {
  write_file("tax.txt", "SPECIES TAXONOMY\tmany\nSpecies\tGenus\n");
  write_file("tr.txt", "SPECIES TRAITS\nSpecies\tsize\n");
  write_file("ind.txt", "INDIVIDUALS\t3\nGroup\tx\ty\tTaxon\n");
  const DataHeaders headers =
      scan("SPECIES TAXONOMY\ttax.txt\nSPECIES TRAITS\ttr.txt\nINDIVIDUALS\tind.txt\nMAIN RESULT FILE\tr.txt\n");
  EXPECT_FALSE(headers.taxonomy.counts_read);
  EXPECT_FALSE(headers.species_traits.counts_read);
  EXPECT_FALSE(headers.individuals.counts_read);
  EXPECT_EQ(derive_codes(headers).n_species, 0);
  EXPECT_EQ(console_output(),
            "\n\nERROR: Can not read the number of individuals or of variables of the individual list"
            "\n\nERROR: Species traits: cannot read the number of species or traits"
            "\n\nERROR: Species taxonomy: cannot read the number of species or variables");
}

// Data named must give something to analyse.
TEST_F(LoadData, NamedDataThatGiveNothingStopTheRun) {
  write_file("tree.txt", "no tree here\n");
  write_file("m.txt", "Species A B\nsp1 1 0\n");
  EXPECT_STOPS(scan("ULTRAMETRIC PHYLOGENETIC TREE\ttree.txt\n"),
               "\n\nERROR: no tree could be read from \"tree.txt\": the tree must be one line of Newick text with "
               "branch lengths, ending with \";\".\nPress any key to stop.",
               3);
  EXPECT_STOPS(scan("SPECIES-PLOT MATRIX\tm.txt\n"),
               "\n\nERROR: no species or no plots could be read from \"m.txt\": check that its columns are separated "
               "by tabulations.\nPress any key to stop.",
               3);
}

TEST_F(LoadData, TheDataSetsOfTheDriverCasesAreScanned) {
  for (const auto& entry : std::filesystem::directory_iterator(testing::data_path("driver/dune"))) {
    std::filesystem::copy_file(entry.path(), entry.path().filename());
  }
  settings_ = instructions::read_instruction_file("instr.txt");
  DataHeaders h = scan_data_files(settings_);
  EXPECT_EQ(h.community.n_species, 30);
  EXPECT_EQ(h.community.n_plots, 20);
  EXPECT_EQ(h.plot_list.n_listed, 20);
  EXPECT_EQ(h.plot_list.n_coordinates, 0);
  EXPECT_EQ(h.plot_list.n_categories, -1);
  EXPECT_EQ(h.signed_tree_tips(), 30);
  EXPECT_EQ(h.tree.text.substr(0, 12), "((Bracruta:2");
  EXPECT_EQ(h.tree.text.back(), ';');

  settings_ = instructions::read_instruction_file("instr_taxonomy.txt");
  h = scan_data_files(settings_);
  EXPECT_EQ(h.species_traits.n_species, 30);
  EXPECT_EQ(h.species_traits.n_variables, 5);
  EXPECT_EQ(h.species_traits.variable_names[1], "Genus");
  EXPECT_EQ(h.species_traits.variable_categories[1], 27);
  EXPECT_EQ(h.species_traits.variable_names[5], "Subclass");
  EXPECT_EQ(h.species_traits.variable_categories[5], 2);
  EXPECT_EQ(h.species_traits.variable_categories[0], 30);
  EXPECT_EQ(h.taxonomy.n_species, 30);
  EXPECT_EQ(h.taxonomy.n_columns, 6);
  EXPECT_EQ(h.taxonomy.level_names[1], "#27 Genus");
  EXPECT_EQ(h.taxonomy.level_sizes[5], 30);
  EXPECT_EQ(h.taxonomic_levels.n_levels, 2);
  EXPECT_EQ(h.taxonomic_levels.level_names[0], "Species");
  EXPECT_EQ(h.taxonomic_levels.level_names[2], "Family");
  EXPECT_EQ(h.taxonomic_levels.level_names[3], "ALL");
  EXPECT_FLOAT_EQ(h.taxonomic_levels.level_divergences[3], 3.0f);
  EXPECT_EQ(h.taxonomic_levels.level_divergences[0], 0.0f);

  settings_ = instructions::read_instruction_file("instr_divergences.txt");
  h = scan_data_files(settings_);
  EXPECT_EQ(h.n_divergence_species, 30);
  EXPECT_FALSE(h.species_traits.counts_read);
}

}  // namespace
}  // namespace quorvel::driver
