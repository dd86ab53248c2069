#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "driver/run_state.hpp"
#include "partition/distance_classes.hpp"
#include "partition/distance_regression.hpp"
#include "partition/diversity_partition.hpp"
#include "partition/partition_types.hpp"
#include "partition/plot_section.hpp"
#include "reports/partition_text.hpp"

namespace quorvel::driver {

using partition::kPhylogenyAnalysis;
using partition::kPlainAnalysis;
using partition::kTraitAnalysis;
using partition::PlotSection;

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
  SectionSpecies(RunState& state, const partition::SpeciesDistances& distances);
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
PlotSection make_plot_section(const RunState& state, const partition::SpeciesDistances& distances, int analysis_kind,
                              bool use_divergence_intervals);

/// Observed partition of the section (over the run's abundances, whose row 0
/// the partition overwrites), its summary and the regression rows of I, P,
/// P* and PI.
void compute_observed_partition(RunState& state, PlotSection& section);

/// The console lines of the global statistics: "\n\nIst=%.4f\tPst=..." (or
/// the trait names) with the statistics the section reports (I alone without
/// divergences, PI alone for presence/absence data), an undefined value left
/// empty; then the lines naming the plots left out.
std::string global_statistics_line(const RunState& state, const PlotSection& section);

/// Writes the partition section of the main result file for `section`.
void write_section_report(RunState& state, const PlotSection& section, int n_statistics, int n_intervals);

}  // namespace quorvel::driver
