#include "input/individual_list.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace quorvel::input {
namespace {

using quorvel::testing::write_file;

class IndividualListTest : public quorvel::testing::WorkDirTest {
 protected:
  // Reads "list.txt" with the columns group, x, y, species, Height and a
  // categorical Sex announced with 2 categories.
  int read(int n, int expected_species) {
    IndividualListHeader header;
    header.counts_read = true;
    header.n_individuals = n;
    header.n_columns = 6;
    header.column_names = core::name_table(0, 5);
    const char* names[] = {"Group", "x", "y", "Taxon", "Height", "Sex"};
    for (int j = 0; j <= 5; ++j) header.column_names[j] = names[j];
    header.column_categories = core::ivector(0, 5);
    header.column_categories[5] = 2;
    header.n_species = expected_species;
    list = read_individual_list("list.txt", header);
    species_names = list.species_names;
    return species_names.hi();
  }

  core::NameTable species_names;
  IndividualList list;
};

constexpr const char* kHeader = "INDIVIDUALS\t4\t2\nGroup\tx\ty\tTaxon\tHeight\t#2 Sex\n";

TEST_F(IndividualListTest, NumbersGroupsSpeciesAndCategoriesByFirstAppearance) {
  write_file("list.txt", std::string("comment line\n") + kHeader +
                             "P1\t1.5\t2\toak\t3.25\tF\nP2\t0\t0\t0none\t1\tM\nP1\t4\t6\tred maple \t2\tF\n"
                             "P3\t4\t6\toak\t7\tX\n");
  EXPECT_EQ(read(4, 2), 2);
  const float groups[] = {0, 1, 2, 1, 3}, species[] = {0, 1, 0, 2, 1}, sex[] = {0, 1, 2, 1, 3};
  for (int t = 1; t <= 4; ++t) {
    EXPECT_EQ(list.values(0, t), groups[t]) << t;
    EXPECT_EQ(list.values(3, t), species[t]) << t;
    EXPECT_EQ(list.values(5, t), sex[t]) << t;
  }
  EXPECT_EQ(list.x[1], 1.5);
  EXPECT_EQ(list.values(2, 3), 6.0f);
  EXPECT_EQ(list.values(4, 1), 3.25f);
  EXPECT_EQ(species_names[2], "red maple");
  EXPECT_EQ(list.individuals_per_species[0], 1);
  EXPECT_EQ(list.individuals_per_species[1], 2);
  EXPECT_EQ(list.n_groups, 3);
  EXPECT_EQ(list.categories_found[5], 3);
  EXPECT_EQ(list.category_names[5][3], "X");
  EXPECT_NE(console_output().find("\n\nERROR: Individual list, variable Sex: 3 categories found but only 2 announced"),
            std::string::npos);
}

TEST_F(IndividualListTest, StopsOnMalformedLists) {
  struct Case {
    std::string rows;
    int n;
    std::string message;
    int status;
  };
  const Case cases[] = {
      // An empty x must not take the y value.
      {"P1\t\t2\toak\t1\tF\n", 1, "\ncannot read float from \t2\toak\t1\tF on line 3, column 2, from file list.txt", 1},
      {"P1\t1,5\t2\toak\t1\tF\n", 1,
       "\ncannot read a number from \"1,5\" on line 3, column 2, from file list.txt: the cell holds more than a "
       "number\nWrite decimal numbers with a point, not a comma: \"1.5\", not \"1,5\".",
       1},
      {"P1\t1\t2\toak\t3m\tF\n", 1,
       "\ncannot read a number from \"3m\" on line 3, column 5, from file list.txt: the cell holds more than a number",
       1},
      {"P1\t1\t2\toak\t\tF\n", 1, "\ntwo consecutive tabs on line 3 from file list.txt", 1},
      {"P1\t1\t2\toak\t1\tF\n", 2, "\nEnd of file encountered before END message on line 4 from file list.txt", 1},
      {"P1\t1\t2\toak\t1\tF\nP1\t1\t2\telm\t1\tF\n", 2,
       "\n\nERROR: Individual list \"list.txt\", line 4: species \"elm\" makes more species than the 1 counted when "
       "the instruction file was read.\nPress any key to stop.",
       344},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    write_file("list.txt", kHeader + c.rows);
    EXPECT_STOPS(read(c.n, 1), c.message, c.status);
  }
  write_file("list.txt", "Group\tx\n");
  EXPECT_STOPS(read(1, 1),
               "\nERROR: list of individuals not found in file \"list.txt\".\nNo line beginning with \"INDIVIDUALS\" "
               "was found. \nPress any key to stop the programm now.\n",
               1);
}

// ---- The header scan ----

TEST_F(IndividualListTest, ScanCountsColumnsAndDistinctSpecies) {
  std::string text = "PLOT WEIGHTING\t1\nINDIVIDUALS\t120\t3\ngroup\tx\ty\tspecies\t#2 sex\tdbh\theight\n";
  for (int i = 1; i <= 120; ++i) {
    text += "g\t" + std::to_string(i) + "\t0\tsp" + std::to_string(i % 7) + "\tM\t1\t2\n";
  }
  write_file("instr.txt", text);
  const IndividualListHeader header = scan_individual_list(DataSource{"instr.txt", 2, {120, 3}});
  EXPECT_TRUE(header.counts_read);
  EXPECT_EQ(header.n_individuals, 120);
  EXPECT_EQ(header.n_columns, 7);
  EXPECT_EQ(header.column_names[3], "species");
  EXPECT_EQ(header.column_names[4], "sex");
  EXPECT_EQ(header.column_categories[4], 2);
  EXPECT_EQ(header.column_categories[5], 0);
  EXPECT_EQ(header.column_names[6], "height");
  EXPECT_EQ(header.n_species, 7);
  EXPECT_EQ(header.column_categories[0], 120);
  EXPECT_EQ(header.column_categories[3], 7);
}

TEST_F(IndividualListTest, ScanNeedsTheKeywordLineAndEveryRow) {
  write_file("ind.txt", "INDIVIDUAL\t3\t0\ng\tx\ty\tspecies\n1\t0\t0\tPoa annua\n1\t0\t1\tPoa annua \n");
  EXPECT_STOPS(scan_individual_list(DataSource{"ind.txt", 0, {}}),
               "\n\nERROR: in the indivual list in file ind.txt, only 2 individuals found for 3 announced", 3);
  write_file("ind.txt", "INDIVIDUAL\t2\t0\ng\tx\ty\tspecies\n1\t0\t0\tPoa annua\n1\t0\t1\tPoa annua \n");
  EXPECT_EQ(scan_individual_list(DataSource{"ind.txt", 0, {}}).n_species, 1);
  write_file("ind.txt", "g\tx\ty\tspecies\n");
  EXPECT_FALSE(scan_individual_list(DataSource{"ind.txt", 0, {}}).counts_read);
  EXPECT_EQ(console_output(),
            "\n\nERROR: Can not read the number of individuals or of variables of the individual list");
  write_file("instr.txt", "PLOT WEIGHTING\t0\nINDIVIDUAL\t2\t0\ng\tx\ty\ts\n1\t0\t0\tsp1\n1\t0\n");
  EXPECT_STOPS(scan_individual_list(DataSource{"instr.txt", 2, {2, 0}}),
               "\ntab not found one column missing on line 5 from file instr.txt", 1);
}

}  // namespace
}  // namespace quorvel::input
