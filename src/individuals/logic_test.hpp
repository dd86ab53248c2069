#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "core/arrays.hpp"

namespace quorvel::individuals {

/// Kinds of the terms of a subtest.
enum TermKind : std::int32_t {
  kConstant = 1,             ///< a number, or a category number
  kSubtestResult = 2,        ///< the result of an earlier subtest {k}
  kIndividualVariable = 3,   ///< individual-list variable of the individual (test 0) or of individual 1
  kSpeciesVariable = 4,      ///< species-list variable of (the first) individual's species
  kIndividualVariable2 = 5,  ///< individual-list variable of individual 2
  kSpeciesVariable2 = 6,     ///< species-list variable of individual 2's species
};

/// Operators of a subtest, numbered as in the compiled tables.
enum LogicOperator : std::int32_t {
  kEqual = 1,
  kNotEqual,
  kGreaterEqual,
  kLessEqual,
  kGreater,
  kLess,
  kAnd,
  kOr,
  kNot
};

/// Index held by a term (a variable or subtest number); 0 for a constant too
/// large (or not finite) to be an index, which no valid record holds.
inline int term_index(float value) { return std::fabs(value) < 2147483520.0f ? static_cast<int>(value) : 0; }

/// Value of one operator on the values of its two terms. Comparisons are
/// made in single precision, as the variables are stored; NOT reads only its
/// second term. An operator outside the table gives false.
inline bool apply_logic_operator(std::int32_t op, float a, float b) {
  switch (op) {
    case kEqual:
      return a == b;
    case kNotEqual:
      return a != b;
    case kGreaterEqual:
      return a >= b;
    case kLessEqual:
      return a <= b;
    case kGreater:
      return a > b;
    case kLess:
      return a < b;
    case kAnd:
      return a != 0 && b != 0;
    case kOr:
      return a != 0 || b != 0;
    case kNot:
      return b == 0;
    default:
      return false;
  }
}

/// One compiled subtest: two terms (kind and value: a constant, a subtest
/// number or a variable number) joined by an operator. `result` is kept for
/// the layout of the tables; the evaluator keeps results in its own storage
/// so that one table may be evaluated by several threads at once.
struct LogicSubtest {
  std::int32_t first_kind = 0;
  float first_value = 0;
  std::int32_t second_kind = 0;
  float second_value = 0;
  std::int32_t op = 0;
  std::int32_t result = 0;
};

/// Compiled tests: row t holds test t; record 0's `op` holds the number of
/// subtests N, records 1..N the subtests.
using LogicTestTable = core::Matrix<LogicSubtest>;

/// Most characters of a test text, and most subtests (exclusive) of a test.
inline constexpr int kMaxTestLength = 1001;
inline constexpr int kMaxSubtests = 100;

/// A table of compiled tests over rows row_lo..row_hi and records
/// col_lo..col_hi (the run uses records 0..101), every count 0.
LogicTestTable logic_test_matrix(int row_lo, int row_hi, int col_lo, int col_hi);

/// The variables a test may name, numbered from 0 in list order.
struct VariableSet {
  int count = 0;                                                  ///< variables 0..count-1
  const core::NameTable* names = nullptr;                         ///< [0..count-1]
  const core::IVector* categories = nullptr;                      ///< [0..count-1]: 0 = quantitative
  const core::Vector<core::NameTable>* category_names = nullptr;  ///< [0..count-1]: labels [1..k]
};

/// Compiles `text` into row `row` of `table`. `test_number` 0 marks the
/// base-population test (variables without reference); any other number a
/// pair test (every variable followed by (1) or (2)). Individual variables 0
/// to 3 are the fixed columns of the individual list; a qualitative variable
/// numbered 4 or above, or of the species list, is compared with category
/// names. A malformed text stops the run with its message and status (10 to
/// 31) after a key press.
void parse_logic_test(const std::string& text, LogicTestTable& table, int row, int test_number,
                      const VariableSet& individual_variables, const VariableSet& species_variables);

/// Number of subtests of row `row`.
inline int subtest_count(const LogicTestTable& table, int row) { return table(row, 0).op; }

/// The data a test reads: individual variables [0..C-1][1..n] (column 3 the
/// species), species variables [0..V][0..S] and the species of each individual.
struct LogicData {
  const core::FMatrix* individual_values = nullptr;
  const core::FMatrix* species_values = nullptr;
  const core::IVector* species_of = nullptr;
};

/// Value (1 or 0) of test `row` for the pair (first, second), or for one
/// individual when both are the same (test 0). With `species_level` the two
/// arguments are species numbers and only species variables may be read.
/// A test with no subtest is true. A malformed record ends the run without
/// message (status 2 to 5, 123 to 126).
int evaluate_logic_test(int first, int second, const LogicData& data, const LogicTestTable& table, int row,
                        bool species_level = false);

/// The interpretation of compiled test `row` ("{1}=[Sex(ind1) = F] -> ..."),
/// "{1}=1" for a test with no subtest.
std::string describe_logic_test(const LogicTestTable& table, int row, int test_number,
                                const VariableSet& individual_variables, const VariableSet& species_variables);

}  // namespace quorvel::individuals
