#pragma once

#include <string>

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

/// Largest number of intervals (in absolute value) an interval file may
/// announce, plus one.
inline constexpr int kIntervalCountLimit = 102;

/// A number of intervals and their upper limits.
struct Intervals {
  int n = 0;             ///< number of intervals (a negative number of distance classes asks for computed limits)
  core::DVector limits;  ///< [0..max(102, |n| + 3)] doubles: limit 0 = 0, then the upper limits 1..n
};

/// Reads the upper limits of the inter-plot distance classes from the line
/// after the required "DISTANCE INTERVALS n" keyword line: n (a zero or
/// negative n reads no limits; the distance classes give it its meaning) and
/// limits 1..n in file order (not required to increase). Stops the run on a
/// missing keyword line (status 1), |n| >= 102 or missing limits (status 3).
Intervals read_distance_intervals(const std::string& file_name);

/// The twin of read_distance_intervals for the "REGRESSION DISTANCE
/// INTERVALS n" keyword line: the limits of the distance classes of the
/// regressions.
Intervals read_regression_intervals(const std::string& file_name);

/// Reads the divergence interval limits after the required "DIVERGENCE
/// INTERVALS n" keyword line: limit 0 = 0; a first limit other than 0 gets a
/// limit 0 put before it (interval 1 is always divergence 0, pairs of
/// conspecifics); limits must increase; when `max_divergence` exceeds the
/// last limit, one more interval up to it is appended.
Intervals read_divergence_intervals(const std::string& file_name, float max_divergence);

/// Without a divergence interval file: two intervals, divergence 0 (pairs of
/// one species) and the rest (limits 0 and 1).
Intervals default_divergence_intervals();

/// Stops the run when the divergence interval file `file_name` announces
/// fewer than one interval on its keyword line ("DIVERGENCE INTERVALS n"):
/// the intervals are given by their upper limits, the first being 0. A file
/// that cannot be opened now, or whose count cannot be read, is left to its
/// reader.
void check_divergence_interval_count(const std::string& file_name);

/// Highest number of selection tests (in absolute value) accepted.
inline constexpr int kMaxSelectionTests = 99;
/// Highest number of pairwise selection tests of one selection test.
inline constexpr int kMaxPairwiseSelectionTests = 100;

/// Reads the numbers of the selection tests of `source`: the number T
/// written after the keyword (inline data) or after the tabulation of the
/// keyword line "SELECTION TESTS" of a file (opened with the open retry,
/// "selection tests"; a file without it stops the run with status 1), then
/// the number of pairwise tests after the first tabulation of each of the
/// |T| test lines. Returns counts [0..|T|]: entry 0 = T, entry t the number
/// of pairwise tests of test t (signed). More than kMaxSelectionTests tests,
/// more than kMaxPairwiseSelectionTests pairwise tests, and a test line
/// without its number stop the run (status 3).
core::IVector scan_selection_tests(const DataSource& source);

/// Reads the selection tests after the required "SELECTION TESTS" keyword
/// line. `counts` (scan_selection_tests) holds the number of tests T at index
/// 0 and the number k_t of pairwise tests of test t at index t (its sign
/// belongs to the test). Returns the texts [1..T], each [0..|k_t|]: row 0 the
/// base-population test, rows 1..|k_t| the pairwise tests (texts of up to
/// 1001 characters, spaces kept, line feed removed).
core::Vector<core::NameTable> read_selection_tests(const std::string& file_name, const core::IVector& counts);

}  // namespace quorvel::input
