#pragma once

#include <memory>
#include <vector>

#include "core/arrays.hpp"
#include "partition/distance_regression.hpp"
#include "partition/plot_section.hpp"
#include "phylogeny/clade_tree.hpp"

namespace quorvel::partition {

/// What a phylogeny randomization test keeps of each randomized partition:
/// the global within and among values and the st statistic of P, P* and PI
/// (StatisticCode 2..4; entry 1 unused: a permutation of the phylogeny cannot
/// change I), and their regression rows on the observed positions.
struct KeptPartition {
  double within[5] = {};
  double among[5] = {};
  float st[5] = {};
  RegressionRow rows[5];
};

/// The partition of a section's plots again, for the species placed on other
/// tips of its dated tree (or classification), computing only what a
/// phylogeny test keeps: the values of P, P* and PI over all divergences. It
/// gives the values compute_diversity_partition gives for the same placement
/// (to rounding), at a fraction of the cost:
/// - everything that does not depend on where the species sit is computed once
///   per test: the plots' species lists, weights and pairs, the abundance
///   products of the species two plots share (divergence 0 between distinct
///   species needs two species on one tip or a node of age 0), and, for the
///   regressions, the distance class, distance and ln distance of every pair;
/// - per randomization, each plot's within values come from one pass up the
///   tree (the pairs of its species meeting at each node); for the pairs, one
///   pass down the tree gives for every tip the divergence-weighted sums over
///   the plot's species (the channels), and a pair (k, l) costs one
///   multiply-add and one addition per species of l;
/// - no value of I, no pairwise matrix, no mirror store: each pair's
///   statistics go straight into the global sums and the regressions.
/// The object is read-only once built: one per test, shared by the workers,
/// each with its Workspace.
class PlacementPartition {
 public:
  /// `abundances` [0..n][0..s] of the section (column 0 the totals);
  /// `n_categories` for the pooled regressions; `clades` the clade view of the
  /// tree. Everything must outlive the object. Up to `stored_pairs` pairs of
  /// plots, a worker keeps the sums of all pairs (four doubles a pair at
  /// most) and climbs the tree once per plot; beyond, twice.
  PlacementPartition(const PlotSection& section, const core::DMatrix& abundances, int data_type, int n_categories,
                     std::shared_ptr<const phylogeny::CladeTree> clades, std::size_t stored_pairs = 1 << 20);

  /// Working storage of one worker.
  struct Workspace {
    std::vector<int> tip;                   ///< [0..s] of the placement, 0 = none
    std::vector<int> plot_tip;              ///< tip of each entry of the species lists
    std::vector<int> plot_channel;          ///< its channels' place: 2 x tip
    std::vector<int> tip_owner;             ///< per tip: a species placed there
    std::vector<double> clade_abundance;    ///< per node
    std::vector<double> clade_presence;     ///< per node
    std::vector<double> sibling_abundance;  ///< per node
    std::vector<double> sibling_presence;   ///< per node
    std::vector<double> channels;           ///< per node: a d, then d
    std::vector<double> within;             ///< per plot: P, P*, PI within values
    std::vector<double> tipped;             ///< per plot: abundance of its species with a tip
    std::vector<double> tips;               ///< per plot: number of its species with a tip
    std::vector<int> single_cluster;        ///< per plot: the one cluster of its species, -1 for several
    std::vector<double> pair_g, pair_h;     ///< per pair (of all plots or of one): its channel sums
    std::vector<double> pair_zero;          ///< per pair: its products at divergence 0
    std::vector<double> pair_zero_pairs;    ///< per pair: their number
    std::unique_ptr<RegressionSums> sums[5];
    std::vector<int> left_out[3];  ///< per statistic: pairs of a distance class whose value is missing
  };

  /// The kept values for the placement `tip_of_species` [0..s] (0 = no tip).
  /// The species that have no tip in the section's own map have none in the
  /// placement either, as the permutations of the tips leave them.
  void evaluate(const core::IVector& tip_of_species, Workspace& ws, KeptPartition& out) const;

 private:
  /// A pair (k, l) of the plots k (implied by partner_start_) and l, with
  /// its place in the regressions (distance_class 0: no known distance).
  struct PlotPair {
    int l = 0;
    int shared_tips = 0;       ///< number of species with a tip in both plots
    int distance_class = 0;    ///< 1..classes+1
    int set = 0;               ///< sums of its category (pooled regressions), else 0
    double shared = 0;         ///< sum over the species of both plots of a_k a_l
    double shared_no_tip = 0;  ///< the same over species without a tip
    double distance = 0;
    double ln_distance = 0;
  };

  void plot_clades(int k, Workspace& ws, bool within, bool siblings) const;
  void pair_sums(int k, int base, bool shared_is_zero, Workspace& ws) const;
  void channels_down(Workspace& ws) const;

  const PlotSection& section_;
  int data_type_;
  std::shared_ptr<const phylogeny::CladeTree> clades_;
  int n_plots_ = 0;
  int n_species_ = 0;
  std::vector<double> weight_;     ///< w[0..n]
  std::vector<double> total_;      ///< N_k
  std::vector<int> list_start_;    ///< species of plot k: list_species_[list_start_[k]..list_start_[k+1]]
  std::vector<int> list_species_;  ///< 1-based
  std::vector<double> list_abundance_;
  std::vector<int> weighted_;       ///< plots with a weight and species
  std::vector<int> partner_start_;  ///< pairs of plot k: pairs_[partner_start_[k]..partner_start_[k+1]]
  std::vector<PlotPair> pairs_;
  std::vector<int> sum_order_;    ///< per plot, its pairs by the length of l's species list
  std::vector<int> sum_partner_;  ///< l of each pair in that order
  std::size_t stored_pairs_ = 0;
  int most_partners_ = 0;                      ///< the most pairs of one plot
  std::vector<int> internal_order_;            ///< internal nodes, children first
  std::vector<int> cluster_;                   ///< per node: its highest ancestor-or-self of age 0 (itself when none)
  bool zero_age_nodes_ = false;                ///< some internal node has age 0
  RegressionPairs regression_;                 ///< the layout of the regressions (no pairs: they are in pairs_)
  std::unique_ptr<RegressionSums> positions_;  ///< the positions of all pairs of a distance class
};

}  // namespace quorvel::partition
