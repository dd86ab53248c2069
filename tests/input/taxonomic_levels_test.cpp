#include "input/taxonomic_levels.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using testing::write_file;

class TaxonomicLevelsTest : public testing::WorkDirTest {};

TEST_F(TaxonomicLevelsTest, LevelNamesAndDivergencesFromTheSpeciesLevelUp) {
  write_file("instr.txt", "TAXONOMIC DIVERGENCES\t2\nSpecies\tGenus\n1\t2.5\n");
  const TaxonomicLevels levels = scan_taxonomic_divergences(DataSource{"instr.txt", 1, {2}});
  EXPECT_EQ(levels.n_levels, 1);
  EXPECT_EQ(levels.level_names[0], "Species");
  EXPECT_EQ(levels.level_names[1], "Genus");
  EXPECT_EQ(levels.level_names[2], "ALL");
  EXPECT_EQ(levels.level_divergences[0], 0.0f);
  EXPECT_EQ(levels.level_divergences[2], 2.5f);
  // No level: nothing more is read.
  EXPECT_EQ(scan_taxonomic_divergences(DataSource{"instr.txt", 1, {0}}).level_names.hi(), 0);
}

TEST_F(TaxonomicLevelsTest, FilesNeedTheirKeywordLineAndNumbers) {
  write_file("div.txt", "Species\tGenus\n1\t2\n");
  EXPECT_STOPS(scan_taxonomic_divergences(DataSource{"div.txt", 0, {}}),
               "\nERROR: taxonomic classification not found in file \"div.txt\".\nNo line beginning with "
               "\"TAXONOMIC DIVERGENCES\" was found. \nPress any key to stop the programm now.\n",
               1);
  write_file("instr.txt", "TAXONOMIC DIVERGENCES\t2\nSpecies\tGenus\n1\tfar\n");
  EXPECT_STOPS(scan_taxonomic_divergences(DataSource{"instr.txt", 1, {2}}),
               "\ncannot read float from far on line 3 from file instr.txt", 1);
  write_file("instr.txt", "TAXONOMIC DIVERGENCES\t2\nSpecies\tGenus\n");
  EXPECT_STOPS(
      scan_taxonomic_divergences(DataSource{"instr.txt", 1, {2}}),
      "\n\nERROR: in file instr.txt, \"TAXONOMIC DIVERGENCES\" must be followed by two lines: the 2 level names "
      "and their 2 divergences.\nPress any key to stop.",
      3);
}

}  // namespace
}  // namespace quorvel::input
