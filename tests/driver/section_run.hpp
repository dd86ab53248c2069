#pragma once

#include <string>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "driver/run_inputs.hpp"
#include "input/interval_files.hpp"
#include "randomization/random_generator.hpp"
#include "reports/results_table.hpp"

namespace quorvel::driver {

/// A run as the sections read it, built by hand from a small data set: the
/// tests of a section need nothing else of a run.
struct SectionRun {
  instructions::RunSettings settings = no_tests();
  ResolvedOutputs outputs{"results.txt"};
  DerivedCodes codes;
  DataSet data;
  randomization::RandomGenerator generator = randomization::make_random_generator(-4242);
  reports::ResultsTable table;

  /// Without a divergence interval file: the intervals 0 and 1.
  SectionRun() { data.intervals.divergence = input::default_divergence_intervals(); }

  RunInputs inputs() const { return {settings, outputs, codes, data}; }

  /// Settings of no test, with room for the phylogeny test definitions.
  static instructions::RunSettings no_tests() {
    instructions::RunSettings settings;
    settings.test_species_pool = core::vector(1, kMaxPhylogenyTests);
    settings.test_restriction = core::vector(1, kMaxPhylogenyTests);
    settings.test_age_limit = core::vector(1, kMaxPhylogenyTests);
    settings.test_clade_names = core::NameTable(1, kMaxPhylogenyTests);
    return settings;
  }
};

/// Plots of counts `counts` [plot][species] (P x S, plots and species
/// 1-based in the table made) as community data of relative abundances,
/// column 0 the plot totals and row 0 the pooled sample; plots named
/// "P1".."PP", species "s1".."sS".
template <std::size_t P, std::size_t S>
input::Community count_community(const double (&counts)[P][S]) {
  const int n_plots = static_cast<int>(P), n_species = static_cast<int>(S);
  input::Community community;
  community.plot_names = core::name_table(0, n_plots);
  community.species_names = core::name_table(0, n_species);
  community.abundances = core::dmatrix(0, n_plots, 0, n_species);
  community.data_type = kCountData;
  core::DMatrix& A = community.abundances;
  for (int j = 1; j <= n_species; ++j) community.species_names[j] = "s" + std::to_string(j);
  for (int k = 1; k <= n_plots; ++k) {
    community.plot_names[k] = "P" + std::to_string(k);
    for (int j = 1; j <= n_species; ++j) {
      A(k, j) = counts[k - 1][j - 1];
      A(k, 0) += A(k, j);
      A(0, j) += A(k, j);
    }
    A(0, 0) += A(k, 0);
  }
  for (int k = 0; k <= n_plots; ++k)
    for (int j = 1; j <= n_species && A(k, 0) != 0.0; ++j) A(k, j) /= A(k, 0);
  return community;
}

}  // namespace quorvel::driver
