#include <cmath>

#include "core/format.hpp"
#include "reports/statistics.hpp"
#include "reports/summary_cells.hpp"
#include "reports/test_text.hpp"

namespace quorvel::reports {

namespace {

std::string category_name(const core::NameTable& names, int category) {
  return category >= names.lo() && category <= names.hi() ? names[category] : std::string();
}

// " : <wording>" of a permutation mode, or nothing.
std::string mode_wording(float mode, int test_type) {
  const std::string wording = permutation_wording(mode, test_type == kTraitDistancesTest);
  return wording.empty() ? wording : " : " + wording;
}

std::string heading(int n_randomizations, int test_type, float clade_restriction, const std::string& clade_name,
                    float mode, int category_kind, int first_category, int second_category,
                    const core::NameTable& category_names) {
  if (test_type == kLocationsTest) {
    return "\n\nLOCATIONS RANDOMIZATION TESTS for spatial partition of diversity -> Ho: obs=exp (exp = mean value "
           "after permutation)";
  }
  std::string text = test_type == kPhylogenyTest
                         ? "\n\nPHYLOGENY RANDOMIZATION TEST for spatial partition of diversity"
                         : "\n\nINTER-SPECIES TRAIT DISTANCES RANDOMIZATION TEST for spatial partition of diversity";
  text += mode_wording(mode, test_type);
  if (first_category != 0) {
    if (category_kind == 1) {
      text += core::format(" AMONG PLOTS FROM CATEGORY %s", category_name(category_names, first_category).c_str());
    } else if (category_kind == 2) {
      text +=
          core::format(" AMONG PLOTS FROM CATEGORIES %s and %s", category_name(category_names, first_category).c_str(),
                       category_name(category_names, second_category).c_str());
    }
  }
  if (test_type != kPhylogenyTest) return text;
  if (clade_restriction == -1.0f) {
    text += core::format(" WITHIN CLADE \"%s\" (%i randomizations)", clade_name.c_str(), n_randomizations);
  } else if (clade_restriction > 0) {
    text += core::format(" WITHIN CLADES YOUNGER THAN AGE %f (%i randomizations)",
                         static_cast<double>(clade_restriction), n_randomizations);
  } else if (clade_restriction == 0) {
    text += core::format(" OVER WHOLE PHYLOGENY (%i randomizations)", n_randomizations);
  }
  return text;
}

// "\nSTATISTICS:", the global (and pairwise) heading, the column labels and
// the distance-class header.
std::string block_header(const StatisticDescription& statistic, bool long_layout, int n_classes, int pairwise_kind) {
  std::string text = "\nSTATISTICS:";
  if (pairwise_kind == 0) {
    text += core::format("\tGlobal %s-statistics", statistic.letter);
  } else {
    text += core::format("\tGlobal %s-statistics \t\t\t\t\tPairwise %s", statistic.letter, statistic.st);
  }
  // The column labels; the short layout drops the last tab.
  text += core::format("\n\t%s\t%s\t%s\t", statistic.within, statistic.among, statistic.st);
  if (long_layout) text += "\t";
  if (pairwise_kind == 2) {
    for (int c = 1; c <= n_classes; ++c) text += core::format("\t%i", c);
    text += "\taverage\t\tb-lin (slope linear dist)\tb-log (slope ln(dist))";
  } else if (pairwise_kind == 1) {
    text += "\taverage";
  }
  return text;
}

std::string p_cell(double value) { return value_cell("%.4f", value); }

}  // namespace

std::string plot_test_text(const PlotTestRecord& test) {
  const int n_classes = test.n_classes;
  const int test_type = test.test_type;
  const int pairwise_kind = test.pairwise_kind;
  const TestSummaryMatrix& global = *test.global;
  const TestSummaryMatrix& pairwise = *test.pairwise;
  const core::NameTable no_names;
  std::string text = heading(test.n_randomizations, test_type, test.clade_restriction, test.clade_name,
                             test.permutation_mode, test.category_kind, test.first_category, test.second_category,
                             test.category_names ? *test.category_names : no_names);
  // The locations test permutes positions only: its global values cannot change.
  const bool global_cells = test_type != kLocationsTest;
  const int average = n_classes + 1;
  for (int i = 1; i <= test.n_statistics; ++i) {
    if (test.all_statistics == 0 && i != 4) continue;
    if (test_type != kLocationsTest && (i == 1 || i == 5)) continue;
    const StatisticDescription& statistic = statistic_description((*test.statistic_codes)[i], test.data_kind);
    if (test.layout == 0) {
      text += block_header(statistic, false, n_classes, pairwise_kind);
      text += "\n";
      for (int r = 1; r <= 3; ++r) text += global_cells ? p_cell(global(i, r).p_two_sided) : "\t";
      text += "\t\t";
      if (pairwise_kind != 0) {
        for (int c = 1; c <= average; ++c) text += p_cell(pairwise(i, c).p_two_sided);
      }
      text += "\t";
      if (pairwise_kind == 2) text += p_cell(pairwise(i, -2).p_upper) + p_cell(pairwise(i, -1).p_upper);
    } else {
      text += "\n\n" + block_header(statistic, true, n_classes, pairwise_kind);
      for (const SummaryRow& row : kSummaryRows) {
        text += row.label;
        for (int r = 1; r <= 4; ++r) text += global_cells ? summary_cell(row, global(i, r)) : "\t";
        text += "\t";
        if (pairwise_kind != 0) {
          for (int c = 1; c <= average; ++c) text += summary_cell(row, pairwise(i, c));
        }
        if (pairwise_kind == 2) {
          text += "\t" + summary_cell(row, pairwise(i, -2)) + summary_cell(row, pairwise(i, -1));
        }
      }
      text += "\n";
    }
    text += "\n";
  }
  return text;
}

}  // namespace quorvel::reports
