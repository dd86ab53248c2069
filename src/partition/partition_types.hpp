#pragma once

#include <cstdint>
#include <vector>

#include "core/arrays.hpp"
#include "core/constants.hpp"

namespace quorvel::partition {

/// The statistics of a partition, used as indices of the pairwise matrices,
/// the interval tables, the summaries and the regression rows. For traits the
/// same codes stand for I, T, T* and TAU.
enum StatisticCode : int { kStatisticI = 1, kStatisticP = 2, kStatisticPStar = 3, kStatisticPI = 4 };

/// How plots are weighted in the global within/among values: 0 the same weight
/// for every plot holding something, 1 and 2 the plot totals (the two give
/// identical results).
enum class PlotWeighting : int { kEqual = 0, kPlotTotal = 1, kPairTotal = 2 };

/// Data type codes of the abundance table (core/constants.hpp).
using quorvel::kCountData;
using quorvel::kPresenceAbsenceData;
using quorvel::kRelativeAbundanceData;

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

/// The five quantities of the interval tables, in the order the partition
/// computes them: proportion of pairs of individuals (I), mean divergence
/// between individuals (P), between individuals of distinct species (P*),
/// proportion of pairs of species (S), mean divergence between species (PI).
enum PartitionQuantity : int {
  kQuantityI = 0,
  kQuantityP = 1,
  kQuantityPStar = 2,
  kQuantityS = 3,
  kQuantityPI = 4,
  kPartitionQuantities = 5
};

/// The quantity a StatisticCode is made of.
int quantity_of_statistic(int code);

/// Plots left out of a quantity in a column of the interval tables (column 0
/// every divergence, m the values up to t[m]) because they hold individuals
/// but have no within-plot value there: a plot of one individual (counts),
/// a plot of fewer than two species (P*, S, PI), in a column m no two
/// distinct species at most t[m] apart. Such a plot is out of both the
/// within and the among value of that column, and its pairwise values of the
/// statistic are missing. P*, S and PI have no column 1 (one species): no
/// plot is named there. Plots without weight (empty, or left out by a
/// category selection) are never named.
class LeftOutPlots {
 public:
  /// Clears the table for plots 1..n_plots and columns 0..n_columns-1.
  void reset(int n_plots, int n_columns);
  void add(int quantity, int column, int plot) { flags_[index(quantity, column, plot)] = 1; }
  /// The plots left out of a quantity in a column, in increasing order.
  std::vector<int> plots(int quantity, int column) const;

 private:
  std::size_t index(int quantity, int column, int plot) const {
    return (static_cast<std::size_t>(quantity) * static_cast<std::size_t>(n_columns_) +
            static_cast<std::size_t>(column)) *
               (static_cast<std::size_t>(n_plots_) + 1) +
           static_cast<std::size_t>(plot);
  }
  int n_plots_ = 0;
  int n_columns_ = 0;
  std::vector<std::uint8_t> flags_;
};

/// Every output of one partition.
struct PartitionTables {
  /// [StatisticCode 1..4]; entry 0 unused.
  PairwiseStatMatrix pairwise[5];
  /// [StatisticCode 1..4] the I (rows 0-1), P, P* and PI tables; entry 0 unused.
  IntervalPartition interval[5];
  /// Proportions of pairs of species by interval (row 2: plain pair counts).
  IntervalPartition species_pairs;
  /// Plots left out of each quantity and column.
  LeftOutPlots left_out;
};

/// Allocates the tables of a partition over plots 0..n_plots, pairwise
/// matrices filled with MISSING_VALUE, interval tables with zeros.
PartitionTables make_partition_tables(int n_plots);

/// Sets every cell of the four pairwise matrices to MISSING_VALUE again.
void clear_pairwise_matrices(PartitionTables& tables);

}  // namespace quorvel::partition
