#include "reports/results_table.hpp"

#include <utility>

#include "core/format.hpp"
#include "reports/statistics.hpp"

namespace quorvel::reports {

const char* const kTableColumns[15] = {"section",  "statistic", "scope",   "index",   "limit",
                                       "value",    "test",      "n",       "mean",    "sd",
                                       "ci95_low", "ci95_high", "p_lower", "p_upper", "p_two_sided"};

TableRow& ResultsTable::add(const std::string& section, const std::string& statistic, const char* scope, int index,
                            double limit, double value, RowTag tag) {
  TableRow& row = rows.emplace_back();
  row.section = section;
  row.statistic = statistic;
  row.scope = scope;
  row.index = index;
  row.limit = limit;
  row.value = value;
  row.tag = std::move(tag);
  return row;
}

void ResultsTable::identify_test(std::size_t first, randomization::TestIdentity test_id, const std::string& label) {
  for (std::size_t r = first; r < rows.size(); ++r) {
    rows[r].test_id = test_id;
    rows[r].test_label = label;
  }
}

const TableRow* ResultsTable::observed_row(const std::string& section, const std::string& statistic, const char* scope,
                                           int index) const {
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    if (row->test.empty() && row->index == index && row->statistic == statistic && row->scope == scope &&
        row->section == section)
      return &*row;
  }
  return nullptr;
}

std::string number_cell(double value) { return core::format_cell(kTableFormat, value); }

namespace {

// A text cell may not break the table: names come from users' files.
std::string text_cell(const std::string& text) {
  std::string cell = text;
  for (char& c : cell) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return cell;
}

}  // namespace

std::string results_table_text(const ResultsTable& table) {
  std::string text;
  for (int c = 0; c < 15; ++c) {
    if (c > 0) text += '\t';
    text += kTableColumns[c];
  }
  text += '\n';
  for (const TableRow& row : table.rows) {
    text += text_cell(row.section) + '\t' + text_cell(row.statistic) + '\t' + row.scope + '\t';
    if (row.index != kNoIndex) text += core::format("%i", row.index);
    text += '\t' + number_cell(row.limit) + '\t' + number_cell(row.value) + '\t' + text_cell(row.test) + '\t';
    if (!row.test.empty()) text += core::format("%i", row.n);
    for (double v : {row.mean, row.sd, row.ci95_low, row.ci95_high, row.p_lower, row.p_upper, row.p_two_sided}) {
      text += '\t' + number_cell(v);
    }
    text += '\n';
  }
  return text;
}

}  // namespace quorvel::reports
