#pragma once

#include <string>

#include "core/arrays.hpp"
#include "individuals/individual_pairs.hpp"
#include "phylogeny/tree_node.hpp"
#include "randomization/random_generator.hpp"
#include "randomization/randomization_runner.hpp"
#include "randomization/test_summary.hpp"

namespace quorvel::individuals {

/// The two statistics of an individual-level phylogeny test: P (mean
/// divergence) and R (mean divergence of heterospecific pairs), each
/// relative to the base population.
inline constexpr int kIndividualTestStatistics = 2;

/// The summaries of the species turnover of one selection test, statistic P
/// (`statistics[0]`) and R (`statistics[1]`): rows 0 (base population) and
/// 1..T (individual-pair tests), records -1 (the whole base population), 0
/// (all distances), 1 (mean over the classes) and 2..C+1 (classes 1..C).
struct IndividualTestSummaries {
  randomization::TestSummaryMatrix statistics[kIndividualTestStatistics];
};

/// A phylogeny permutation test of the species turnover of `observed`: n
/// randomized trees (clades younger than `sub_clade_age` permuted within
/// `restriction`, or within the clade `clade_name`; randomization::
/// permute_clades), drawn in order from `generator` and evaluated by
/// "THREADS" `n_threads` workers (those of the slice `ledger`, or none in a
/// merge; nullptr: all), each giving the divergences of the species
/// (tips `leaf_of_species` [0..S]) and the turnover of every row.
IndividualTestSummaries run_individual_tree_test(const phylogeny::NodeTable& nodes, int n_nodes, int n_tips,
                                                 const core::IVector& leaf_of_species,
                                                 const IndividualPairResults& observed, float sub_clade_age,
                                                 float restriction, const std::string& clade_name, int n, int n_threads,
                                                 randomization::SliceLedger* ledger,
                                                 randomization::RandomGenerator& generator);

}  // namespace quorvel::individuals
