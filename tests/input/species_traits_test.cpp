#include "input/species_traits.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::data_path;
using testing::write_file;

class SpeciesTraits : public testing::WorkDirTest {
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

  core::NameTable names_;
  core::IVector announced_;
  core::NameTable species_;
  core::FMatrix traits_;
  TraitCategoryNames categories_;
};

TEST_F(SpeciesTraits, ReadsNumbersCategoriesAndEmptyCellsWithoutAMatrix) {
  const core::IVector found = read_species_traits(data_path("input/traits/habitat.txt"), 4, 3, 0, names_, announced_,
                                                  species_, traits_, categories_);
  EXPECT_EQ(found[0], 4);
  EXPECT_EQ(found[1], 0);
  EXPECT_EQ(found[2], 2);
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

TEST_F(SpeciesTraits, ExtraCategoryIsNumberedThenStopsTheRun) {
  const std::string file = data_path("input/traits/habitat_three_labels.txt");
  EXPECT_STOPS(read_species_traits(file, 3, 3, 0, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: Species traits, variable habitat: 3 categories found but only 2 announced"
               "\nPress any key to stop now",
               101);
  EXPECT_EQ(traits_[2][3], 3.0f);
  EXPECT_EQ(categories_[2][3], "mud");
}

TEST_F(SpeciesTraits, MatrixSpeciesOrderRulesAndOtherSpeciesAreIgnored) {
  species_ = core::name_table(0, 2);
  species_[1] = "Lolium perenne";
  species_[2] = "Poa annua";
  read_species_traits(data_path("input/traits/habitat.txt"), 4, 3, 2, names_, announced_, species_, traits_,
                      categories_);
  EXPECT_EQ(traits_.col_hi(), 2);
  EXPECT_EQ(traits_[1][1], 4.0f);
  EXPECT_EQ(traits_[1][2], 1.5f);
  EXPECT_EQ(species_[1], "Lolium perenne");
  EXPECT_EQ(console_output(), "");
}

TEST_F(SpeciesTraits, MissingSpeciesAndCategoryErrorsAreReportedTogether) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\nB\t1\ty\t2\nC\t1\tz\t2\n");
  species_ = core::name_table(0, 5);
  for (int s = 1; s <= 5; ++s) species_[s] = std::string(1, static_cast<char>('A' + s - 1));
  EXPECT_STOPS(read_species_traits("t.txt", 3, 3, 5, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: Species traits, variable habitat: 3 categories found but only 2 announced"
               "\n\nERROR: in species traits in file t.txt, 2 species from the species-plot matrix are missing: D, E"
               "\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraits, FewerLinesThanAnnouncedWithoutAMatrix) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n\n");
  EXPECT_STOPS(read_species_traits("t.txt", 3, 3, 0, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: in species traits in file t.txt, 2 species are missing compared to what was announced"
               "\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraits, MalformedCellsNameTheFileAndLine) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\nB\theavy\tx\t2\n");
  EXPECT_STOPS(read_species_traits("t.txt", 2, 3, 0, names_, announced_, species_, traits_, categories_),
               "\ncannot read float from heavy\tx\t2 on line 3, column 2, from file t.txt", 1);
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\n");
  EXPECT_STOPS(read_species_traits("t.txt", 1, 3, 0, names_, announced_, species_, traits_, categories_),
               "\ntab not found one column missing on line 2 from file t.txt", 1);
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1,5\tx\t2\n");
  EXPECT_STOPS(read_species_traits("t.txt", 1, 3, 0, names_, announced_, species_, traits_, categories_),
               "\ncannot read a number from \"1,5\" on line 2, column 2, from file t.txt: the cell holds more than a "
               "number\nWrite decimal numbers with a point, not a comma: \"1.5\", not \"1,5\".",
               1);
}

// A blank line, or a name the old count did not take for a species (one
// beginning with "_" or "-"), once ended the list there: the species after it
// were dropped without a word.
TEST_F(SpeciesTraits, EverySpeciesLineIsReadOrRefused) {
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n_B\t1\ty\t2\n-C\t1\tx\t2\n\n\n");
  read_species_traits("t.txt", 3, 3, 0, names_, announced_, species_, traits_, categories_);
  EXPECT_EQ(species_[3], "-C");
  write_file("t.txt", "Species\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n\nC\t1\tx\t2\n");
  EXPECT_STOPS(read_species_traits("t.txt", 3, 3, 0, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: in species traits in file t.txt, line 3 is blank but more species lines follow it.\nPress "
               "any key to stop now",
               101);
  write_file("t.txt", "SPECIES TRAITS\t2\t3\nSpecies\tmass\t#2 habitat\tlength\nA\t1\tx\t2\n\nC\t1\tx\t2\n");
  EXPECT_STOPS(read_species_traits("t.txt", 2, 3, 0, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: in species traits in file t.txt, line 4 is blank where a species line was expected.\nPress "
               "any key to stop now",
               101);
  // Counts the file cannot back are refused before anything is allocated.
  write_file("t.txt", "SPECIES TRAITS\t1\t888888888\nSpecies\tmass\nA\t1\n");
  EXPECT_STOPS(read_species_traits("t.txt", 1, 888888888, 0, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: in species traits in file t.txt, the header line (line 2) names 1 variables; 888888888 were "
               "announced.\nPress any key to stop now",
               101);
  write_file("t.txt", "SPECIES TRAITS\t888888888\t1\nSpecies\tmass\nA\t1\n");
  EXPECT_STOPS(read_species_traits("t.txt", 888888888, 1, 0, names_, announced_, species_, traits_, categories_),
               "\n\nERROR: in species traits in file t.txt, 888888887 species are missing compared to what was "
               "announced\nPress any key to stop now",
               101);
}

TEST_F(SpeciesTraits, StandardErrors) {
  species_ = core::name_table(0, 2);
  species_[1] = "A";
  species_[2] = "B";
  write_file("se.txt", "Species\tmass\thabitat\tlength\nZ\t9\t9\t9\nB\t0.5\twet\t\nA\t0.25\t\t2\n");
  core::FMatrix se = core::matrix(0, 3, 0, 2);
  read_species_se_traits("se.txt", 3, 2, 3, announced_, se, species_);
  EXPECT_EQ(se[1][1], 0.25f);
  EXPECT_EQ(se[2][1], MISSING_VALUE_F);  // empty before the categorical rule
  EXPECT_EQ(se[2][2], 0.0f);             // categorical variable
  EXPECT_EQ(se[3][2], MISSING_VALUE_F);
  EXPECT_EQ(se[3][1], 2.0f);
}

}  // namespace
}  // namespace quorvel::input
