#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "driver/run_state.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"
#include "partition/diversity_partition.hpp"
#include "partition/partition_report.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::driver {

/// Analysis kinds of a plot-level section (they name the statistics of the
/// reports): no divergences, phylogenetic divergences, trait distances.
inline constexpr int kPlainAnalysis = 0;
inline constexpr int kPhylogenyAnalysis = 1;
inline constexpr int kTraitAnalysis = 2;

/// The observed analysis of one plot-level section, kept for its tests. The
/// selection, positions and distances borrow tables of the RunState, which
/// must outlive the section.
struct PlotSection {
  int n_plots = 0;
  int n_species = 0;
  int analysis_kind = kPlainAnalysis;
  /// Statistic codes 1..n_statistics that the section reports (and tests):
  /// I alone without divergences, I, P, P*, PI (or I, T, T*, TAU) otherwise.
  int n_statistics = 4;
  const core::FMatrix* distances = nullptr;  ///< divergences or trait distances; null: none
  int n_intervals = 2;                       ///< R
  core::DVector limits;                      ///< t[1..R]
  partition::PlotWeighting weighting = partition::PlotWeighting::kEqual;
  partition::PairSelection selection;
  partition::DistanceClassTable classes;
  partition::PlotPositions positions;
  /// Plots the section's pair selection keeps that hold no individual: out
  /// of the whole analysis (partition, distance classes, permutations).
  std::vector<int> empty_plots;
  partition::PartitionTables tables;  ///< observed partition
  partition::RegressionRow rows[5];   ///< observed rows [StatisticCode]
  partition::StatisticSummary summary;
};

/// Species present in a plot of the data (a plot with a non-zero total) that
/// have no distance to any other species in `distances` [0..S][0..S]: no
/// tip in the tree or the classification, no row in a divergence file, no
/// trait value. A plot-level section leaves them out as a whole. Empty with
/// fewer than two species.
std::vector<int> species_without_distances(const core::FMatrix& distances, const core::DMatrix& abundances, int n_plots,
                                           int n_species);

/// "a, b, c" for the given species, the first 20 by name and then "and n more".
std::string species_name_list(const std::vector<int>& species, const core::NameTable& names);

/// Lines of the data description naming the species of the species-plot data
/// that the plots x phylogeny section (divergences) and the plots x traits
/// section (trait distances, or with species traits the species without any
/// value of a quantitative trait) leave out; "" when none.
std::string phylogeny_left_out_description(const RunState& state);
std::string traits_left_out_description(const RunState& state);

/// For the life of the object (one plot-level section), the run's abundance
/// table holds only the species that `distances` relates to others: the
/// others leave every plot (retain_species: relative abundances renormalised,
/// totals reduced to the individuals kept), so that the four statistics of
/// the section describe one and the same set of species. The full table is
/// put back at the end. Nothing changes when no species is left out, or
/// without distances.
class SectionSpecies {
 public:
  SectionSpecies(RunState& state, const core::FMatrix* distances);
  ~SectionSpecies();
  SectionSpecies(const SectionSpecies&) = delete;
  SectionSpecies& operator=(const SectionSpecies&) = delete;

 private:
  RunState& state_;
  core::DMatrix full_;
  bool restricted_ = false;
};

/// True when plot k passes the category filter of the run's pair selection:
/// with a selection within (mode 1) or between (mode 2) named categories,
/// a plot of those categories; every plot otherwise.
bool plot_in_selection(const RunState& state, int plot);

/// Lines of the data description naming the plots of the species-plot data
/// that plot-level statistics leave out: plots without individuals (every
/// statistic), of one individual (counts: I and P, and T) and of one species
/// (P*, PI, T*, TAU), each with the statistics the run reports; "" when none.
std::string plots_left_out_description(const RunState& state);

/// Prepares the pair selection once per run: the category codes of the
/// selected categories (mode 3: the pairwise category number and its matrix,
/// read here), and with mode 1 or 2 and a first code, drops the plots of other
/// categories (total A[k][0] = 0) and sets A[0][0] to the total of the plots kept.
void prepare_plot_pairs(RunState& state);

/// A section over the run's plots: selection, plot positions, the distance
/// classes fixed from the distance intervals (when there are any), the
/// divergence intervals (`use_divergence_intervals`; otherwise 0 and 1).
PlotSection make_plot_section(const RunState& state, const core::FMatrix* distances, int analysis_kind,
                              bool use_divergence_intervals);

/// Observed partition of the section (over the run's abundances, whose row 0
/// the partition overwrites), its summary and the regression rows of I, P,
/// P* and PI.
void compute_observed_partition(RunState& state, PlotSection& section);

/// Regression rows of statistics first_code..last_code of `tables` with the
/// given plot positions (the section's classes and selection).
void regress_statistics(const PlotSection& section, int n_categories, const partition::PlotPositions& positions,
                        const partition::PartitionTables& tables, int first_code, int last_code,
                        partition::RegressionRow* rows);

/// The console lines of the global statistics: "\n\nIst=%.4f\tPst=..." (or
/// the trait names) with the statistics the section reports (I alone without
/// divergences, PI alone for presence/absence data), an undefined value left
/// empty; then the lines naming the plots left out.
std::string global_statistics_line(const RunState& state, const PlotSection& section);

/// Writes the partition section of the main result file for `section`.
void write_section_report(RunState& state, const PlotSection& section, int n_statistics, int n_intervals);

}  // namespace quorvel::driver
