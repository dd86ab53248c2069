#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"
#include "partition/partition_types.hpp"
#include "partition/species_distances.hpp"

namespace quorvel::partition {

/// Global values of each statistic, doubles [0..4][0..4]: row = StatisticCode,
/// column 1 within, 2 among, 3 st, 4 a further value (MISSING_VALUE unless set).
using StatisticSummary = core::DMatrix;

/// A summary table with every cell MISSING_VALUE.
StatisticSummary make_statistic_summary();

/// Copies within (table [0][0]), among ([1][0]) and st (matrix [0][0]) of the
/// four statistics of a partition into `summary`.
void fill_statistic_summary(const PartitionTables& tables, StatisticSummary& summary);

/// Analysis kinds of a plot-level section (they name the statistics of the
/// reports): no divergences, phylogenetic divergences, trait distances.
inline constexpr int kPlainAnalysis = 0;
inline constexpr int kPhylogenyAnalysis = 1;
inline constexpr int kTraitAnalysis = 2;

/// The observed analysis of one plot-level section, kept for its tests. The
/// selection, positions and distances borrow tables of the run, which must
/// outlive the section.
struct PlotSection {
  int n_plots = 0;
  int n_species = 0;
  int analysis_kind = kPlainAnalysis;
  /// Statistic codes 1..n_statistics that the section reports (and tests):
  /// I alone without divergences, I, P, P*, PI (or I, T, T*, TAU) otherwise.
  int n_statistics = 4;
  SpeciesDistances distances;  ///< divergences or trait distances (none: 0 within, 1 between species)
  int n_intervals = 2;         ///< R
  core::DVector limits;        ///< t[1..R]
  PlotWeighting weighting = PlotWeighting::kEqual;
  PairSelection selection;
  DistanceClassTable classes;
  PlotPositions positions;
  /// Plots the section's pair selection keeps that hold no individual: out
  /// of the whole analysis (partition, distance classes, permutations).
  std::vector<int> empty_plots;
  PartitionTables tables;  ///< observed partition
  RegressionRow rows[5];   ///< observed rows [StatisticCode]
  StatisticSummary summary;
};

/// The plots that take part in the analysis: with a selection within (mode
/// 1) or between (mode 2) named categories, the plots of those categories;
/// every plot otherwise.
std::vector<int> plots_in_selection(const PlotSection& section);

/// Fixes the distance classes of the section (n_classes of them with
/// `class_limits` [1..n_classes], over its selected pairs of plots other
/// than its empty plots) and allocates its tables, every regression row and
/// summary value MISSING_VALUE.
void prepare_plot_section(PlotSection& section, int n_classes, const core::DVector& class_limits);

/// The observed partition of the section over `abundances` [0..n][0..S]
/// (whose row 0 the partition overwrites with the pooled sample), its
/// summary, and the regression rows of I, P, P* and PI.
void compute_observed_partition(PlotSection& section, core::DMatrix& abundances, int data_type, int n_categories);

/// Regression rows of statistics first_code..last_code of `tables` with the
/// given plot positions (the section's classes and selection).
void regress_statistics(const PlotSection& section, int n_categories, const PlotPositions& positions,
                        const PartitionTables& tables, int first_code, int last_code, RegressionRow* rows);

/// The same over pairs fixed beforehand (regression_pairs of the section,
/// computed once for every randomization that keeps the plots in place).
void regress_statistics(const RegressionPairs& pairs, const PartitionTables& tables, int first_code, int last_code,
                        RegressionRow* rows);

}  // namespace quorvel::partition
