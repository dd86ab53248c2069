#pragma once

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "partition/plot_section.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/test_summary.hpp"
#include "randomization/value_store.hpp"

namespace quorvel::randomization {

/// What the randomizations of a plot-level section read besides its
/// observed analysis. Every pointer must outlive the runs.
struct PlotTestData {
  const partition::PlotSection* section = nullptr;
  const core::DMatrix* abundances = nullptr;  ///< species-plot data [0..P][0..S], row 0 rewritten per worker copy
  int data_type = kPresenceAbsenceData;
  int n_categories = 0;
  int category_kind = 0;                         ///< pair selection mode: plots permuted within categories
  const core::IVector* plot_category = nullptr;  ///< [0..P]
  int n_threads = 0;                             ///< "THREADS": 0 one worker per core
  SliceLedger* ledger = nullptr;                 ///< slices of the randomizations; nullptr: a whole run
  RandomGenerator* generator = nullptr;
};

/// Where the values of a plot-level partition or spatial test stand in a
/// randomization's values: per statistic code 1..4 the global within (1),
/// among (2) and st (3) values, then the regression row entries -20..C+3;
/// last the number of permuted tips that held no species.
struct PlotTestLayout {
  int n_classes = 0;
  int global(int code, int component) const { return (code - 1) * 3 + component - 1; }
  int regression(int code, int entry) const { return 12 + (code - 1) * (n_classes + 24) + entry + 20; }
  int unmapped() const { return 12 + 4 * (n_classes + 24); }
  int width() const { return unmapped() + 1; }
};

/// The values of the decomposition test at one divergence interval: P*
/// within, among, P*st and PAD (p_star rows 0..3), PI within, among and PIst
/// (pi rows 0..2), then the number of unmapped tips.
inline constexpr int kIntervalTestWidth = 8;
inline constexpr int kIntervalUnmapped = 7;

/// Summaries of a plot-level test: global [code 0..4][component 0..4] and
/// regression [code 0..4][entry -20..C+3]; records not summarized are empty.
struct PlotTestSummaries {
  TestSummaryMatrix global;
  TestSummaryMatrix regression;
};

/// A partition test of n randomizations (phylogeny or trait distances): each
/// randomized matrix gives the partition of the section again, its global
/// values of P, P* and PI and their regression rows on the observed
/// positions. Index 0 holds the observed values.
ValueStore run_partition_test(const PlotTestData& data, const MatrixRandomizer& randomizer, int n);

/// The spatial test: plot positions (or inter-plot distances) permuted, the
/// observed pairwise matrices of I, P, P*, PI regressed on them.
ValueStore run_spatial_test(const PlotTestData& data, int n);

/// The decomposition test at interval m (2..R): n randomizations of the
/// partition, keeping the values of interval m (kIntervalTestWidth).
ValueStore run_interval_test(const PlotTestData& data, const MatrixRandomizer& randomizer, int n, int m);

/// The observed decomposition values of interval m of the section (index 0
/// of a store of no randomization, for interval 1).
ValueStore observed_interval_values(const partition::PlotSection& section, int m);

/// Summaries of the decomposition test at interval m (a store of
/// run_interval_test or observed_interval_values) into column m of p_star
/// (rows 0..3: P* within, among, P*st, PAD) and pi (rows 0..2: PI within,
/// among, PIst).
void summarize_interval_test(const ValueStore& store, int m, TestSummaryMatrix& p_star, TestSummaryMatrix& pi);

/// Summaries of statistics first..last of a partition or spatial test:
/// components 1..3 when `with_globals`, regression entries -20..C+2.
PlotTestSummaries summarize_plot_test(const ValueStore& store, int n_classes, int first, int last, bool with_globals);

/// A table of summaries whose records all show as empty cells.
TestSummaryMatrix empty_summaries(int row_lo, int row_hi, int col_lo, int col_hi);

}  // namespace quorvel::randomization
