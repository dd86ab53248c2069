#include "reports/individual_rows.hpp"

#include <cstdlib>

#include "core/format.hpp"
#include "reports/test_rows.hpp"

namespace quorvel::reports {

namespace {

// A test text as the report shows it: up to its first line feed or tab.
std::string shown_text(const std::string& text) { return text.substr(0, text.find_first_of("\n\t")); }

struct Rows {
  ResultsTable& table;
  std::string suffix;  // the selection test, when there are several
  int selection_test = 0;

  // A value by class: class 0 (all distances) is the "pair" scope. The
  // class values of `quantity` belong to the selection test's figures.
  void by_class(const std::string& statistic, int c, double limit, double value,
                Quantity quantity = Quantity::kOther) const {
    if (c == 0) {
      table.add(kIndividualsSection, statistic + suffix, kPairScope, kNoIndex, MISSING_VALUE, value);
    } else {
      table.add(kIndividualsSection, statistic + suffix, kClassScope, c, limit, value, {quantity, selection_test});
    }
  }
  void add(const std::string& statistic, const char* scope, int index, double limit, double value) const {
    table.add(kIndividualsSection, statistic + suffix, scope, index, limit, value);
  }
};

// Turnover of one row (all pairs, or the pairs of one test), relative to the
// diversity of all pairs of the base population (its totals, written once).
void add_turnover(const Rows& rows, const individuals::IndividualPairResults& results, int row,
                  const std::string& qualifier, bool with_totals) {
  const individuals::TurnoverRow& values = results.turnover.rows[row];
  const struct {
    const char* name;
    double total;
    const core::DVector& values;
  } statistics[] = {{"I", results.turnover.total_H, values.I},
                    {"P", results.turnover.total_D, values.P},
                    {"R", results.turnover.total_R, values.R}};
  for (const auto& s : statistics) {
    const std::string name = qualifier.empty() ? s.name : std::string(s.name) + "(" + qualifier + ")";
    if (with_totals) rows.add(std::string(s.name) + "_total_diversity", kGlobalScope, kNoIndex, MISSING_VALUE, s.total);
    for (int c = 0; c <= results.n_classes; ++c) rows.by_class(name, c, results.class_limit[c], s.values[c]);
  }
}

}  // namespace

void add_individual_rows(ResultsTable& table, const individuals::IndividualPairResults& results,
                         const IndividualReport& report, int selection_test, int n_selection_tests) {
  const Rows rows{table, n_selection_tests > 1 ? core::format(" [selection test %i]", selection_test) : "",
                  selection_test};
  const int n = results.n_classes;
  const int m = results.n_regression;
  const int T = results.n_pair_tests;
  const int S = results.n_species;
  const core::NameTable& species = *report.species_names;
  for (int c = 0; c <= n; ++c) {
    rows.by_class("n_pairs", c, results.class_limit[c], results.class_pairs[c]);
    rows.by_class("mean_distance", c, results.class_limit[c], results.class_mean_distance[c], Quantity::kMeanDistance);
  }
  for (int b = 1; b <= m; ++b) {
    const double limit = results.regression_high[b];
    rows.add("n_pairs", kRegressionScope, b, limit, results.regression_pairs[b]);
    rows.add("mean_distance", kRegressionScope, b, limit, results.regression_mean_distance[b]);
    rows.add("mean_ln_distance", kRegressionScope, b, limit, results.regression_mean_ln_distance[b]);
  }
  if (T != 0) {
    for (int k = 1; k <= std::abs(T); ++k) {
      const std::string text = shown_text((*report.test_texts)[k]);
      const double total = T > 0 ? results.class_pairs[0] : results.test_total;
      rows.add("count(" + text + ")", kTestScope, k, MISSING_VALUE, results.test_counts[k]);
      rows.add("frequency(" + text + ")", kTestScope, k, MISSING_VALUE,
               total != 0 ? results.test_counts[k] / total : MISSING_VALUE);
      // The report leaves the classes of a test without pairs empty.
      if (results.test_values(k, 0) != 0) {
        const char* value_name = T > 0 ? "frequency(" : "autocorrelation(";
        const Quantity quantity = T > 0 ? Quantity::kPairFrequency : Quantity::kAutocorrelation;
        for (int c = T > 0 ? 1 : 0; c <= n; ++c) {
          rows.by_class(value_name + text + ")", c, results.class_limit[c], results.test_values(k, c), quantity);
        }
      }
      if (T < 0) {
        for (int s = 1; s <= S; ++s) {
          for (int t = s; t <= S; ++t) {
            if (results.kept_per_species[s] == 0 || results.kept_per_species[t] == 0) continue;
            if (!individuals::evaluate_logic_test(s, t, report.logic, *report.tests, k, true)) continue;
            const std::string pair = species[s] + ", " + species[t] + " | " + text;
            rows.add("weight(" + pair + ")", kSpeciesScope, kNoIndex, MISSING_VALUE, results.species_pair_weight(s, t));
            for (int c = 0; c <= n; ++c) {
              rows.by_class("autocorrelation(" + pair + ")", c, results.class_limit[c],
                            results.autocorrelation(s, t, c), Quantity::kAutocorrelation);
            }
          }
        }
      }
      if (results.has_turnover) add_turnover(rows, results, T > 0 ? k : 0, T > 0 ? text : std::string(), k == 1);
    }
    return;
  }
  for (int s = 1; s <= S; ++s) {
    const int count = results.kept_per_species[s];
    if (count <= 1) continue;
    const std::string& name = species[s];
    rows.add("n_individuals(" + name + ")", kSpeciesScope, kNoIndex, MISSING_VALUE, count);
    rows.add("frequency(" + name + ")", kSpeciesScope, kNoIndex, MISSING_VALUE,
             static_cast<double>(count) / results.n_kept);
    for (int c = 0; c <= n; ++c) {
      rows.by_class("autocorrelation(" + name + ")", c, results.class_limit[c], results.autocorrelation(s, s, c),
                    Quantity::kAutocorrelation);
    }
    for (int b = 1; b <= m; ++b) {
      rows.add("b(" + name + ", distance)", kRegressionScope, b, results.regression_high[b],
               results.slope_distance(s, s, b));
      rows.add("b(" + name + ", ln(distance))", kRegressionScope, b, results.regression_high[b],
               results.slope_ln_distance(s, s, b));
    }
  }
  if (results.has_turnover) add_turnover(rows, results, 0, std::string(), true);
}

std::string individual_test_title(float sub_clade_age, float restriction, const std::string& clade_name) {
  if (restriction < 0) {
    return core::format("PHYLOGENY PERMUTATION TESTS : clades of age <=%g permuted within clade \"%s\"",
                        static_cast<double>(sub_clade_age), clade_name.c_str());
  }
  return core::format("PHYLOGENY PERMUTATION TESTS : clades of age <=%g permuted within clades of age = %g",
                      static_cast<double>(sub_clade_age), static_cast<double>(restriction));
}

void add_individual_test_rows(ResultsTable& table, const std::string& statistic,
                              const individuals::IndividualPairResults& observed, const core::NameTable& test_texts,
                              const randomization::TestSummaryMatrix& summaries, const std::string& title,
                              int n_randomizations, int selection_test, int n_selection_tests, int test_number) {
  const std::size_t first_row = table.rows.size();
  const std::string suffix = n_selection_tests > 1 ? core::format(" [selection test %i]", selection_test) : "";
  const int n = observed.n_classes;
  for (int r = summaries.row_lo(); r <= summaries.row_hi(); ++r) {
    const std::string name = r == 0 ? statistic : statistic + "(" + shown_text(test_texts[r]) + ")";
    const std::string section = kIndividualsSection;
    if (r == 0) {
      add_test_row(table, section, statistic + "_total_diversity" + suffix, kGlobalScope, kNoIndex, MISSING_VALUE,
                   title, n_randomizations, summaries(r, -1));
    }
    add_test_row(table, section, name + suffix, kPairScope, kNoIndex, MISSING_VALUE, title, n_randomizations,
                 summaries(r, 0));
    add_test_row(table, section, "mean_over_classes(" + name + ")" + suffix, kPairScope, kNoIndex, MISSING_VALUE, title,
                 n_randomizations, summaries(r, 1));
    for (int c = 1; c <= n && c + 1 <= summaries.col_hi(); ++c) {
      add_test_row(table, section, name + suffix, kClassScope, c, observed.class_limit[c], title, n_randomizations,
                   summaries(r, c + 1));
    }
  }
  // The label says what the title says after its heading: which clades are
  // permuted, within which clades.
  const randomization::TestIdentity test{randomization::TestKind::kIndividualPhylogeny, test_number};
  const std::size_t colon = title.find(" : ");
  table.identify_test(first_row, test, test_label(test, colon == std::string::npos ? title : title.substr(colon + 3)));
}

}  // namespace quorvel::reports
