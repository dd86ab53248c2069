#include "individuals/logic_test.hpp"

#include <gtest/gtest.h>

#include "individuals/pair_test_program.hpp"

#include "support/test_support.hpp"

namespace quorvel::individuals {
namespace {

using quorvel::testing::name_list;

// A small list of four individuals: variables Group, x, y, Taxon (fixed),
// Height (quantitative) and Sex (categories F, M); species variables
// Species (the species column) and Genus (categories Quercus, Acer).
class LogicTestFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    individual_names = core::name_table(0, 5);
    const char* names[] = {"Group", "x", "y", "Taxon", "Height", "Sex"};
    for (int j = 0; j <= 5; ++j) individual_names[j] = names[j];
    individual_categories = core::ivector(0, 5);
    individual_categories[0] = 4;
    individual_categories[3] = 2;
    individual_categories[5] = 2;
    individual_labels = core::Vector<core::NameTable>(0, 5);
    individual_labels[5] = name_list({"F", "M"});
    species_names = core::name_table(0, 1);
    species_names[0] = "Species";
    species_names[1] = "Genus";
    species_categories = core::ivector(0, 1);
    species_categories[0] = 2;
    species_categories[1] = 2;
    species_labels = core::Vector<core::NameTable>(0, 1);
    species_labels[0] = name_list({"oak", "maple"});
    species_labels[1] = name_list({"Quercus", "Acer"});
    individual = VariableSet{6, &individual_names, &individual_categories, &individual_labels};
    species = VariableSet{2, &species_names, &species_categories, &species_labels};

    // Individuals 1..4: Taxon 1 1 2 2, Height 1 3 2 5, Sex F M F M.
    values = core::matrix(0, 5, 0, 4);
    const float taxon[] = {0, 1, 1, 2, 2}, height[] = {0, 1, 3, 2, 5}, sex[] = {0, 1, 2, 1, 2};
    species_of = core::ivector(0, 4);
    for (int i = 1; i <= 4; ++i) {
      values(3, i) = taxon[i];
      values(4, i) = height[i];
      values(5, i) = sex[i];
      species_of[i] = static_cast<int>(taxon[i]);
    }
    species_values = core::matrix(0, 1, 0, 2);
    species_values(0, 1) = 1;
    species_values(0, 2) = 2;
    species_values(1, 1) = 1;  // oak: Quercus
    species_values(1, 2) = 2;  // maple: Acer
    data = LogicData{&values, &species_values, &species_of};
  }

  void compile(const std::string& text, int test_number) {
    parse_logic_test(text, table, 0, test_number, individual, species);
  }
  std::string describe(int test_number) { return describe_logic_test(table, 0, test_number, individual, species); }
  int eval(int i, int j) { return evaluate_logic_test(i, j, data, table, 0); }

  LogicTestTable table = logic_test_matrix(0, 0, 0, 101);
  core::NameTable individual_names, species_names;
  core::IVector individual_categories, species_categories;
  core::Vector<core::NameTable> individual_labels, species_labels;
  VariableSet individual, species;
  core::FMatrix values, species_values;
  core::IVector species_of;
  LogicData data;
};

TEST_F(LogicTestFixture, CompilesBaseTestIntoOneSubtest) {
  compile("[(Height>2)]", 0);
  ASSERT_EQ(subtest_count(table, 0), 1);
  EXPECT_EQ(table(0, 1).first_kind, kIndividualVariable);
  EXPECT_EQ(table(0, 1).first_value, 4.0f);
  EXPECT_EQ(table(0, 1).op, kGreater);
  EXPECT_EQ(table(0, 1).second_kind, kConstant);
  EXPECT_EQ(table(0, 1).second_value, 2.0f);
  EXPECT_EQ(describe(0), "{1}=[Height(ind) > 2.000000]");
  EXPECT_EQ(eval(1, 1), 0);
  EXPECT_EQ(eval(2, 2), 1);
}

