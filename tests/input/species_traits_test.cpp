#include "input/species_traits.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::write_file;

class SpeciesTraitList : public testing::WorkDirTest {
 protected:
  // The header of the habitat files: mass, #2 habitat, length.
  void SetUp() override {
    WorkDirTest::SetUp();
    names_ = core::name_table(0, 3);
    names_[0] = "Species";
    names_[1] = "mass";
    names_[2] = "habitat";
    names_[3] = "length";
    announced_ = core::ivector(0, 3);
    announced_[2] = 2;
  }

  // The header of a list of `n_lines` species and the three variables.
  SpeciesListHeader header(int n_lines, int n_variables = 3) const {
    SpeciesListHeader list;
    list.counts_read = true;
    list.n_species = n_lines;
    list.n_variables = n_variables;
    list.variable_names = names_;
    list.variable_categories = announced_;
    return list;
  }
  // Reads `file` of `n_lines` species, with the known species `species_`
  // (`with_species`) or defining the species.
  void read(const std::string& file, int n_lines, bool with_species = false, int n_variables = 3) {
    const SpeciesTraits list =
        read_species_traits(file, header(n_lines, n_variables), with_species ? &species_ : nullptr);
    if (!with_species) species_ = list.species_names;
    traits_ = list.values;
    categories_ = list.category_names;
    found_ = list.categories_found;
  }

  core::NameTable names_;
  core::IVector announced_;
  core::NameTable species_;
  core::FMatrix traits_;
  TraitCategoryNames categories_;
  core::IVector found_;
};

TEST_F(SpeciesTraitList, ReadsNumbersCategoriesAndEmptyCellsWithoutAMatrix) {
  read(data_path("input/traits/habitat.txt"), 4);
  EXPECT_EQ(found_[0], 4);
  EXPECT_EQ(found_[1], 0);
  EXPECT_EQ(found_[2], 2);
  EXPECT_EQ(species_[1], "Poa annua");
  EXPECT_EQ(species_[4], "Lolium perenne");
  // Labels wet, dry, wet, dry are numbered in order of first appearance.
  EXPECT_EQ(traits_[2][1], 1.0f);
  EXPECT_EQ(traits_[2][2], 2.0f);
  EXPECT_EQ(traits_[2][3], 1.0f);
  EXPECT_EQ(categories_[2][1], "wet");
  EXPECT_EQ(categories_[2][2], "dry");
  EXPECT_EQ(categories_[1].size(), 0);
  EXPECT_EQ(traits_[1][1], 1.5f);
  EXPECT_EQ(traits_[1][3], MISSING_VALUE_F);  // empty cell in the middle of a line
  EXPECT_EQ(traits_[3][2], MISSING_VALUE_F);  // empty last cell
  EXPECT_EQ(traits_[3][4], 40.0f);
  EXPECT_EQ(traits_[0][3], 3.0f);
}

