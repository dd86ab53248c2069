#include "individuals/logic_test.hpp"

#include <cctype>
#include <cmath>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"

namespace quorvel::individuals {

using core::format;

LogicTestTable logic_test_matrix(int row_lo, int row_hi, int col_lo, int col_hi) {
  return LogicTestTable(row_lo, row_hi, col_lo, col_hi, "\nallocation failure 2 in logic_test_matrix()");
}

namespace {

struct OperatorText {
  const char* text;
  std::int32_t op;
};
// Searched in this order, so that ">=" is taken before ">" and "!=" before "=".
constexpr OperatorText kOperators[] = {{"=", kEqual},      {"!=", kNotEqual}, {">=", kGreaterEqual},
                                       {"<=", kLessEqual}, {">", kGreater},   {"<", kLess},
                                       {"AND", kAnd},      {"OR", kOr},       {"NOT", kNot}};

const char* operator_text(std::int32_t op) {
  for (const OperatorText& entry : kOperators) {
    if (entry.op == op) return entry.text;
  }
  return "?";
}

bool is_variable_kind(std::int32_t kind) { return kind >= kIndividualVariable && kind <= kSpeciesVariable2; }
bool is_individual_kind(std::int32_t kind) { return kind == kIndividualVariable || kind == kIndividualVariable2; }

// Compiles one test; every error stops the run with the test text in its message.
class TestCompiler {
 public:
  TestCompiler(const std::string& text, int test_number, const VariableSet& individual, const VariableSet& species)
      : text_(text), test_number_(test_number), individual_(individual), species_(species) {}

  [[noreturn]] void fail(const std::string& detail, int status) const {
    core::stop_run(format("\nError in test %s", text_.c_str()) + detail, status);
  }

  // Reads "{k}" at the start of `term`; returns the characters used (0 if none).
  static std::size_t subtest_reference(const std::string& term, int& k) {
    if (term.size() < 3 || term[0] != '{' || !std::isdigit(static_cast<unsigned char>(term[1]))) return 0;
    std::size_t end = 1;
    k = 0;
    while (end < term.size() && end <= 2 && std::isdigit(static_cast<unsigned char>(term[end]))) {
      k = k * 10 + (term[end] - '0');
      ++end;
    }
    if (end >= term.size() || term[end] != '}') return 0;
    return end + 1;
  }

  // A variable name, optionally followed by "[1]" or "[2]"; kind 3..6 or 0.
  std::int32_t variable_term(const std::string& term, float& value) const {
    for (int pass = 0; pass < 2; ++pass) {
      const VariableSet& set = pass == 0 ? individual_ : species_;
      for (int v = 0; v < set.count; ++v) {
        const std::string& name = (*set.names)[v];
        if (term.compare(0, name.size(), name) != 0) continue;
        const std::string reference = term.substr(name.size());
        int individual = 0;
        if (reference.empty()) {
          individual = 0;
        } else if (reference == "[1]") {
          individual = 1;
        } else if (reference == "[2]") {
          individual = 2;
        } else {
          continue;
        }
        check_reference(individual);
        value = static_cast<float>(v);
        if (pass == 0) return individual == 2 ? kIndividualVariable2 : kIndividualVariable;
        return individual == 2 ? kSpeciesVariable2 : kSpeciesVariable;
      }
    }
    return 0;
  }

  void check_reference(int individual) const {
    if (test_number_ == 0 && individual != 0) {
      fail(": reference of individuals,i.e. (1) or (2), in test to define the base population must be removed", 13);
    }
    if (test_number_ != 0 && individual == 0) {
      fail(": reference of individuals,i.e. (1) or (2), in test for individual pairs must appear", 12);
    }
  }

  bool is_qualitative(std::int32_t kind, float value) const {
    if (!is_variable_kind(kind)) return false;
    const VariableSet& set = is_individual_kind(kind) ? individual_ : species_;
    return (*set.categories)[static_cast<int>(value)] != 0;
  }

  const std::string& variable_name(std::int32_t kind, float value) const {
    const VariableSet& set = is_individual_kind(kind) ? individual_ : species_;
    return (*set.names)[static_cast<int>(value)];
  }

