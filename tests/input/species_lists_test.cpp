#include "input/species_lists.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::write_file;

// The instruction file of the inline cases: the list after its keyword line.
DataSource inline_list(int keyword_line, int n_species, int n_columns) {
  return DataSource{"instr.txt", keyword_line, {n_species, n_columns}};
}

class SpeciesLists : public testing::WorkDirTest {};

TEST_F(SpeciesLists, InlineTraitListReadsTheHeaderLineAfterTheKeyword) {
  write_file("instr.txt",
             "PLOT WEIGHTING\t1\nSPECIES TRAITS\t3\t2\nSpecies\t#4 habitat\tmass\nA\t1\t2.5\nB\t2\t3\nC\t4\t1\n");
  const SpeciesListHeader list = scan_species_traits(inline_list(2, 3, 2));
  EXPECT_TRUE(list.counts_read);
  EXPECT_EQ(list.n_species, 3);
  EXPECT_EQ(list.n_variables, 2);
  EXPECT_EQ(list.variable_names[0], "Species");
  EXPECT_EQ(list.variable_names[1], "habitat");
  EXPECT_EQ(list.variable_categories[1], 4);
  EXPECT_EQ(list.variable_names[2], "mass");
  EXPECT_EQ(list.variable_categories[2], 0);
  EXPECT_EQ(list.variable_categories[0], 3);
  EXPECT_FALSE(list.unreadable_category);
}

TEST_F(SpeciesLists, TraitFileWithAndWithoutKeywordLine) {
  write_file("t1.txt", "from a field survey\nSPECIES TRAITS\t2\t1\nsp\theight\nA\t1\nB\t2\n");
  SpeciesListHeader list = scan_species_traits(DataSource{"t1.txt", 0, {}});
  EXPECT_EQ(list.n_species, 2);
  EXPECT_EQ(list.variable_names[1], "height");
  // Without it: variables up to the first empty header cell, species lines
  // to the end of the file (blank lines at its very end excepted): the
  // reader then refuses a line that is not a species line, naming it.
  write_file("t2.txt", "sp\th\tw\t\tnote\nA\t1\t2\nB\t2\t3\n9C\t1\t1\n-- end\nD\t1\t1\n\n \n");
  list = scan_species_traits(DataSource{"t2.txt", 0, {}});
  EXPECT_EQ(list.n_species, 5);
  EXPECT_EQ(list.n_variables, 2);
  EXPECT_EQ(list.variable_names[2], "w");
}

TEST_F(SpeciesLists, UnreadableNumbersAreReported) {
  write_file("tr.txt", "SPECIES TRAITS\nSpecies\tsize\n");
  EXPECT_FALSE(scan_species_traits(DataSource{"tr.txt", 0, {}}).counts_read);
  write_file("tax.txt", "SPECIES TAXONOMY\tmany\nSpecies\tGenus\n");
  EXPECT_FALSE(scan_species_taxonomy(DataSource{"tax.txt", 0, {}}).counts_read);
  write_file("tr.txt", "sp\t#\tsize\nA\t1\t2\n");
  const SpeciesListHeader list = scan_species_traits(DataSource{"tr.txt", 0, {}});
  EXPECT_TRUE(list.counts_read);
  EXPECT_TRUE(list.unreadable_category);
  EXPECT_EQ(console_output(),
            "\n\nERROR: Species traits: cannot read the number of species or traits"
            "\n\nERROR: Species taxonomy: cannot read the number of species or variables"
            "\n\nERROR: Species list: cannot read the number of categories of variable #");
}

TEST_F(SpeciesLists, TaxonomyNamesItsLevelsAndReadsThemAsVariables) {
  write_file("instr.txt", "SPECIES TAXONOMY\t4\t2\nsp\t#3 genus\tfamily\nA\tg1\tf1\nB\tg1\tf1\nC\tg2\tf1\nD\tg3\tf2\n");
  const TaxonomyHeader taxonomy = scan_species_taxonomy(inline_list(1, 4, 2));
  EXPECT_EQ(taxonomy.n_species, 4);
  EXPECT_EQ(taxonomy.n_columns, 3);
  EXPECT_EQ(taxonomy.level_names[0], "sp");
  EXPECT_EQ(taxonomy.level_names[1], "#3 genus");
  EXPECT_EQ(taxonomy.level_names[2], "family");
  EXPECT_EQ(taxonomy.level_sizes[0], 4);
  EXPECT_EQ(taxonomy.level_sizes[2], 4);
  EXPECT_FALSE(taxonomy.header_line_first);
  const SpeciesListHeader& levels = taxonomy.levels_as_variables;
  EXPECT_EQ(levels.variable_names[1], "genus");
  EXPECT_EQ(levels.variable_categories[1], 3);
  EXPECT_EQ(levels.variable_categories[2], 4);  // at most one taxon per species
  // Inline, the list cannot carry the levels without a trait list.
  EXPECT_STOPS(taxonomy_as_species_list(inline_list(1, 4, 2), taxonomy),
               "\n\nERROR: \"SPECIES TAXONOMY\" without \"SPECIES TRAITS\": the taxonomy list then gives the taxonomic "
               "levels and must be a file of its own that begins with its header line (not the case of instr.txt). "
               "Name the list with \"SPECIES TRAITS\" too.\nPress any key to stop.",
               3);
  write_file("tax.txt", "sp\tgenus\nA\tg1\nB\tg2\n");
  const DataSource file{"tax.txt", 0, {}};
  const TaxonomyHeader own_file = scan_species_taxonomy(file);
  EXPECT_TRUE(own_file.header_line_first);
  EXPECT_EQ(taxonomy_as_species_list(file, own_file).variable_names[1], "genus");
}

}  // namespace
}  // namespace quorvel::input
