#pragma once

#include <vector>

#include "individuals/logic_test.hpp"

namespace quorvel::individuals {

/// A compiled selection test prepared for the loops over pairs of
/// individuals: every variable term reads one array indexed by individual
/// (species variables are spread over the individuals once), so that a pair
/// is tested without lookups through the species or allocation. Gives the
/// same value as evaluate_logic_test; safe to share between threads.
class PairTestProgram {
 public:
  /// Prepares test `row` of `table` for individuals 1..n_individuals of `data`.
  /// A malformed record ends the run as evaluate_logic_test does.
  PairTestProgram(const LogicTestTable& table, int row, const LogicData& data, int n_individuals);
  // Terms point into the program's own storage: moved, never copied.
  PairTestProgram(const PairTestProgram&) = delete;
  PairTestProgram& operator=(const PairTestProgram&) = delete;
  PairTestProgram(PairTestProgram&&) = default;
  PairTestProgram& operator=(PairTestProgram&&) = default;

  /// Value of the test for the pair (first, second) (test 0: first = second).
  bool matches(int first, int second) const {
    if (steps_.empty()) return true;
    int results[kMaxSubtests + 1];
    int k = 0;
    for (const Step& step : steps_) {
      ++k;
      const float a = value(step.a, first, second, results);
      const float b = value(step.b, first, second, results);
      const bool result = apply_logic_operator(step.op, a, b);
      results[k] = result;
    }
    return results[k] != 0;
  }

 private:
  struct Term {
    const float* values = nullptr;  // per individual, or null for a constant / subtest
    bool of_second = false;         // read at the second individual of the pair
    int subtest = 0;                // > 0: result of that subtest
    float constant = 0;
  };
  struct Step {
    Term a, b;
    int op = 0;
  };

  static float value(const Term& term, int first, int second, const int* results) {
    if (term.values) return term.values[term.of_second ? second : first];
    if (term.subtest > 0) return static_cast<float>(results[term.subtest]);
    return term.constant;
  }

  Term make_term(std::int32_t kind, float value, int k, bool is_first, const LogicData& data, int n_individuals);

  std::vector<Step> steps_;
  std::vector<std::vector<float>> columns_;  // species variables spread over the individuals
};

}  // namespace quorvel::individuals