  void compile_subtest(const std::string& expression, LogicSubtest& record) const {
    // First term: a reference {k}, a leading NOT, or a variable.
    std::string rest;
    int k = 0;
    if (const std::size_t used = subtest_reference(expression, k)) {
      record.first_kind = kSubtestResult;
      record.first_value = static_cast<float>(k);
      rest = expression.substr(used);
    } else if (expression.compare(0, 3, "NOT") == 0) {
      // "NOT{k}": a constant 1 that the operator NOT does not read.
      record.first_kind = kConstant;
      record.first_value = 1;
      rest = expression;
    } else {
      const std::size_t end = expression.find_first_of("(=><!");
      const std::string term = expression.substr(0, end);
      record.first_kind = variable_term(term, record.first_value);
      if (record.first_kind == 0) {
        fail(format(": the first term in expression %s is not recognized", expression.c_str()), 20);
      }
      rest = end == std::string::npos ? std::string() : expression.substr(end);
    }

    // Operator.
    record.op = 0;
    for (const OperatorText& entry : kOperators) {
      const std::size_t length = std::char_traits<char>::length(entry.text);
      if (rest.compare(0, length, entry.text) == 0) {
        record.op = entry.op;
        rest = rest.substr(length);
        break;
      }
    }
    if (record.op == 0) {
      if (rest.empty()) fail(": remove excessive parentheses in test definition", 25);
      fail(format(": the logic expression %s  is not recognized", expression.c_str()), 25);
    }
    const bool first_qualitative = is_qualitative(record.first_kind, record.first_value);
    if (first_qualitative && record.op >= kGreaterEqual && record.op <= kLess) {
      fail(format(": variable %s being qualitative, < or > logical expression cannot be used",
                  variable_name(record.first_kind, record.first_value).c_str()),
           is_individual_kind(record.first_kind) ? 26 : 27);
    }

    compile_second_term(rest, record, first_qualitative);

    // Whole-subtest checks.
    if (first_qualitative && is_variable_kind(record.second_kind) &&
        (record.second_value != record.first_value ||
         is_individual_kind(record.second_kind) != is_individual_kind(record.first_kind))) {
      fail(format(": variable %s is qualitative and cannot be compared with another variable",
                  variable_name(record.first_kind, record.first_value).c_str()),
           is_individual_kind(record.first_kind) ? 28 : 29);
    }
    if (record.op >= kAnd) {
      const bool leading_not = record.op == kNot && record.first_kind == kConstant;
      if ((record.first_kind != kSubtestResult && !leading_not) || record.second_kind != kSubtestResult) {
        fail(": AND, OR and NOT logical expression can only be used between other tests", 31);
      }
    }
  }

  void compile_second_term(const std::string& rest, LogicSubtest& record, bool first_qualitative) const {
    int k = 0;
    if (const std::size_t used = subtest_reference(rest, k)) {
      if (used != rest.size()) fail(format(": the second term %s is not recognized", rest.c_str()), 30);
      record.second_kind = kSubtestResult;
      record.second_value = static_cast<float>(k);
      return;
    }
    const std::string name = rest.substr(0, rest.find_first_of("(["));
    for (int pass = 0; pass < 2; ++pass) {
      const VariableSet& set = pass == 0 ? individual_ : species_;
      for (int v = 0; v < set.count; ++v) {
        if ((*set.names)[v] != name) continue;
        record.second_kind = variable_term(rest, record.second_value);
        if (record.second_kind != 0) return;
      }
    }
    // A constant: a category name of a qualitative variable, else a number.
    record.second_kind = kConstant;
    const bool by_category =
        first_qualitative && (!is_individual_kind(record.first_kind) || record.first_value >= 4.0f);
    if (by_category) {
      const bool individual = is_individual_kind(record.first_kind);
      const VariableSet& set = individual ? individual_ : species_;
      const int v = static_cast<int>(record.first_value);
      const core::NameTable& labels = (*set.category_names)[v];
      for (int c = labels.lo(); c <= labels.hi(); ++c) {
        if (c >= 1 && labels[c] == rest) {
          record.second_value = static_cast<float>(c);
          return;
        }
      }
      fail(format(": the term %s is not recognized as a category of variable %s from the %s list", rest.c_str(),
                  (*set.names)[v].c_str(), individual ? "individual" : "species"),
           20);
    }
    // The whole term must be a number, read as the data cells are (the
    // variables it is compared with are single precision): anything else
    // would compare with an undefined value or one the user did not write.
    float value = 0;
    const char* end = nullptr;
    const input::NumberReading reading = input::scan_number(rest.c_str(), value, &end);
    if (reading == input::NumberReading::kHexadecimal) refuse_number(rest, reading);
    if (reading == input::NumberReading::kNone || end != rest.c_str() + rest.size()) {
      fail(format(": the second term %s is not recognized", rest.c_str()), 30);
    }
    if (reading != input::NumberReading::kNumber) refuse_number(rest, reading);
    record.second_value = value;
  }

  [[noreturn]] void refuse_number(const std::string& term, input::NumberReading reading) const {
    fail(format(": cannot read a number from %s", term.c_str()) + input::number_refusal(reading, true), 30);
  }

