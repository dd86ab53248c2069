#pragma once

#include <cstdint>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "individuals/logic_test.hpp"

namespace quorvel::individuals {

/// The individuals of the list: species 1..S of each individual (0 = none),
/// exact coordinates and the variables the selection tests read.
struct IndividualInput {
  int n_individuals = 0;
  int n_species = 0;
  const core::IVector* species_of = nullptr;  // [0..N]
  const core::DVector* x = nullptr;           // [0..N]
  const core::DVector* y = nullptr;           // [0..N]
  LogicData logic;
};

/// Classes of distance between individuals: upper limits [1..n] (doubles).
/// A pair farther apart than the last limit opens one extra class, once in a
/// run; its limit then follows the largest distance met (x 1.000001) in this
/// and later analyses, which therefore share one table.
struct PairDistanceClasses {
  int n = 0;
  core::DVector limits;  // [0..n+1] at least
  bool extra_class_opened = false;
};

/// Pair counts kept by species pair for one set of pairs (all kept pairs, or
/// the pairs of one individual-pair test): cell (c, s * (S + 1) + t) counts
/// the pairs of class c whose first individual (earlier in the list) is of
/// species s and second of species t (0 = no species). Enough to recompute
/// the species turnover for any divergence matrix.
using SpeciesPairCounts = core::Matrix<std::int64_t>;

/// Species turnover of one row (all pairs, or one pair test) per class
/// 0..n: I (heterospecific pairs), P (mean divergence) and R (mean
/// divergence of heterospecific pairs), each 1 - value / value of all pairs.
struct TurnoverRow {
  core::DVector I, P, R;  // [0..n], MISSING_VALUE where undefined
};

/// Turnover rows 0 (all pairs) and 1..T (individual-pair tests), with the
/// values of all pairs (H0, D0, R0) that the rows are relative to.
struct SpeciesTurnover {
  core::Vector<TurnoverRow> rows;
  double total_H = MISSING_VALUE, total_D = MISSING_VALUE, total_R = MISSING_VALUE;
};

/// Everything analyse_individual_pairs computes for one selection test.
/// Classes are 0..n (0 = all distances), regression intervals 1..m, species
/// 1..S, pair tests 1..|T|.
struct IndividualPairResults {
  int n_species = 0;
  int n_classes = 0;
  int n_regression = 0;
  int n_pair_tests = 0;                           // T: > 0 individual pairs, < 0 species pairs, 0 none
  int n_kept = 0;                                 // base population
  core::IVector kept_per_species;                 // [0..S]
  core::DVector class_pairs;                      // [0..n] pairs of each class, each counted once
  core::DVector class_mean_distance;              // [0..n]
  core::DVector class_limit;                      // [0..n] upper limit of each class
  core::DVector class_max_observed;               // [0..n] largest distance met in each class
  core::DVector regression_pairs;                 // [1..m]
  core::DVector regression_low, regression_high;  // bounds [1..m]
  core::DVector regression_mean_distance, regression_mean_ln_distance;  // [1..m]
  core::D3Tensor autocorrelation;     // [1..S][1..S][0..n], species pairs s <= t (both filled)
  core::D3Tensor slope_distance;      // [1..S][1..S][1..m]
  core::D3Tensor slope_ln_distance;   // [1..S][1..S][1..m]
  core::DMatrix species_pair_weight;  // [1..S][1..S]
  core::DMatrix test_values;          // [1..|T|][0..n]
  core::DVector test_counts;          // [1..|T|]
  double test_total = 0;              // species-pair tests: species pairs with a weight
  // Turnover (when divergences exist): rows 0 (all pairs) and 1..T (T > 0).
  bool has_turnover = false;
  core::Vector<SpeciesPairCounts> pair_counts;  // [0..rows]
  SpeciesTurnover turnover;
};

/// Analyses the pairs of individuals of the base population selected by test
/// 0 of `tests` (rows 0..|T| of one selection test): distance classes (which
/// may gain their extra class, see PairDistanceClasses), autocorrelation of
/// species membership by class, its slopes on distance and ln(distance)
/// within the regression intervals (bounds [0..m]; a last bound of 0 means no
/// upper bound), the pair tests and, when `divergences` [0..S][0..S] exist
/// (not an empty or 0..0 table), the species turnover. One pass over the pairs.
void analyse_individual_pairs(const IndividualInput& input, const LogicTestTable& tests, int n_pair_tests,
                              PairDistanceClasses& classes, int n_regression, const core::DVector& regression_bounds,
                              const core::FMatrix& divergences, IndividualPairResults& out);

/// The species turnover of the pairs counted in `counts` [0..rows] (classes
/// 0..n_classes, species 0..n_species) with `divergences`: the observed
/// matrix, or a randomized one in the permutation tests. Pairs involving an
/// individual without species are left out, and pairs whose divergence is
/// MISSING_VALUE count for I only.
SpeciesTurnover compute_species_turnover(const core::FMatrix& divergences,
                                         const core::Vector<SpeciesPairCounts>& counts, int n_species, int n_classes);

}  // namespace quorvel::individuals