TEST_F(LogicTestFixture, JoinsGroupsWithAndInClosingOrder) {
  compile("[(Sex(1)=F)AND(Sex(2)=M)]", 1);
  ASSERT_EQ(subtest_count(table, 0), 3);
  EXPECT_EQ(table(0, 2).first_kind, kIndividualVariable2);
  EXPECT_EQ(table(0, 3).first_kind, kSubtestResult);
  EXPECT_EQ(table(0, 3).op, kAnd);
  EXPECT_EQ(describe(1), "{1}=[Sex(ind1) = F] -> {2}=[Sex(ind2) = M] -> {3}=[{1} AND {2}]");
  EXPECT_EQ(eval(1, 2), 1);
  EXPECT_EQ(eval(2, 1), 0);
  EXPECT_EQ(eval(3, 4), 1);
}

TEST_F(LogicTestFixture, ReadsTwoCharacterOperatorsFirstAndIgnoresBlanks) {
  compile("[ ( Height >= 3 ) ]", 0);
  EXPECT_EQ(table(0, 1).op, kGreaterEqual);
  EXPECT_EQ(table(0, 1).second_value, 3.0f);
  compile("[Height!=3]", 0);
  EXPECT_EQ(table(0, 1).op, kNotEqual);
  EXPECT_EQ(eval(2, 2), 0);
  EXPECT_EQ(eval(1, 1), 1);
}

TEST_F(LogicTestFixture, ReadsSpeciesVariablesAndTheirCategories) {
  compile("[Genus=Acer]", 0);
  EXPECT_EQ(table(0, 1).first_kind, kSpeciesVariable);
  EXPECT_EQ(describe(0), "{1}=[Genus(sp) = Acer]");
  EXPECT_EQ(eval(3, 3), 1);
  EXPECT_EQ(eval(1, 1), 0);
  compile("[Height>Genus]", 0);  // a species variable as second term, without reference
  EXPECT_EQ(table(0, 1).second_kind, kSpeciesVariable);
  compile("[Species(1)=Species(2)]", 1);
  EXPECT_EQ(evaluate_logic_test(2, 2, data, table, 0, true), 1);
  EXPECT_EQ(evaluate_logic_test(1, 2, data, table, 0, true), 0);
}

TEST_F(LogicTestFixture, NegatesWithNot) {
  compile("[(Height(1)>Height(2))NOT(Sex(1)=Sex(2))]", 1);
  EXPECT_EQ(describe(1), "{1}=[Height(ind1) > Height(ind2)] -> {2}=[Sex(ind1) = Sex(ind2)] -> {3}=[{1} NOT {2}]");
  EXPECT_EQ(eval(1, 2), 1);
  EXPECT_EQ(eval(1, 3), 0);
  // A leading NOT negates the group that follows it.
  compile("[(NOT(Height>2))]", 0);
  ASSERT_EQ(subtest_count(table, 0), 2);
  EXPECT_EQ(eval(1, 1), 1);
  EXPECT_EQ(eval(2, 2), 0);
}

TEST_F(LogicTestFixture, LargestConstantsAreBoundsNeverIndices) {
  // 3e38, near the largest float, is a valid bound, never an index, for the
  // evaluator as for the program prepared for pair loops.
  compile("[(NOT(Height>3e38))OR(Genus=Acer)]", 0);
  const PairTestProgram program(table, 0, data, 4);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(eval(i, i), 1) << i;
    EXPECT_TRUE(program.matches(i, i)) << i;
  }
  compile("[Height>-.5E+1]", 0);
  EXPECT_EQ(table(0, 1).second_value, -5.0f);
}

TEST_F(LogicTestFixture, EmptyTestIsAlwaysTrue) {
  compile("[]", 0);
  EXPECT_EQ(subtest_count(table, 0), 0);
  EXPECT_EQ(describe(0), "{1}=1");
  EXPECT_EQ(eval(4, 4), 1);
}

