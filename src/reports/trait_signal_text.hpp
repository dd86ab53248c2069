#pragma once

#include <string>

#include "core/arrays.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::reports {

/// Permutation mode value that marks the Brownian evolution test.
inline constexpr double kBrownianTestMode = -2;

/// The trait signal section ("ANALYSIS OF : PHYLOGENY + TRAITS data"). `names` [1..rows] are the trait variable names
/// (W == 0, rows = n_variables) or the trait distance variable names (W > 0, rows = W); `limits` [1..K]; `result` as
/// filled by analyse_trait_signal. Interval 1 is not written; MISSING_VALUE cells are empty.
std::string trait_signal_text(int n_variables, int n_distance_variables, const core::NameTable& names, int n_intervals,
                              const core::DVector& limits, const core::FMatrix& result);

/// The results of a test of the trait signal.
/// `mode` is the permutation mode of a phylogeny randomization test (-1 all
/// tree species, 0 sampled species, R > 1 similar abundances, -R similar
/// occurrences) or kBrownianTestMode. `clade_restriction` -1: within the clade
/// `clade_name`; > 0: within clades younger than that age; 0: whole tree.
/// `summaries` span rows 1..n_rows and columns -9..K (one per cell of the
/// signal table); a cell whose observed value is MISSING_VALUE is written
/// empty in every row.
std::string trait_signal_test_text(double mode, double clade_restriction, const std::string& clade_name,
                                   int n_randomizations, int n_intervals, const core::DVector& limits, int n_rows,
                                   const core::NameTable& names, const randomization::TestSummaryMatrix& summaries);

}  // namespace quorvel::reports
