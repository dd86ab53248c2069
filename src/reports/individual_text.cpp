#include "reports/individual_text.hpp"

#include <cstdlib>

#include "core/format.hpp"

namespace quorvel::reports {

using individuals::describe_logic_test;
using individuals::evaluate_logic_test;
using individuals::TurnoverRow;

using core::format;

namespace {

// A test text as shown: up to its first line feed and its first tab.
std::string shown_text(const std::string& text) { return text.substr(0, text.find_first_of("\n\t")); }

std::string count_cell(double count) { return format("\t%i", static_cast<int>(count)); }

std::string turnover_block(const IndividualPairResults& results, int row) {
  const TurnoverRow& values = results.turnover.rows[row];
  const int n = results.n_classes;
  std::string text;
  const struct {
    const char* label;
    double total;
    const core::DVector& values;
  } rows[] = {{"\nI\t%g\t\t", results.turnover.total_H, values.I},
              {"\nP\t%g\t\t", results.turnover.total_D, values.P},
              {"\nR\t%g\t\t", results.turnover.total_R, values.R}};
  for (const auto& entry : rows) {
    // An undefined total is an empty cell, like every other value.
    if (entry.total == MISSING_VALUE) {
      std::string label = entry.label;
      label.replace(label.find("%g"), 2, "");
      text += label;
    } else {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      text += format(entry.label, entry.total);
#pragma GCC diagnostic pop
    }
    for (int c = 0; c <= n; ++c) text += core::tab_cell("%g", entry.values[c]);
  }
  return text;
}

}  // namespace

EchoedText individual_text(const IndividualPairResults& results, const IndividualReport& report) {
  EchoedText out;
  const auto echo = [&](const std::string& text) { out.echo(text); };
  const auto append = [&](const std::string& text) { out.append(text); };
  const int n = results.n_classes;
  const int m = results.n_regression;
  const int T = results.n_pair_tests;
  const int S = results.n_species;
  const LogicTestTable& tests = *report.tests;
  const auto interpretation = [&](int k) {
    return describe_logic_test(tests, k, k, report.individual_variables, report.species_variables);
  };

  echo(format("\n\nBase population: %i individuals selected by test %s interpreted as ", results.n_kept,
              shown_text((*report.test_texts)[0]).c_str()) +
       interpretation(0));

  std::string header = "\nDist class\t\t\t\tall";
  for (int c = 1; c <= n; ++c) header += format("\t%i", c);
  header += "\tlinear regression with distance";
  for (int b = 1; b <= m; ++b) header += format("\tblin%i", b);
  header += "\tregression with log(distance)";
  for (int b = 1; b <= m; ++b) header += format("\tblog%i", b);
  echo(header);

  std::string text = "\n# pairs of individuals\t\t\t";
  for (int c = 0; c <= n; ++c) text += count_cell(results.class_pairs[c]);
  for (int twice = 0; twice < 2; ++twice) {
    text += "\t";
    for (int b = 1; b <= m; ++b) text += count_cell(results.regression_pairs[b]);
  }
  text += "\nmax distance between pairs\t\t\t\t";
  for (int c = 1; c <= n; ++c) text += core::tab_cell("%g", results.class_limit[c]);
  for (int twice = 0; twice < 2; ++twice) {
    text += "\t";
    for (int b = 1; b <= m; ++b) {
      text += format("\t%g to %g", results.regression_low[b], results.regression_high[b]);
    }
  }
  text += "\nmean distance between pairs\t\t\t";
  for (int c = 0; c <= n; ++c) text += core::tab_cell("%g", results.class_mean_distance[c]);
  text += "\t";
  for (int b = 1; b <= m; ++b) text += core::tab_cell("%g", results.regression_mean_distance[b]);
  text += "\t";
  for (int b = 1; b <= m; ++b) text += core::tab_cell("%g", results.regression_mean_ln_distance[b]);
  append(text);

  const bool turnover = results.has_turnover;
  const std::string turnover_heading =
      "\n\nSpecies turnover with and without phyletic distances\nStatistic\tTotal diversity";
  if (T != 0) {
    echo(T > 0 ? "\n\nFor selected individual pairs\nTest definition + interpretation\t# ind pairs\tfrequency of "
                 "pairs\t"
               : "\n\nFor selected species pairs\nTest definition + interpretation\t# sp pairs\t\tWeight");
    for (int k = 1; k <= std::abs(T); ++k) {
      echo(format("\n\n%s  :  ", shown_text((*report.test_texts)[k]).c_str()) + interpretation(k));
      const double total = T > 0 ? results.class_pairs[0] : results.test_total;
      text = format("\t%i\t", static_cast<int>(results.test_counts[k]));
      text += total != 0 ? format("%f", results.test_counts[k] / total) : std::string();
      text += "\t";
      if (results.test_values(k, 0) != 0) {
        for (int c = 0; c <= n; ++c) text += core::tab_cell("%g", results.test_values(k, c));
      }
      if (T < 0) {
        for (int s = 1; s <= S; ++s) {
          for (int t = s; t <= S; ++t) {
            if (results.kept_per_species[s] == 0 || results.kept_per_species[t] == 0) continue;
            if (!evaluate_logic_test(s, t, report.logic, tests, k, true)) continue;
            text += format("\n\t%s\t%s\t%g", (*report.species_names)[s].c_str(), (*report.species_names)[t].c_str(),
                           results.species_pair_weight(s, t));
            for (int c = 0; c <= n; ++c) text += core::tab_cell("%g", results.autocorrelation(s, t, c));
          }
        }
      }
      append(text);
      if (turnover) {
        echo(turnover_heading);
        append(turnover_block(results, T > 0 ? k : 0));
      }
    }
  } else {
    echo("\n\nWithin species\nSpecies\t# individuals\tfrequency");
    text.clear();
    for (int s = 1; s <= S; ++s) {
      const int count = results.kept_per_species[s];
      if (count <= 1) continue;
      text += format("\n%s\t%i\t%g\t", (*report.species_names)[s].c_str(), count,
                     static_cast<double>(count) / results.n_kept);
      for (int c = 0; c <= n; ++c) text += core::tab_cell("%g", results.autocorrelation(s, s, c));
      text += "\t";
      for (int b = 1; b <= m; ++b) text += core::tab_cell("%g", results.slope_distance(s, s, b));
      text += "\t";
      for (int b = 1; b <= m; ++b) text += core::tab_cell("%g", results.slope_ln_distance(s, s, b));
    }
    append(text);
    if (turnover) {
      echo(turnover_heading);
      append(turnover_block(results, 0));
    }
  }
  return out;
}

}  // namespace quorvel::reports
