#pragma once

#include <string>

#include "core/arrays.hpp"
#include "randomization/matrix_randomizer.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::traits {

/// What the trait signal of a run is measured on, by divergence interval:
/// the trait values (one row per trait variable) or, when trait distance
/// matrices are given, the distance matrices (one row per distance variable).
/// Borrowed tables.
struct SignalData {
  int n_species = 0;
  int n_intervals = 0;                                     ///< K
  const core::DVector* limits = nullptr;                   ///< [1..K]
  int n_trait_variables = 0;                               ///< V
  const core::IVector* variable_categories = nullptr;      ///< [0..V]: 0 quantitative
  const core::FMatrix* traits = nullptr;                   ///< [0..V][0..S] observed trait values
  const core::Vector<core::FMatrix>* distances = nullptr;  ///< [1..W] trait distance matrices
  int n_distance_variables = 0;                            ///< W: 0 when the signal is measured on trait values

  int n_rows() const { return n_distance_variables > 0 ? n_distance_variables : n_trait_variables; }
};

/// A signal table [-1..n_rows][randomization::kSignalStoreFirstColumn..K].
core::FMatrix signal_table(const SignalData& data);

/// Fills a signal table afresh (every cell MISSING_VALUE unless
/// analyse_trait_signal gives it) from `trait_values` (observed or
/// simulated) and `divergences` (observed or randomized).
void compute_signal(const SignalData& data, const core::FMatrix& trait_values, const core::FMatrix& divergences,
                    core::FMatrix& table);

/// A phylogeny randomization test of the signal: the species of the run are
/// permuted among their own tips (clades younger than `sub_clade_age` within
/// `restriction`, or within the clade `clade_name`), their divergences follow
/// and the signal is recomputed; n randomizations drawn from `generator`, in
/// order, evaluated by "THREADS" `n_threads` workers (those of the slice
/// `ledger`, or none in a merge; nullptr: all). Summaries
/// [0..n_rows][kSignalStoreFirstColumn..K], index 0 `observed`.
randomization::TestSummaryMatrix signal_phylogeny_test(const SignalData& data, const randomization::PhylogenyView& tree,
                                                       const core::FMatrix& observed, float sub_clade_age,
                                                       float restriction, const std::string& clade_name, int n,
                                                       int n_threads, randomization::SliceLedger* ledger,
                                                       randomization::RandomGenerator& generator);

/// The Brownian evolution test: the trait values are simulated along the
/// tree (with the observed missing values and the standard errors `se`,
/// given in the file `se_file` or all 0) and the signal recomputed on the
/// observed divergences; n replicates.
randomization::TestSummaryMatrix brownian_signal_test(const SignalData& data, const randomization::PhylogenyView& tree,
                                                      const core::FMatrix& observed, const core::FMatrix& se,
                                                      const std::string& se_file, int n, int n_threads,
                                                      randomization::SliceLedger* ledger,
                                                      randomization::RandomGenerator& generator);

}  // namespace quorvel::traits
