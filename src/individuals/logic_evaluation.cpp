#include <cmath>

#include "core/errors.hpp"
#include "individuals/logic_test.hpp"

namespace quorvel::individuals {

namespace {

// A malformed record is a fault of the compiler, not of the user's data:
// the run ends without a message, with a status telling which check failed.
[[noreturn]] void malformed_record(int status) { throw core::FatalError(std::string(), status, false, false); }

float term_value(std::int32_t kind, float value, int first, int second, const LogicData& data, const int* results,
                 int k, bool species_level, bool is_first_term) {
  const int v = term_index(value);
  switch (kind) {
    case kConstant:
      return value;
    case kSubtestResult:
      if (v < 1 || v >= k) malformed_record(2);
      return static_cast<float>(results[v]);
    case kIndividualVariable:
      if (species_level) malformed_record(is_first_term ? 123 : 125);
      return (*data.individual_values)(v, first);
    case kIndividualVariable2:
      if (species_level) malformed_record(is_first_term ? 124 : 126);
      return (*data.individual_values)(v, second);
    case kSpeciesVariable:
      return (*data.species_values)(v, species_level ? first : (*data.species_of)[first]);
    case kSpeciesVariable2:
      return (*data.species_values)(v, species_level ? second : (*data.species_of)[second]);
    default:
      malformed_record(is_first_term ? 3 : 4);
  }
}

}  // namespace

int evaluate_logic_test(int first, int second, const LogicData& data, const LogicTestTable& table, int row,
                        bool species_level) {
  const int n = subtest_count(table, row);
  if (n == 0) return 1;
  int results[kMaxSubtests + 1];
  for (int k = 1; k <= n; ++k) {
    const LogicSubtest& record = table(row, k);
    // NOT reads only its second term.
    const float a = record.op == kNot ? 0.0f
                                      : term_value(record.first_kind, record.first_value, first, second, data, results,
                                                   k, species_level, true);
    const float b =
        term_value(record.second_kind, record.second_value, first, second, data, results, k, species_level, false);
    if (record.op < kEqual || record.op > kNot) malformed_record(5);
    const bool result = apply_logic_operator(record.op, a, b);
    results[k] = result ? 1 : 0;
  }
  return results[n];
}

}  // namespace quorvel::individuals
