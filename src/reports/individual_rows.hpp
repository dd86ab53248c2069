#pragma once

#include <string>

#include "individuals/individual_pairs.hpp"
#include "randomization/test_summary.hpp"
#include "reports/individual_text.hpp"
#include "reports/results_table.hpp"

namespace quorvel::reports {

/// Adds the values of the individual-level block of selection test
/// `selection_test` (1..n_selection_tests; the statistic names carry its
/// number when there are several): distance classes and regression
/// intervals; the pair tests (frequency, or weighted autocorrelation of
/// species pairs, by class) or the within-species autocorrelations with their
/// slopes; and the species turnover I, P, R. Class 0 (all distances) has the
/// scope "pair".
void add_individual_rows(ResultsTable& table, const individuals::IndividualPairResults& results,
                         const IndividualReport& report, int selection_test, int n_selection_tests);

/// Adds a phylogeny permutation test of the species turnover `statistic`
/// ("P" or "R") of one selection test: `summaries` rows 0 (base population)
/// and 1..T (individual-pair tests), records -1 (the total diversity), 0 (all
/// distances), 1 (mean over the classes) and 2..C+1 (classes 1..C);
/// `test_number` is the phylogeny test's number in the instruction file.
void add_individual_test_rows(ResultsTable& table, const std::string& statistic,
                              const individuals::IndividualPairResults& observed, const core::NameTable& test_texts,
                              const randomization::TestSummaryMatrix& summaries, const std::string& title,
                              int n_randomizations, int selection_test, int n_selection_tests, int test_number);

/// Title of a phylogeny permutation test at the individual level: clades of
/// age up to `sub_clade_age` permuted within clades of age `restriction`
/// (> 0) or within the clade `clade_name` (restriction < 0).
std::string individual_test_title(float sub_clade_age, float restriction, const std::string& clade_name);

}  // namespace quorvel::reports
