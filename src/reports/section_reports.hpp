#pragma once

#include <string>

#include "core/arrays.hpp"
#include "individuals/individual_pairs.hpp"
#include "individuals/individual_tests.hpp"
#include "randomization/test_summary.hpp"
#include "reports/individual_text.hpp"
#include "reports/partition_text.hpp"
#include "reports/report_files.hpp"
#include "reports/results_table.hpp"
#include "reports/test_rows.hpp"
#include "reports/trait_signal_rows.hpp"

namespace quorvel::reports {

// Each result of a section is rendered once: the text of its section of the
// main result file is returned and its values go to the results table, from
// the same record, so the two never disagree.

/// The partition section of a plot-level analysis.
std::string report_partition(ResultsTable& table, const PartitionReportInput& result);

/// A plot-level randomization test (spatial, phylogeny or trait distances).
std::string report_plot_test(ResultsTable& table, const PlotTestRecord& test);

/// The phylogeny randomization test by divergence intervals: p_star rows
/// 0..3 (P* within, among, P*st, PAD) and pi rows 0..2 (PI within, among,
/// PIst) over intervals 1..K with thresholds[1..K].
std::string report_interval_test(ResultsTable& table, int n_intervals, const core::DVector& thresholds,
                                 int n_randomizations, const randomization::TestSummaryMatrix& p_star,
                                 const randomization::TestSummaryMatrix& pi);

/// The trait signal by divergence interval (`result` as analyse_trait_signal
/// fills it: rows -1, 0 and 1..n_rows, columns -9..K).
std::string report_trait_signal(ResultsTable& table, const TraitSignalRecord& record, const core::FMatrix& result);

/// A test of the trait signal: a phylogeny randomization test (permutation
/// `mode` within `clade_restriction`) or, when `brownian`, the Brownian
/// evolution test; `test_number` the phylogeny test's number (0 for the
/// Brownian test).
std::string report_trait_signal_test(ResultsTable& table, const TraitSignalRecord& record, bool brownian, float mode,
                                     float clade_restriction, const std::string& clade_name, int n_randomizations,
                                     const randomization::TestSummaryMatrix& summaries, int test_number);

/// The individual-level block of selection test q of n_selection_tests.
EchoedText report_individual(ResultsTable& table, const individuals::IndividualPairResults& results,
                             const IndividualReport& report, int selection_test, int n_selection_tests);

/// An individual-level phylogeny permutation test of one selection test.
struct IndividualTestRecord {
  const individuals::IndividualPairResults* observed = nullptr;
  const core::NameTable* test_texts = nullptr;  ///< [0..|T|] texts of the selection test
  const individuals::IndividualTestSummaries* summaries = nullptr;
  const core::NameTable* level_names = nullptr;  ///< [0..]: the levels of a test within levels
  float sub_clade_age = 0;
  float restriction = 0;  ///< > 0 an age, -1 the clade `clade_name`
  std::string clade_name;
  int n_randomizations = 0;
  int selection_test = 0;
  int n_selection_tests = 0;
  int test_number = 0;  ///< the phylogeny test's number in the instruction file
};

/// The blocks of the statistics P and R of an individual-level test, each
/// after its label (also shown on the console).
EchoedText report_individual_test(ResultsTable& table, const IndividualTestRecord& test);

}  // namespace quorvel::reports