TEST_F(LogicTestFixture, AcceptsNinetyNineParenthesesAndRefusesOneHundred) {
  const auto nested = [](int groups) {
    return "[" + std::string(static_cast<std::size_t>(groups - 1), '(') + "Height>2" +
           std::string(static_cast<std::size_t>(groups - 1), ')') + "]";
  };
  compile(nested(99), 0);
  EXPECT_EQ(subtest_count(table, 0), 1);
  EXPECT_STOPS(compile(nested(100), 0),
               "\nError in test " + nested(100) + ": there are 100 subtests whereas no more than 100 are allowed", 23);
}

TEST_F(LogicTestFixture, StopsOnMalformedTexts) {
  struct Case {
    std::string text;
    int test_number;
    std::string detail;
    int status;
  };
  const Case cases[] = {
      {"(Height>2)", 0, ": it must begin with [", 10},
      {"[Height>2", 0, ": it must end with ]", 11},
      {"[(Height>2]", 0, ": there are 2 '(' and 1 ')'", 22},
      {"[Weight>2]", 0, ": the first term in expression Weight>2 is not recognized", 20},
      {"[Height(1)>2]", 0,
       ": reference of individuals,i.e. (1) or (2), in test to define the base population must be removed", 13},
      {"[Height>2]", 1, ": reference of individuals,i.e. (1) or (2), in test for individual pairs must appear", 12},
      {"[Height]", 0, ": remove excessive parentheses in test definition", 25},
      {"[(Height>2)(Height<3)]", 0, ": the logic expression {1}{2}  is not recognized", 25},
      {"[Sex>F]", 0, ": variable Sex being qualitative, < or > logical expression cannot be used", 26},
      {"[Genus<Acer]", 0, ": variable Genus being qualitative, < or > logical expression cannot be used", 27},
      {"[Sex=Height]", 0, ": variable Sex is qualitative and cannot be compared with another variable", 28},
      {"[Genus(1)=Species(2)]", 1, ": variable Genus is qualitative and cannot be compared with another variable", 29},
      {"[Sex=X]", 0, ": the term X is not recognized as a category of variable Sex from the individual list", 20},
      {"[Genus=Pinus]", 0, ": the term Pinus is not recognized as a category of variable Genus from the species list",
       20},
      {"[Height>tall]", 0, ": the second term tall is not recognized", 30},
      {"[Height>2m]", 0, ": the second term 2m is not recognized", 30},
      {"[Height>-inf]", 0, ": the second term -inf is not recognized", 30},
      {"[Height>nan]", 0, ": the second term nan is not recognized", 30},
      {"[Height>0x10]", 0,
       ": cannot read a number from 0x10: hexadecimal numbers are not read; write the number in decimal notation", 30},
      {"[Height>0x1p4]", 0,
       ": cannot read a number from 0x1p4: hexadecimal numbers are not read; write the number in decimal notation", 30},
      {"[Height>1e-320]", 0,
       ": cannot read a number from 1e-320: the number is too close to 0 (below 1.17549e-38 in size, it cannot be kept "
       "to full precision); write 0 if it stands for 0",
       30},
      {"[Height>-1e-40]", 0,
       ": cannot read a number from -1e-40: the number is too close to 0 (below 1.17549e-38 in size, it cannot be kept "
       "to full precision); write 0 if it stands for 0",
       30},
      {"[Height>1e39]", 0, ": cannot read a number from 1e39: the number is out of range", 30},
      {"[(Height>2)AND Height]", 0, ": AND, OR and NOT logical expression can only be used between other tests", 31},
      {"[" + std::string(1001, ' ') + "]", 0, ":\nit contains 1003 characters whereas no more than 1001 are allowed",
       13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_STOPS(compile(c.text, c.test_number), "\nError in test " + c.text + c.detail, c.status);
  }
}

TEST_F(LogicTestFixture, EvaluatorRefusesIndividualVariablesAtSpeciesLevel) {
  compile("[Height(1)>Height(2)]", 1);
  const core::FatalError error =
      quorvel::testing::expect_fatal([&] { evaluate_logic_test(1, 2, data, table, 0, true); });
  EXPECT_EQ(error.status(), 123);
  EXPECT_EQ(std::string(error.what()), "");
}

}  // namespace
}  // namespace quorvel::individuals
