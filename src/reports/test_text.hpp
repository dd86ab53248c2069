#pragma once

#include <string>

#include "core/arrays.hpp"
#include "randomization/test_description.hpp"
#include "randomization/test_summary.hpp"
#include "reports/test_rows.hpp"

namespace quorvel::reports {

using randomization::kLocationsTest;
using randomization::kPhylogenyTest;
using randomization::kTraitDistancesTest;
using randomization::TestSummary;
using randomization::TestSummaryMatrix;

/// The block of one plot-level randomization test in the main result file.
/// statistic_codes[1..n_statistics] name the statistics (1 I, 2 P/T, 3 P*/T*,
/// 4 PI/TAU); global(i, 1..4) and pairwise(i, -2..C+1) are the summaries of
/// statistic position i (pairwise: classes 1..C, C+1 average, -2 slope on
/// distance, -1 slope on ln distance).
std::string plot_test_text(const PlotTestRecord& test);

/// The block of the divergence-interval ("time decomposition") test:
/// thresholds[1..K] and the summaries p_star(row 0..3, 1..K) (rows written in
/// the order 3, 0, 1, 2) and pi(row 0..2, 1..K).
std::string interval_test_text(int n_intervals, const core::DVector& thresholds, int n_randomizations,
                               const TestSummaryMatrix& p_star, const TestSummaryMatrix& pi);

/// The block of an individual-level permutation test. test_kind 0:
/// locations or individuals; otherwise phylogeny, described by the level
/// names (restriction_age 0), the ages (> 0) or the clade name (< 0).
/// Writes n_statistics blocks, from the first row of `summaries`, with the
/// records -1..C+1 of each row (0..C+1 in the short layout, layout 0). The
/// object row shows the number of the object each record holds.
std::string individual_test_text(int n_classes, int n_statistics, int n_randomizations, int test_kind,
                                 const core::NameTable& level_names, int level_permuted, int level_within,
                                 float sub_clade_age, float restriction_age, const std::string& clade_name, int layout,
                                 const TestSummaryMatrix& summaries);

/// The line that announces an individual-level phylogeny test of n
/// randomizations, before they run: clades younger than `sub_clade_age`
/// within clades of age `restriction`, or within the clade `clade_name`
/// (restriction -1).
std::string individual_test_heading(float sub_clade_age, float restriction, const std::string& clade_name, int n);

/// The line that announces the test of selection test q (its base-population
/// text `text`).
std::string selection_test_heading(int q, const std::string& text);

}  // namespace quorvel::reports