TEST_F(SpeciesTraitList, ExtraCategoryStopsTheRun) {
  EXPECT_STOPS(read(data_path("input/traits/habitat_three_labels.txt"), 3),
               "\n\nERROR: Species traits, variable habitat: 3 categories found but only 2 announced"
               "\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraitList, MatrixSpeciesOrderRulesAndOtherSpeciesAreIgnored) {
  species_ = core::name_table(0, 2);
  species_[1] = "Lolium perenne";
  species_[2] = "Poa annua";
  read(data_path("input/traits/habitat.txt"), 4, true);
  EXPECT_EQ(traits_.col_hi(), 2);
  EXPECT_EQ(traits_[1][1], 4.0f);
  EXPECT_EQ(traits_[1][2], 1.5f);
  EXPECT_EQ(species_[1], "Lolium perenne");
  EXPECT_EQ(console_output(), "");
}

TEST_F(SpeciesTraitList, MissingSpeciesAndCategoryErrorsAreReportedTogether) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\nB\t1\ty\t2\nC\t1\tz\t2\n");
  species_ = core::name_table(0, 5);
  for (int s = 1; s <= 5; ++s) species_[s] = std::string(1, static_cast<char>('A' + s - 1));
  EXPECT_STOPS(read("t.txt", 3, true),
               "\n\nERROR: Species traits, variable habitat: 3 categories found but only 2 announced"
               "\n\nERROR: in species traits in file t.txt, 2 species from the species-plot matrix are missing: D, E"
               "\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraitList, FewerLinesThanAnnouncedWithoutAMatrix) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n\n");
  EXPECT_STOPS(read("t.txt", 3),
               "\n\nERROR: in species traits in file t.txt, 2 species are missing compared to what was announced"
               "\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraitList, MalformedCellsNameTheFileAndLine) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\nB\theavy\tx\t2\n");
  EXPECT_STOPS(read("t.txt", 2), "\ncannot read float from heavy\tx\t2 on line 3, column 2, from file t.txt", 1);
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\n");
  EXPECT_STOPS(read("t.txt", 1), "\ntab not found one column missing on line 2 from file t.txt", 1);
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1,5\tx\t2\n");
  EXPECT_STOPS(read("t.txt", 1),
               "\ncannot read a number from \"1,5\" on line 2, column 2, from file t.txt: the cell holds more than a "
               "number\nWrite decimal numbers with a point, not a comma: \"1.5\", not \"1,5\".",
               1);
}

// A blank line, or a name the old count did not take for a species (one
// beginning with "_" or "-"), once ended the list there: the species after it
// were dropped without a word.
TEST_F(SpeciesTraitList, EverySpeciesLineIsReadOrRefused) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n_B\t1\ty\t2\n-C\t1\tx\t2\n\n\n");
  read("t.txt", 3);
  EXPECT_EQ(species_[3], "-C");
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n\nC\t1\tx\t2\n");
  EXPECT_STOPS(read("t.txt", 3),
               "\n\nERROR: in species traits in file t.txt, line 3 is blank but more species lines follow it.\nPress "
               "any key to stop now",
               101);
  write_file("t.txt", "SPECIES TRAITS\t2\t3\nSpecies\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n\nC\t1\tx\t2\n");
  EXPECT_STOPS(read("t.txt", 2),
               "\n\nERROR: in species traits in file t.txt, line 4 is blank where a species line was expected.\nPress "
               "any key to stop now",
               101);
  // Counts the file cannot back are refused before anything is allocated.
  write_file("t.txt", "SPECIES TRAITS\t1\t888888888\nSpecies\tmass\nA\t1\n");
  EXPECT_STOPS(read("t.txt", 1, false, 888888888),
               "\n\nERROR: in species traits in file t.txt, the header line (line 2) names 1 variables; 888888888 were "
               "announced.\nPress any key to stop now",
               101);
  write_file("t.txt", "SPECIES TRAITS\t888888888\t1\nSpecies\tmass\nA\t1\n");
  EXPECT_STOPS(read("t.txt", 888888888, false, 1),
               "\n\nERROR: in species traits in file t.txt, 888888887 species are missing compared to what was "
               "announced\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraitList, StandardErrors) {
  species_ = core::name_table(0, 2);
  species_[1] = "A";
  species_[2] = "B";
  write_file("se.txt", "Species\tmass\thabitat\tlength\nZ\t9\t9\t9\nB\t0.5\twet\t\nA\t0.25\t\t2\n");
  const core::FMatrix se = read_species_se_traits("se.txt", header(3), species_, 2);
  EXPECT_EQ(se[1][1], 0.25f);
  EXPECT_EQ(se[2][1], MISSING_VALUE_F);  // empty before the categorical rule
  EXPECT_EQ(se[2][2], 0.0f);             // categorical variable
  EXPECT_EQ(se[3][2], MISSING_VALUE_F);
  EXPECT_EQ(se[3][1], 2.0f);
}

}  // namespace
}  // namespace quorvel::input