  void compile(LogicTestTable& table, int row) const {
    if (static_cast<int>(text_.size()) > kMaxTestLength) {
      fail(format(":\nit contains %i characters whereas no more than %i are allowed", static_cast<int>(text_.size()),
                  kMaxTestLength),
           13);
    }
    if (text_.empty() || text_[0] != '[') fail(": it must begin with [", 10);
    const std::size_t close = text_.find(']');
    if (close == std::string::npos) fail(": it must end with ]", 11);
    std::string work = "(" + text_.substr(1, close - 1) + ")";
    for (const char* reference : {"(1)", "(2)"}) {
      const std::string replacement = reference[1] == '1' ? "[1]" : "[2]";
      for (std::size_t at = work.find(reference); at != std::string::npos; at = work.find(reference, at + 3)) {
        work.replace(at, 3, replacement);
      }
    }
    int opening = 0;
    int closing = 0;
    for (char c : work) {
      opening += c == '(';
      closing += c == ')';
    }
    if (opening != closing) fail(format(": there are %i '(' and %i ')'", opening, closing), 22);
    if (opening >= kMaxSubtests) {
      fail(format(": there are %i subtests whereas no more than 100 are allowed", opening), 23);
    }
    std::string compact;
    for (char c : work) {
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
    }

    int n = 0;
    for (int group = 1; group <= opening; ++group) {
      const std::size_t close_at = compact.find(')');
      const std::size_t open_at = compact.rfind('(', close_at);
      if (close_at == std::string::npos || open_at == std::string::npos) {
        fail(format(": there are %i '(' and %i ')'", opening, closing), 22);
      }
      const std::string inside = compact.substr(open_at + 1, close_at - open_at - 1);
      int k = 0;
      std::string replacement;
      if (inside.empty()) {
        if (n == 0 && group == 1) break;  // "[]": no subtest, always true
      } else if (subtest_reference(inside, k) == inside.size()) {
        replacement = inside;  // a group that only holds another group
      } else {
        ++n;
        compile_subtest(inside, table(row, n));
        replacement = format("{%i}", n);
      }
      compact.replace(open_at, close_at - open_at + 1, replacement);
    }
    table(row, 0) = LogicSubtest();
    table(row, 0).op = n;
  }

 private:
  const std::string& text_;
  int test_number_;
  const VariableSet& individual_;
  const VariableSet& species_;
};

}  // namespace

void parse_logic_test(const std::string& text, LogicTestTable& table, int row, int test_number,
                      const VariableSet& individual_variables, const VariableSet& species_variables) {
  TestCompiler(text, test_number, individual_variables, species_variables).compile(table, row);
}

namespace {

std::string describe_term(std::int32_t kind, float value, bool is_second, bool base_test, const VariableSet& individual,
                          const VariableSet& species, const LogicSubtest& record) {
  const int v = term_index(value);
  switch (kind) {
    case kConstant: {
      // A constant compared with a qualitative variable is one of its categories.
      const bool first_individual = is_individual_kind(record.first_kind);
      const VariableSet& set = first_individual ? individual : species;
      const int first = term_index(record.first_value);
      if (is_second && is_variable_kind(record.first_kind) && first < set.count && (*set.categories)[first] != 0 &&
          (!first_individual || first >= 4)) {
        const core::NameTable& labels = (*set.category_names)[first];
        if (v >= 1 && v >= labels.lo() && v <= labels.hi()) return labels[v];
      }
      return format("%f", static_cast<double>(value));
    }
    case kSubtestResult:
      return format("{%i}", v);
    case kIndividualVariable:
      return (*individual.names)[v] + (base_test ? "(ind)" : "(ind1)");
    case kSpeciesVariable:
      return (*species.names)[v] + (base_test ? "(sp)" : "(sp1)");
    case kIndividualVariable2:
      return (*individual.names)[v] + "(ind2)";
    case kSpeciesVariable2:
      return (*species.names)[v] + "(sp2)";
    default:
      return "?";
  }
}

}  // namespace

std::string describe_logic_test(const LogicTestTable& table, int row, int test_number,
                                const VariableSet& individual_variables, const VariableSet& species_variables) {
  const int n = subtest_count(table, row);
  if (n == 0) return "{1}=1";
  std::string text;
  for (int k = 1; k <= n; ++k) {
    const LogicSubtest& record = table(row, k);
    text += format("{%i}=[", k);
    text += describe_term(record.first_kind, record.first_value, false, test_number == 0, individual_variables,
                          species_variables, record);
    text += format(" %s ", operator_text(record.op));
    text += describe_term(record.second_kind, record.second_value, true, test_number == 0, individual_variables,
                          species_variables, record);
    text += k < n ? "] -> " : "]";
  }
  return text;
}

}  // namespace quorvel::individuals
