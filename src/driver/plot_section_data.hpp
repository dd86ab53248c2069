#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "driver/run_inputs.hpp"
#include "input/community_matrix.hpp"
#include "input/plot_list.hpp"
#include "partition/plot_section.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

using partition::kPhylogenyAnalysis;
using partition::kPlainAnalysis;
using partition::kTraitAnalysis;
using partition::PlotSection;

/// The data of one plot-level section, derived from the data set for that
/// section alone and changed by nothing else: its plots (those of the
/// community data, or the position groups at analysis level 3), the
/// category codes of the run's pair selection, and its own abundance table.
/// In that table the plots the selection leaves out have a total of 0, the
/// species without distances are left out (phylogeny::retain_species), and
/// the partition writes the section's pooled sample into row 0.
struct PlotSectionData {
  input::Community community;
  input::PlotList plots;                               ///< positions and categories
  const core::DMatrix* plot_distances = nullptr;       ///< distances read from a file; null: coordinates
  const core::FMatrix* pairwise_categories = nullptr;  ///< categories of plot pairs (selection mode 3)
  int pair_key1 = 0;                                   ///< first category code (mode 3: the pairwise category)
  int pair_key2 = 0;                                   ///< second category code

  int n_plots() const { return community.n_plots(); }
};

/// The data of a plot-level section whose species are related by
/// `distances` (divergences or trait distances; null: no distances, every
/// species kept), from the run's data set, which it leaves as it is.
PlotSectionData plot_section_data(const RunInputs& run, const partition::SpeciesDistances& distances);

/// A section over the plots of `data`: its selection, plot positions, the
/// distance classes fixed from the distance intervals, the divergence
/// intervals (`use_divergence_intervals`; otherwise 0 and 1), its tables.
PlotSection make_plot_section(const RunInputs& run, const PlotSectionData& data,
                              const partition::SpeciesDistances& distances, int analysis_kind,
                              bool use_divergence_intervals);

/// Computes the observed partition of the section on its own abundances,
/// shows its global statistics on the console (with the plots left out) and
/// writes its partition report (the divergence intervals with divergences
/// only).
void report_observed_partition(const RunInputs& run, PlotSectionData& data, PlotSection& section,
                               reports::ResultsTable& table);

/// Writes the pairwise values of the section to the file of "WRITE PAIRWISE
/// INDICES": the first block of a run creates it, a later block is appended.
void write_pairwise_values(const RunInputs& run, const PlotSectionData& data, const PlotSection& section);

}  // namespace quorvel::driver
