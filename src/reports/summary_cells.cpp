#include "reports/summary_cells.hpp"

#include "core/format.hpp"

namespace quorvel::reports {

const SummaryRow kSummaryRows[9] = {
    {"\nN different permut val", nullptr, nullptr, &TestSummary::distinct_count, "%i"},
    {"\nObs val", &TestSummary::observed, nullptr, nullptr, "%G"},
    {"\nMean permut val", &TestSummary::mean, nullptr, nullptr, "%G"},
    {"\nSD permut val", &TestSummary::sd, nullptr, nullptr, "%G"},
    {"\n95%CI-inf", &TestSummary::ci95_low, nullptr, nullptr, "%G"},
    {"\n95%CI-sup", &TestSummary::ci95_high, nullptr, nullptr, "%G"},
    {"\nP(1-sided test, H1: obs<exp)", nullptr, &TestSummary::p_lower, nullptr, "%.4f"},
    {"\nP(1-sided test, H1: obs>exp)", nullptr, &TestSummary::p_upper, nullptr, "%.4f"},
    {"\nP(2-sided test, H1: obs<>exp)", nullptr, &TestSummary::p_two_sided, nullptr, "%.4f"},
};

std::string value_cell(const char* format, double value) { return core::tab_cell(format, value); }

std::string count_cell(std::int32_t count) { return count == 0 ? std::string("\t") : core::format("\t%i", count); }

std::string summary_cell(const SummaryRow& row, const TestSummary& summary) {
  if (row.count != nullptr) return count_cell(summary.*row.count);
  if (row.p_value != nullptr) return value_cell(row.format, summary.*row.p_value);
  return value_cell(row.format, summary.*row.value);
}

}  // namespace quorvel::reports
