#include "reports/section_reports.hpp"

#include "reports/individual_rows.hpp"
#include "reports/partition_rows.hpp"
#include "reports/test_text.hpp"
#include "reports/trait_signal_text.hpp"

namespace quorvel::reports {

std::string report_partition(ResultsTable& table, const PartitionReportInput& result) {
  add_partition_rows(table, result);
  return partition_results_text(result);
}

std::string report_plot_test(ResultsTable& table, const PlotTestRecord& test) {
  add_plot_test_rows(table, test);
  return plot_test_text(test);
}

std::string report_interval_test(ResultsTable& table, int n_intervals, const core::DVector& thresholds,
                                 int n_randomizations, const randomization::TestSummaryMatrix& p_star,
                                 const randomization::TestSummaryMatrix& pi) {
  add_interval_test_rows(table, n_intervals, thresholds, n_randomizations, p_star, pi);
  return interval_test_text(n_intervals, thresholds, n_randomizations, p_star, pi);
}

std::string report_trait_signal(ResultsTable& table, const TraitSignalRecord& record, const core::FMatrix& result) {
  add_trait_signal_rows(table, record, result);
  const int n_variables = record.distance_matrices ? 0 : record.n_rows;
  const int n_distance_variables = record.distance_matrices ? record.n_rows : 0;
  return trait_signal_text(n_variables, n_distance_variables, *record.names, record.n_intervals, *record.limits,
                           result);
}

std::string report_trait_signal_test(ResultsTable& table, const TraitSignalRecord& record, bool brownian, float mode,
                                     float clade_restriction, const std::string& clade_name, int n_randomizations,
                                     const randomization::TestSummaryMatrix& summaries, int test_number) {
  add_trait_signal_test_rows(table, record, brownian, mode, clade_restriction, clade_name, n_randomizations, summaries,
                             test_number);
  return trait_signal_test_text(brownian ? kBrownianTestMode : mode, brownian ? 0.0 : clade_restriction,
                                brownian ? std::string() : clade_name, n_randomizations, record.n_intervals,
                                *record.limits, record.n_rows, *record.names, summaries);
}

EchoedText report_individual(ResultsTable& table, const individuals::IndividualPairResults& results,
                             const IndividualReport& report, int selection_test, int n_selection_tests) {
  add_individual_rows(table, results, report, selection_test, n_selection_tests);
  return individual_text(results, report);
}

EchoedText report_individual_test(ResultsTable& table, const IndividualTestRecord& test) {
  static const char* const kLabels[individuals::kIndividualTestStatistics] = {
      "\n\nStatistic P (mean divergence between individuals, relative to the base population): the base population, "
      "then each individual-pair test",
      "\n\nStatistic R (mean divergence between individuals of distinct species, relative to the base population): "
      "the base population, then each individual-pair test"};
  static const char* const kNames[individuals::kIndividualTestStatistics] = {"P", "R"};
  const individuals::IndividualPairResults& observed = *test.observed;
  const int rows = observed.pair_counts.hi();
  EchoedText text;
  for (int statistic = 0; statistic < individuals::kIndividualTestStatistics; ++statistic) {
    const randomization::TestSummaryMatrix& summaries = test.summaries->statistics[statistic];
    text.echo(kLabels[statistic]);
    text.console += "\nWriting permutation results. Please, wait.";
    text.append(individual_test_text(observed.n_classes, rows + 1, test.n_randomizations, 1, *test.level_names, 0, 0,
                                     test.sub_clade_age, test.restriction, test.clade_name, 1, summaries));
    add_individual_test_rows(table, kNames[statistic], observed, *test.test_texts, summaries,
                             individual_test_title(test.sub_clade_age, test.restriction, test.clade_name),
                             test.n_randomizations, test.selection_test, test.n_selection_tests, test.test_number);
  }
  return text;
}

}  // namespace quorvel::reports
