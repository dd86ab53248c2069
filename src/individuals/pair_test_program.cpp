#include "individuals/pair_test_program.hpp"

#include "core/errors.hpp"

namespace quorvel::individuals {

namespace {

[[noreturn]] void malformed_record(int status) { throw core::FatalError(std::string(), status, false, false); }

}  // namespace

PairTestProgram::PairTestProgram(const LogicTestTable& table, int row, const LogicData& data, int n_individuals) {
  const int n = subtest_count(table, row);
  // Columns are kept in a vector that must not move once terms point into it.
  columns_.reserve(static_cast<std::size_t>(2 * n));
  for (int k = 1; k <= n; ++k) {
    const LogicSubtest& record = table(row, k);
    if (record.op < kEqual || record.op > kNot) malformed_record(5);
    Step step;
    step.op = record.op;
    if (record.op != kNot) step.a = make_term(record.first_kind, record.first_value, k, true, data, n_individuals);
    step.b = make_term(record.second_kind, record.second_value, k, false, data, n_individuals);
    steps_.push_back(step);
  }
}

PairTestProgram::Term PairTestProgram::make_term(std::int32_t kind, float value, int k, bool is_first,
                                                 const LogicData& data, int n_individuals) {
  Term term;
  const int v = term_index(value);
  switch (kind) {
    case kConstant:
      term.constant = value;
      break;
    case kSubtestResult:
      if (v < 1 || v >= k) malformed_record(2);
      term.subtest = v;
      break;
    case kIndividualVariable:
    case kIndividualVariable2:
      term.values = &(*data.individual_values)(v, 0);
      term.of_second = kind == kIndividualVariable2;
      break;
    case kSpeciesVariable:
    case kSpeciesVariable2: {
      std::vector<float> column(static_cast<std::size_t>(n_individuals) + 1, 0.0f);
      for (int i = 1; i <= n_individuals; ++i) {
        column[static_cast<std::size_t>(i)] = (*data.species_values)(v, (*data.species_of)[i]);
      }
      columns_.push_back(std::move(column));
      term.values = columns_.back().data();
      term.of_second = kind == kSpeciesVariable2;
      break;
    }
    default:
      malformed_record(is_first ? 3 : 4);
  }
  return term;
}

}  // namespace quorvel::individuals
