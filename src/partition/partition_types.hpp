#pragma once

#include "core/arrays.hpp"

namespace quorvel::partition {

/// The statistics of a partition, used as indices of the pairwise matrices,
/// the interval tables, the summaries and the regression rows. For traits the
/// same codes stand for I, T, T* and TAU.
enum StatisticCode : int { kStatisticI = 1, kStatisticP = 2, kStatisticPStar = 3, kStatisticPI = 4 };

/// How plots are weighted in the global within/among values: 0 the same weight
/// for every plot holding something, 1 and 2 the plot totals (the two give
/// identical results).
enum class PlotWeighting : int { kEqual = 0, kPlotTotal = 1, kPairTotal = 2 };

/// Data type codes of the abundance table.
inline constexpr int kPresenceAbsenceData = 0;
inline constexpr int kRelativeAbundanceData = 1;
inline constexpr int kCountData = 2;

/// Largest number of divergence intervals an interval file can give; the
/// interval tables have columns 0..kMaxDivergenceIntervals.
inline constexpr int kMaxDivergenceIntervals = 103;

/// Which pairs of plots enter the partition, the distance classes and the
/// regressions. Mode 0 every pair; 1 pairs within one category (only category
/// key1 when key1 != 0); 2 pairs of different categories (only between key1
/// and key2 when key1 != 0); 3 pairs whose pairwise category is key1. The
/// tables are borrowed: they must outlive the selection.
struct PairSelection {
  int mode = 0;
  const core::IVector* categories = nullptr;  ///< c[1..n], modes 1 and 2
  int key1 = 0;
  int key2 = 0;
  const core::FMatrix* pairwise_categories = nullptr;  ///< G[0..n][0..n], mode 3

  /// True when plots k and l (k != l, 1-based) form a selected pair.
  bool selects(int k, int l) const;
};

/// Pairwise statistic of every plot pair, floats [0..n][0..n], symmetric;
/// element [0][0] holds the global st statistic. Unselected pairs keep their
/// preset MISSING_VALUE.
using PairwiseStatMatrix = core::FMatrix;

/// Decomposition of one quantity by divergence interval, doubles
/// [0..2][0..kMaxDivergenceIntervals]: row 0 within plots, row 1 among plots,
/// row 2 species pool; column 0 every divergence, column m interval m.
using IntervalPartition = core::DMatrix;

/// Every output of one partition.
struct PartitionTables {
  /// [StatisticCode 1..4]; entry 0 unused.
  PairwiseStatMatrix pairwise[5];
  /// [StatisticCode 1..4] the I (rows 0-1), P, P* and PI tables; entry 0 unused.
  IntervalPartition interval[5];
  /// Proportions of pairs of species by interval (row 2: plain pair counts).
  IntervalPartition species_pairs;
};

/// Allocates the tables of a partition over plots 0..n_plots, pairwise
/// matrices filled with MISSING_VALUE, interval tables with zeros.
PartitionTables make_partition_tables(int n_plots);

/// Sets every cell of the four pairwise matrices to MISSING_VALUE again.
void clear_pairwise_matrices(PartitionTables& tables);

}  // namespace quorvel::partition
