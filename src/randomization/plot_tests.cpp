#include "randomization/plot_tests.hpp"

#include <utility>

#include "core/console.hpp"
#include "core/format.hpp"
#include "partition/plot_section.hpp"
#include "randomization/permutation_units.hpp"
#include "randomization/phylogeny_permutation.hpp"

namespace quorvel::randomization {

namespace {

using partition::kStatisticI;
using partition::kStatisticP;
using partition::kStatisticPI;

PlotTestSummaries summarize_partition_test(const PlotTestData& data, const MatrixRandomizer& randomizer, int n) {
  // Every randomization is kept: the partition leaves out of each statistic
  // the plots without a value of it, so a randomization never empties a
  // statistic that the observed data define.
  return summarize_plot_test(run_partition_test(data, randomizer, n), data.section->classes.classes, kStatisticP,
                             kStatisticPI, true);
}

}  // namespace

core::FVector plot_test_weights(const PlotTestData& data, const PhylogenyView* tree, float mode) {
  const partition::PlotSection& section = *data.section;
  return permutation_weights(*data.abundances, partition::plots_in_selection(section),
                             tree ? tree->n_tips() : section.n_species, tree ? &tree->tree->species_of_tip : nullptr,
                             mode);
}

bool run_phylogeny_plot_test(const PlotTestData& data, const PhylogenyView& tree, bool has_tree,
                             const PlotTestDefinition& test, int n, PlotTestSummaries& summaries) {
  if (has_tree) {
    PhylogenyPermutation permutation;
    permutation.sub_clade_age = test.sub_clade_age;
    permutation.restriction = test.restriction;
    permutation.clade_name = test.clade_name;
    permutation.mode = test.mode;
    permutation.weights =
        test.mode != kPermuteAllSpecies ? plot_test_weights(data, &tree, test.mode) : core::vector(0, tree.n_tips());
    // A dated tree or classification: the clade view the section's partition
    // reads.
    summaries = summarize_partition_test(
        data, phylogeny_randomizer(tree, permutation, data.section->distances.clades, *data.generator), n);
    return true;
  }
  if (test.restriction != kWholeTree) return false;
  summaries = summarize_partition_test(data,
                                       matrix_randomizer(*tree.divergences, tree.n_species, test.mode,
                                                         plot_test_weights(data, nullptr, test.mode), *data.generator),
                                       n);
  return true;
}

PlotTestSummaries run_trait_plot_test(const PlotTestData& data, const PlotTestDefinition& test, int n) {
  const partition::PlotSection& section = *data.section;
  core::FVector weights = test.mode != kPermuteAllSpecies ? plot_test_weights(data, nullptr, test.mode)
                                                          : core::vector(0, section.n_species);
  return summarize_partition_test(
      data,
      matrix_randomizer(*section.distances.matrix, section.n_species, test.mode, std::move(weights), *data.generator),
      n);
}

PlotTestSummaries run_spatial_plot_test(const PlotTestData& data, int n) {
  return summarize_plot_test(run_spatial_test(data, n), data.section->classes.classes, kStatisticI, kStatisticPI,
                             false);
}

IntervalTestSummaries run_time_decomposition(const PlotTestData& data, const PhylogenyView& tree, int n) {
  const partition::PlotSection& section = *data.section;
  const int R = section.n_intervals;
  IntervalTestSummaries summaries{empty_summaries(0, 3, 0, R), empty_summaries(0, 2, 0, R)};
  PhylogenyPermutation permutation;
  permutation.mode = kPermuteSampledSpecies;
  permutation.weights = plot_test_weights(data, &tree, kPermuteSampledSpecies);
  for (int m = 2; m <= R; ++m) {
    core::console_print(
        core::format("\n\nPhylogeny randomization test for time decomposition: clades age<=%f (%i random.)\n",
                     section.limits[m], n));
    permutation.restriction = static_cast<float>(section.limits[m]);
    const MatrixRandomizer randomizer =
        phylogeny_randomizer(tree, permutation, section.distances.clades, *data.generator);
    summarize_interval_test(run_interval_test(data, randomizer, n, m), m, summaries.p_star, summaries.pi);
  }
  summarize_interval_test(observed_interval_values(section, 1), 1, summaries.p_star, summaries.pi);
  return summaries;
}

}  // namespace quorvel::randomization
