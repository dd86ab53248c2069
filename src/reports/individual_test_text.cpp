#include <algorithm>

#include "core/format.hpp"
#include "reports/summary_cells.hpp"
#include "reports/test_text.hpp"

namespace quorvel::reports {

namespace {

std::string level_name(const core::NameTable& names, int level) {
  return level >= names.lo() && level <= names.hi() ? names[level] : std::string();
}

std::string heading(int n_randomizations, int test_kind, const core::NameTable& level_names, int level_permuted,
                    int level_within, float sub_clade_age, float restriction_age, const std::string& clade_name) {
  if (test_kind == 0) {
    return "\n\nLOCATIONS or INDIVIDUALS PERMUTATION TESTS -> Ho: obs=exp (exp = mean value after permutation)";
  }
  if (restriction_age == 0) {
    return core::format(
        "\n\nPHYLOGENY PERMUTATION TESTS : %s permuted within %s (%i randomizations) -> Ho: obs=exp (exp = mean "
        "value after permutation)",
        level_name(level_names, level_permuted).c_str(), level_name(level_names, level_within).c_str(),
        n_randomizations);
  }
  if (restriction_age > 0) {
    return core::format(
        "\n\nPHYLOGENY PERMUTATION TESTS : clades of age <=%f permuted within clades of age = %f (%i randomizations) "
        "-> Ho: obs=exp (exp = mean value after permutation)",
        static_cast<double>(sub_clade_age), static_cast<double>(restriction_age), n_randomizations);
  }
  return core::format(
      "\n\nPHYLOGENY PERMUTATION TESTS : clades of age <=%f permuted within clade \"%s\" (%i randomizations) -> Ho: "
      "obs=exp (exp = mean value after permutation)",
      static_cast<double>(sub_clade_age), clade_name.c_str(), n_randomizations);
}

}  // namespace

std::string individual_test_text(int n_classes, int n_statistics, int n_randomizations, int test_kind,
                                 const core::NameTable& level_names, int level_permuted, int level_within,
                                 float sub_clade_age, float restriction_age, const std::string& clade_name, int layout,
                                 const TestSummaryMatrix& summaries) {
  std::string text = heading(n_randomizations, test_kind, level_names, level_permuted, level_within, sub_clade_age,
                             restriction_age, clade_name);
  std::string columns = "\nStatistics\n\tDp\tP\taverage";
  for (int c = 1; c <= n_classes; ++c) columns += core::format("\t%i", c);
  // Records -1..C+1 of a row, within the table.
  const int last_record = std::min(n_classes + 1, summaries.col_hi());
  const int first_row = summaries.row_lo();
  const int last_row = std::min(first_row + n_statistics - 1, summaries.row_hi());
  for (int s = first_row; s <= last_row; ++s) {
    if (layout == 0) {
      text += "\nSTATISTICS:" + columns + "\n";
      for (int r = std::max(0, summaries.col_lo()); r <= last_record; ++r) {
        text += value_cell("%.4f", summaries(s, r).p_two_sided);
      }
    } else {
      const int first_record = std::max(-1, summaries.col_lo());
      text += "\n\nSTATISTICS:" + columns + "\nObject permuted";
      for (int r = first_record; r <= last_record; ++r) text += count_cell(summaries(s, r).object);
      text += "\nN valid permut";
      for (int r = first_record; r <= last_record; ++r) text += count_cell(summaries(s, r).valid_count);
      for (const SummaryRow& row : kSummaryRows) {
        text += row.label;
        for (int r = first_record; r <= last_record; ++r) text += summary_cell(row, summaries(s, r));
      }
      text += "\n";
    }
    text += "\n";
  }
  return text;
}

std::string individual_test_heading(float sub_clade_age, float restriction, const std::string& clade_name, int n) {
  const double age = sub_clade_age;
  if (restriction == -1.0f) {
    return core::format("\n\nPhylogeny test: clades age<=%f within clade \"%s\" (%i random.)\n", age,
                        clade_name.c_str(), n);
  }
  return core::format("\n\nPhylogeny test: clades age<=%f within clades age<=%f (%i random.)\n", age,
                      static_cast<double>(restriction), n);
}

std::string selection_test_heading(int q, const std::string& text) {
  return core::format("\nSelection test %i: %s", q, text.c_str());
}

}  // namespace quorvel::reports
