#pragma once

#include <cstdint>
#include <string>

#include "randomization/test_summary.hpp"

namespace quorvel::reports {

using randomization::TestSummary;

// Pieces shared by the randomization result writers.

/// One row of a summary block: its label and the field it shows, either a
/// count ("%i", 0 shown empty), a value or a P-value (MISSING_VALUE shown
/// empty).
struct SummaryRow {
  const char* label;
  float TestSummary::*value;
  double TestSummary::*p_value;
  std::int32_t TestSummary::*count;
  const char* format;
};

/// The nine rows of every summary block, in their order.
extern const SummaryRow kSummaryRows[9];

/// "\t" followed by the row's value of `summary` (nothing more when empty).
std::string summary_cell(const SummaryRow& row, const TestSummary& summary);

/// "\t" followed by `value` in `format`, or the tab alone for MISSING_VALUE.
std::string value_cell(const char* format, double value);

/// "\t" followed by `count`, or the tab alone for 0.
std::string count_cell(std::int32_t count);

}  // namespace quorvel::reports
