#pragma once

#include <string>

#include "core/arrays.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/plot_test_runs.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::randomization {

// The randomization tests of a plot-level section, each from its definition
// to its summaries: which randomizations it draws, on which randomizer, and
// what is summarized.

/// A phylogeny (or trait distance) test as the instruction file defines it.
struct PlotTestDefinition {
  float sub_clade_age = 0;  ///< clades younger than this move as units (0: single tips)
  float restriction = 0;    ///< kWholeTree, kNamedClade (`clade_name`) or an age
  std::string clade_name;
  float mode = 0;  ///< PermutationMode
};

/// Weights of the permuted units for permutation `mode`, over the plots of
/// the section's pair selection: the tips of `tree` (tips without a species
/// weigh 0), or the species without a tree.
core::FVector plot_test_weights(const PlotTestData& data, const PhylogenyView* tree, float mode);

/// A phylogeny test of n randomizations: species permuted among the tips of
/// the tree (`has_tree`; with a tree the partition can climb, the species are
/// placed on tips), or over the divergence matrix of `tree` without one
/// (whole-tree tests only). False, drawing nothing, for a test within clades
/// without a tree.
bool run_phylogeny_plot_test(const PlotTestData& data, const PhylogenyView& tree, bool has_tree,
                             const PlotTestDefinition& test, int n, PlotTestSummaries& summaries);

/// A trait distance test of n randomizations: species permuted over the
/// section's distance matrix.
PlotTestSummaries run_trait_plot_test(const PlotTestData& data, const PlotTestDefinition& test, int n);

/// The spatial test of n randomizations.
PlotTestSummaries run_spatial_plot_test(const PlotTestData& data, int n);

/// Summaries of the time decomposition: P* rows 0..3 and PI rows 0..2 over
/// the divergence intervals 1..R of the section.
struct IntervalTestSummaries {
  TestSummaryMatrix p_star;
  TestSummaryMatrix pi;
};

/// The time decomposition: for each divergence interval m = 2..R of the
/// section, n randomizations permute the sampled species within the clades
/// whose stem crosses t[m], which leaves the structure older than t[m]
/// intact (each interval announced on the console); interval 1 (one
/// species) keeps its observed values alone.
IntervalTestSummaries run_time_decomposition(const PlotTestData& data, const PhylogenyView& tree, int n);

}  // namespace quorvel::randomization
