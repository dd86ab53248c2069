#pragma once

#include "individuals/individual_pairs.hpp"
#include "individuals/individual_results.hpp"
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
                         const individuals::IndividualReport& report, int selection_test, int n_selection_tests);

}  // namespace quorvel::reports
