#pragma once

#include <string>

#include "core/arrays.hpp"
#include "randomization/test_summary.hpp"
#include "reports/results_table.hpp"

namespace quorvel::reports {

/// The trait signal section as written by write_trait_signal: `result` rows
/// -1 (mean divergence), 0 (pairs) and 1..n_rows (variables), columns -9..K;
/// `names` [1..n_rows]; `distance_matrices` when the rows are trait distance
/// variables (mean trait distance per interval) rather than trait values
/// (autocorrelation coefficients). Interval 1 is not reported.
struct TraitSignalRecord {
  int n_rows = 0;
  bool distance_matrices = false;
  const core::NameTable* names = nullptr;
  int n_intervals = 0;
  const core::DVector* limits = nullptr;  ///< [1..K]
};

/// Adds the observed trait signal: per interval 2..K the number of species
/// pairs, their mean divergence and each variable's value; per variable the
/// correlation coefficients with and slopes on d, ln d, d^2 and sqrt d.
void add_trait_signal_rows(ResultsTable& table, const TraitSignalRecord& record, const core::FMatrix& result);

/// Adds a test of the trait signal (phylogeny randomization, or the Brownian
/// evolution test when `brownian`), `summaries` over the same cells;
/// `test_number` the phylogeny test's number in the instruction file.
void add_trait_signal_test_rows(ResultsTable& table, const TraitSignalRecord& record, bool brownian, float mode,
                                float clade_restriction, const std::string& clade_name, int n_randomizations,
                                const randomization::TestSummaryMatrix& summaries, int test_number);

/// The statistic name of a variable's value per interval:
/// "autocorrelation(<name>)" or "mean_distance(<name>)".
std::string signal_statistic(const std::string& variable, bool distance_matrices);

/// Title of the Brownian evolution test.
inline constexpr const char* kBrownianTestTitle = "BROWNIAN EVOLUTION TEST";

}  // namespace quorvel::reports
