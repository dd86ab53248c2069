#include "partition/placement_partition.hpp"

#include <algorithm>

#include "core/constants.hpp"

namespace quorvel::partition {

namespace {

std::size_t at(int index) { return static_cast<std::size_t>(index); }

// The three statistics a phylogeny test keeps, as positions 0..2 of a plot's
// within values.
constexpr int kCodes[3] = {kStatisticP, kStatisticPStar, kStatisticPI};

double ratio_or_missing(double numerator, double denominator) {
  if (denominator == 0.0 || is_missing(numerator) || is_missing(denominator)) return MISSING_VALUE;
  return numerator / denominator;
}

float pairwise_statistic(double within_k, double within_l, double among) {
  if (is_missing(within_k) || is_missing(within_l) || is_missing(among) || among == 0.0) return MISSING_VALUE_F;
  return static_cast<float>(1.0 - ((within_k + within_l) / 2.0) / among);
}

// P, P* and PI over all divergences from a pair's sums: F0 the products at
// divergence 0 (one species, or one tip), TF all products, TM the
// divergence-weighted products, TMS the summed divergences of the TSP pairs
// of distinct species at a divergence above 0 (as the partition finishes
// column 0 of a pair).
void finish(double F0, double TF, double TM, double TMS, double TSP, bool undefined_draws, double* X) {
  if (undefined_draws || TF == 0.0) {
    X[0] = X[1] = MISSING_VALUE;
  } else {
    const double F1 = F0 / TF;
    X[0] = TM / TF;
    X[1] = ratio_or_missing(X[0], 1.0 - F1);
  }
  X[2] = TSP != 0.0 ? TMS / TSP : MISSING_VALUE;
}

}  // namespace

PlacementPartition::PlacementPartition(const PlotSection& section, const core::DMatrix& A, int data_type,
                                       int n_categories, std::shared_ptr<const phylogeny::CladeTree> clades,
                                       std::size_t stored_pairs)
    : section_(section), data_type_(data_type), clades_(std::move(clades)), stored_pairs_(stored_pairs) {
  const int n = section.n_plots;
  const int s = section.n_species;
  n_plots_ = n;
  n_species_ = s;
  const phylogeny::CladeTree& tree = *clades_;
  const core::IVector& tips = *section.distances.tip_of_species;
  auto has_tip = [&](int j) {
    const int tip = j >= tips.lo() && j <= tips.hi() ? tips[j] : 0;
    return tip >= 1 && tip <= tree.n_tips;
  };

  weight_.assign(at(n) + 1, 0.0);
  total_.assign(at(n) + 1, 0.0);
  list_start_.assign(at(n) + 2, 0);
  for (int k = 1; k <= n; ++k) {
    total_[at(k)] = A(k, 0);
    weight_[at(k)] = section.weighting == PlotWeighting::kEqual ? (A(k, 0) != 0.0 ? 1.0 : 0.0) : A(k, 0);
    list_start_[at(k)] = static_cast<int>(list_species_.size());
    if (A(k, 0) != 0.0) {
      for (int j = 1; j <= s; ++j) {
        if (A(k, j) == 0.0) continue;
        list_species_.push_back(j);
        list_abundance_.push_back(A(k, j));
      }
    }
    if (weight_[at(k)] != 0.0 && static_cast<int>(list_species_.size()) > list_start_[at(k)]) weighted_.push_back(k);
  }
  list_start_[at(n) + 1] = static_cast<int>(list_species_.size());

  // Pairs in the order k < l, with the abundance products of the species
  // both plots hold (lists in increasing species order).
  // Counted first: the table of the pairs is allocated once, at its size.
  std::vector<char> is_weighted(at(n) + 1, 0);
  for (const int k : weighted_) is_weighted[at(k)] = 1;
  std::size_t n_pairs = 0;
  for (const int k : weighted_)
    for (const int l : weighted_) n_pairs += l > k && section.selection.selects(k, l) ? 1 : 0;
  pairs_.reserve(n_pairs);
  partner_start_.assign(at(n) + 2, 0);
  for (int k = 1; k <= n; ++k) {
    partner_start_[at(k)] = static_cast<int>(pairs_.size());
    if (!is_weighted[at(k)]) continue;
    for (const int l : weighted_) {
      if (l <= k || !section.selection.selects(k, l)) continue;
      PlotPair pair;
      pair.l = l;
      int p = list_start_[at(k)], q = list_start_[at(l)];
      while (p < list_start_[at(k) + 1] && q < list_start_[at(l) + 1]) {
        const int i = list_species_[at(p)], j = list_species_[at(q)];
        if (i < j) {
          ++p;
        } else if (j < i) {
          ++q;
        } else {
          const double product = list_abundance_[at(p)] * list_abundance_[at(q)];
          pair.shared += product;
          if (has_tip(i)) {
            pair.shared_tips += 1;
          } else {
            pair.shared_no_tip += product;
          }
          ++p;
          ++q;
        }
      }
      pairs_.push_back(pair);
    }
  }
  partner_start_[at(n) + 1] = static_cast<int>(pairs_.size());
  sum_order_.resize(pairs_.size());
  for (int k = 1; k <= n; ++k) {
    const int first = partner_start_[at(k)], end = partner_start_[at(k) + 1];
    most_partners_ = std::max(most_partners_, end - first);
    for (int e = first; e < end; ++e) sum_order_[at(e)] = e;
    auto length = [&](int e) { return list_start_[at(pairs_[at(e)].l) + 1] - list_start_[at(pairs_[at(e)].l)]; };
    std::stable_sort(sum_order_.begin() + first, sum_order_.begin() + end,
                     [&](int a, int b) { return length(a) < length(b); });
  }
  sum_partner_.resize(pairs_.size());
  for (std::size_t o = 0; o < pairs_.size(); ++o) sum_partner_[o] = pairs_[at(sum_order_[o])].l;

  // Where each pair stands in the regressions: the pairs of a known distance
  // come in the same order k < l.
  regression_ = regression_layout(n, section.classes, section.selection, n_categories);
  std::size_t e = 0;
  int plot = 1;
  for_each_regression_pair(n, section.classes, section.selection, section.positions, regression_,
                           [&](const RegressionPairs::Pair& known) {
                             for (; e < pairs_.size(); ++e) {
                               while (static_cast<int>(e) >= partner_start_[at(plot) + 1]) ++plot;
                               if (plot > known.k || (plot == known.k && pairs_[e].l >= known.l)) break;
                             }
                             if (e == pairs_.size() || plot != known.k || pairs_[e].l != known.l) return;
                             PlotPair& pair = pairs_[e];
                             pair.distance_class = known.distance_class;
                             pair.set = known.set;
                             pair.distance = known.distance;
                             pair.ln_distance = known.ln_distance;
                           });

  positions_ = std::make_unique<RegressionSums>(regression_);
  for (const PlotPair& pair : pairs_)
    if (pair.distance_class > 0) positions_->add_position(pair);

  // Species at divergence 0 from each other sit on one tip or under a node
  // of age 0: such a node and everything below it form one cluster.
  const int V = tree.n_nodes();
  cluster_.assign(at(V) + 1, 0);
  for (auto it = tree.postorder.rbegin(); it != tree.postorder.rend(); ++it) {
    const int v = *it;
    const int up = tree.parent[at(v)];
    cluster_[at(v)] = up != 0 && tree.age[at(up)] == 0.0f ? cluster_[at(up)] : v;
  }
  for (const int v : tree.postorder) {
    if (tree.child_start[at(v) + 1] == tree.child_start[at(v)]) continue;
    internal_order_.push_back(v);
    if (tree.age[at(v)] == 0.0f) zero_age_nodes_ = true;
  }
}

// Clade sums of plot k (abundance and species under every node), in one
// pass up the tree. With `siblings`, also the sums over every node's siblings,
// by prefix and suffix sums: every term is non-negative, so a sum is exactly
// 0 when nothing is there. With `within`, also the within values of plot k
// from the pairs of its species meeting at each node: a node of age d holds
// the ordered pairs of species in two different child clades.
void PlacementPartition::plot_clades(int k, Workspace& ws, bool within, bool siblings) const {
  const phylogeny::CladeTree& tree = *clades_;
  const int begin = list_start_[at(k)];
  const int end = list_start_[at(k) + 1];
  double* X = ws.clade_abundance.data();
  double* P = ws.clade_presence.data();
  double* sibling_a = ws.sibling_abundance.data();
  double* sibling_p = ws.sibling_presence.data();
  std::fill(ws.clade_abundance.begin(), ws.clade_abundance.end(), 0.0);
  std::fill(ws.clade_presence.begin(), ws.clade_presence.end(), 0.0);
  // Pairs on one tip: divergence 0.
  double zero_products = 0, zero_pairs = 0;
  int cluster = 0;
  bool single = true;
  for (int p = begin; p < end; ++p) {
    const int tip = ws.plot_tip[at(p)];
    if (tip == 0) continue;  // species without a tip
    const double a = list_abundance_[at(p)];
    zero_products += a * X[tip];
    zero_pairs += P[tip];
    X[tip] += a;
    P[tip] += 1.0;
    const int c = cluster_[at(tip)];
    if (cluster == 0) cluster = c;
    single = single && c == cluster;
  }
  double positive_products = 0, weighted_products = 0, positive_pairs = 0, weighted_pairs = 0;
  const int* children = tree.children.data();
  for (const int n : internal_order_) {
    const int first = tree.child_start[at(n)];
    const int last = tree.child_start[at(n) + 1];
    double before_a = 0, before_p = 0, products = 0, pairs = 0;
    for (int c = first; c < last; ++c) {
      const int child = children[c];
      sibling_a[child] = before_a;
      sibling_p[child] = before_p;
      products += X[child] * before_a;
      pairs += P[child] * before_p;
      before_a += X[child];
      before_p += P[child];
    }
    X[n] = before_a;
    P[n] = before_p;
    if (within && pairs != 0.0) {
      const double d = tree.age[at(n)];
      if (d == 0.0) {
        zero_products += products;
        zero_pairs += pairs;
      } else {
        positive_products += products;
        weighted_products += d * products;
        positive_pairs += pairs;
        weighted_pairs += d * pairs;
      }
    }
    if (!siblings || before_p == 0.0) continue;
    double after_a = 0, after_p = 0;
    for (int c = last - 1; c >= first; --c) {
      const int child = children[c];
      sibling_a[child] += after_a;
      sibling_p[child] += after_p;
      after_a += X[child];
      after_p += P[child];
    }
  }
  if (!within) return;
  ws.single_cluster[at(k)] = cluster != 0 && single ? cluster : -1;
  // With counts two different individuals are drawn: distinct species
  // p_i p_j N/(N - 1), one species p_i (n_i - 1)/(N - 1).
  const double N = total_[at(k)];
  const bool counts = data_type_ == kCountData;
  const bool undefined_draws = counts && N == 1.0;
  const double scale = counts && !undefined_draws ? N / (N - 1.0) : 1.0;
  double F0 = scale * (2.0 * zero_products);
  for (int p = begin; p < end; ++p) {
    const double a = list_abundance_[at(p)];
    F0 += a * (counts && !undefined_draws ? (a * N - 1.0) / (N - 1.0) : a);
  }
  const double TF = F0 + scale * (2.0 * positive_products);
  finish(F0, TF, scale * (2.0 * weighted_products), 2.0 * weighted_pairs, 2.0 * positive_pairs, undefined_draws,
         ws.within.data() + 3 * at(k));
}

// From the root down, the channels of every node: over the species of the
// plot whose lineage meets the node's at an ancestor, their abundances
// weighted by that ancestor's age (a d), and the ages (d).
void PlacementPartition::channels_down(Workspace& ws) const {
  const phylogeny::CladeTree& tree = *clades_;
  double* down = ws.channels.data();
  const double* sibling_a = ws.sibling_abundance.data();
  const double* sibling_p = ws.sibling_presence.data();
  const int root = tree.root();
  down[2 * at(root)] = down[2 * at(root) + 1] = 0.0;
  const int* children = tree.children.data();
  for (auto it = internal_order_.rbegin(); it != internal_order_.rend(); ++it) {
    const int n = *it;
    const double d = tree.age[at(n)];
    const double g = down[2 * at(n)], h = down[2 * at(n) + 1];
    for (int c = tree.child_start[at(n)]; c < tree.child_start[at(n) + 1]; ++c) {
      const int child = children[c];
      down[2 * at(child)] = g + d * sibling_a[child];
      down[2 * at(child) + 1] = h + d * sibling_p[child];
    }
  }
  down[0] = down[1] = 0.0;  // species without a tip
}

// The sums of the pairs (k, l) of plot k, from its clade sums: the channel
// sums g (a d) and h (d) of pair e at [e - base] of the workspace's pair
// sums, and, unless the products at divergence 0 are those of the species
// both plots share, those products and their number.
void PlacementPartition::pair_sums(int k, int base, bool shared_is_zero, Workspace& ws) const {
  channels_down(ws);
  const int first_pair = partner_start_[at(k)];
  const int end_pair = partner_start_[at(k) + 1];
  const double* abundance = list_abundance_.data();
  const int* channel = ws.plot_channel.data();
  const double* channels = ws.channels.data();
  // The channel sums take one multiply-add and one addition per species of
  // l. Four pairs at a time, each summed in its own order, keep four times
  // as many additions in flight with the same sums to the bit; the pairs
  // go by the length of l's list, so that the four end nearly together.
  double* g = ws.pair_g.data();  // [e - base]
  double* h = ws.pair_h.data();
  const int* order = sum_order_.data();
  constexpr int kInFlight = 4;
  int o = first_pair;
  for (; o + kInFlight <= end_pair; o += kInFlight) {
    int begin[kInFlight], count[kInFlight];
    double gs[kInFlight] = {}, hs[kInFlight] = {};
    for (int w = 0; w < kInFlight; ++w) {
      const int l = sum_partner_[at(o + w)];
      begin[w] = list_start_[at(l)];
      count[w] = list_start_[at(l) + 1] - begin[w];
    }
    const int both = count[0];  // the shortest: the order is by length
    for (int i = 0; i < both; ++i) {
      for (int w = 0; w < kInFlight; ++w) {
        const int c = channel[begin[w] + i];
        gs[w] += abundance[begin[w] + i] * channels[c];
        hs[w] += channels[c + 1];
      }
    }
    for (int w = 0; w < kInFlight; ++w) {
      for (int i = both; i < count[w]; ++i) {
        const int c = channel[begin[w] + i];
        gs[w] += abundance[begin[w] + i] * channels[c];
        hs[w] += channels[c + 1];
      }
      g[order[o + w] - base] = gs[w];
      h[order[o + w] - base] = hs[w];
    }
  }
  for (; o < end_pair; ++o) {
    const int l = sum_partner_[at(o)];
    double g1 = 0, h1 = 0;
    for (int p = list_start_[at(l)]; p < list_start_[at(l) + 1]; ++p) {
      const int c = channel[p];
      g1 += abundance[p] * channels[c];
      h1 += channels[c + 1];
    }
    g[order[o] - base] = g1;
    h[order[o] - base] = h1;
  }
  if (shared_is_zero) return;
  const int* plot_tip = ws.plot_tip.data();
  const double* X = ws.clade_abundance.data();
  const double* P = ws.clade_presence.data();
  for (int e = first_pair; e < end_pair; ++e) {
    const int l = pairs_[at(e)].l;
    double zero = pairs_[at(e)].shared_no_tip, zero_pairs = 0;
    for (int p = list_start_[at(l)]; p < list_start_[at(l) + 1]; ++p) {
      const int tip = plot_tip[p];
      if (tip == 0) continue;
      const int c = cluster_[at(tip)];
      zero += abundance[p] * X[at(c)];
      zero_pairs += P[at(c)];
    }
    ws.pair_zero[at(e - base)] = zero;
    ws.pair_zero_pairs[at(e - base)] = zero_pairs;
  }
}

void PlacementPartition::evaluate(const core::IVector& tip_of_species, Workspace& ws, KeptPartition& out) const {
  const phylogeny::CladeTree& tree = *clades_;
  const int V = tree.n_nodes();
  const int s = n_species_;
  if (ws.clade_abundance.size() != at(V) + 1) {
    ws.clade_abundance.assign(at(V) + 1, 0.0);
    ws.clade_presence.assign(at(V) + 1, 0.0);
    ws.sibling_abundance.assign(at(V) + 1, 0.0);
    ws.sibling_presence.assign(at(V) + 1, 0.0);
    ws.channels.assign(2 * (at(V) + 1), 0.0);
  }
  ws.tip.assign(at(s) + 1, 0);
  for (int j = 1; j <= s; ++j) {
    const int tip = j >= tip_of_species.lo() && j <= tip_of_species.hi() ? tip_of_species[j] : 0;
    ws.tip[at(j)] = tip >= 1 && tip <= tree.n_tips ? tip : 0;
  }
  ws.plot_tip.resize(list_species_.size());
  ws.plot_channel.resize(list_species_.size());
  for (std::size_t p = 0; p < list_species_.size(); ++p) {
    ws.plot_tip[p] = ws.tip[at(list_species_[p])];
    ws.plot_channel[p] = 2 * ws.plot_tip[p];
  }
  // Divergence 0 between distinct species needs a node of age 0 or two
  // species on one tip; otherwise the products at divergence 0 are those of
  // the species two plots share, whatever the placement.
  bool shared_is_zero = !zero_age_nodes_;
  if (shared_is_zero) {
    ws.tip_owner.assign(at(tree.n_tips) + 1, 0);
    for (int j = 1; j <= s && shared_is_zero; ++j) {
      const int tip = ws.tip[at(j)];
      if (tip == 0) continue;
      if (ws.tip_owner[at(tip)] != 0) shared_is_zero = false;
      ws.tip_owner[at(tip)] = j;
    }
  }
  ws.within.assign(3 * (at(n_plots_) + 1), MISSING_VALUE);
  ws.single_cluster.assign(at(n_plots_) + 1, -1);
  // With room for the sums of all pairs, one pass up the tree per plot gives
  // its within values and the sums of its pairs; otherwise the within values
  // of all plots come first, then each plot's pairs.
  const bool stored = pairs_.size() <= stored_pairs_;
  const std::size_t room = stored ? pairs_.size() : at(most_partners_);
  ws.pair_g.resize(room);
  ws.pair_h.resize(room);
  ws.pair_zero.resize(shared_is_zero ? 0 : room);
  ws.pair_zero_pairs.resize(shared_is_zero ? 0 : room);
  for (const int k : weighted_) {
    const bool has_pairs = partner_start_[at(k) + 1] > partner_start_[at(k)];
    plot_clades(k, ws, true, stored && has_pairs);
    if (stored && has_pairs) pair_sums(k, 0, shared_is_zero, ws);
  }

  RegressionSums* sums[3];
  for (int q = 0; q < 3; ++q) {
    const int code = kCodes[q];
    if (!ws.sums[code]) ws.sums[code] = std::make_unique<RegressionSums>(regression_);
    ws.sums[code]->clear();
    sums[q] = ws.sums[code].get();
    ws.left_out[q].clear();
  }
  double within_sum[3] = {}, within_weight[3] = {}, among_sum[3] = {}, among_weight[3] = {};
  const double* abundance = list_abundance_.data();
  const int* plot_tip = ws.plot_tip.data();
  // The abundance and the number of each plot's species that have a tip.
  ws.tipped.assign(at(n_plots_) + 1, 0.0);
  ws.tips.assign(at(n_plots_) + 1, 0.0);
  double* tipped = ws.tipped.data();
  double* tips = ws.tips.data();
  for (int k = 1; k <= n_plots_; ++k) {
    for (int p = list_start_[at(k)]; p < list_start_[at(k) + 1]; ++p) {
      if (plot_tip[p] == 0) continue;
      tipped[k] += abundance[p];
      tips[k] += 1.0;
    }
  }
  for (int k = 1; k <= n_plots_; ++k) {
    const int first_pair = partner_start_[at(k)];
    const int end_pair = partner_start_[at(k) + 1];
    if (first_pair == end_pair) continue;
    if (!stored) {
      plot_clades(k, ws, false, true);
      pair_sums(k, first_pair, shared_is_zero, ws);
    }
    const int base = stored ? 0 : first_pair;  // place of pair e in the sums: e - base
    const double* g = ws.pair_g.data();
    const double* h = ws.pair_h.data();
    const double* zeros = ws.pair_zero.data();
    const double* zeros_pairs = ws.pair_zero_pairs.data();
    int e = first_pair;
    // The rest of each pair, from its channel sums g (a d) and h (d), in the
    // order of the pairs.
    const double tipped_k = tipped[k], tips_k = tips[k];
    const double* Xk = ws.within.data() + 3 * at(k);
    const double wk = weight_[at(k)];
    const int cluster_k = ws.single_cluster[at(k)];
    for (; e < end_pair; ++e) {
      const PlotPair& pair = pairs_[at(e)];
      const int l = pair.l;
      const double zero = shared_is_zero ? pair.shared : zeros[e - base];
      const double zero_pairs = shared_is_zero ? static_cast<double>(pair.shared_tips) : zeros_pairs[e - base];
      const double TF =
          cluster_k > 0 && cluster_k == ws.single_cluster[at(l)] ? zero : tipped_k * tipped[l] + pair.shared_no_tip;
      double values[3];
      finish(zero, TF, g[e - base], h[e - base], tips_k * tips[l] - zero_pairs, false, values);
      const double* Xl = ws.within.data() + 3 * at(l);
      const double wl = weight_[at(l)];
      for (int q = 0; q < 3; ++q) {
        const float statistic = pairwise_statistic(Xk[q], Xl[q], values[q]);
        if (pair.distance_class > 0) {
          if (statistic != MISSING_VALUE_F) {
            sums[q]->add_value(pair, statistic);
          } else {
            ws.left_out[q].push_back(e);
          }
        }
        if (is_missing(Xk[q]) || is_missing(Xl[q])) continue;
        within_sum[q] += wk * Xk[q] + wl * Xl[q];
        within_weight[q] += wk + wl;
        if (is_missing(values[q])) continue;
        among_sum[q] += wk * wl * values[q];
        among_weight[q] += wk * wl;
      }
    }
  }
  if (weighted_.size() == 1) {
    // A single plot: its own values are the within values.
    const double* Xk = ws.within.data() + 3 * at(weighted_.front());
    for (int q = 0; q < 3; ++q) {
      if (is_missing(Xk[q])) continue;
      within_sum[q] = Xk[q];
      within_weight[q] = 1.0;
    }
  }
  for (int q = 0; q < 3; ++q) {
    const int code = kCodes[q];
    out.within[code] = ratio_or_missing(within_sum[q], within_weight[q]);
    out.among[code] = ratio_or_missing(among_sum[q], among_weight[q]);
    const double ratio = ratio_or_missing(out.within[code], out.among[code]);
    out.st[code] = is_missing(ratio) ? MISSING_VALUE_F : static_cast<float>(1.0 - ratio);
    // The positions of the pairs: those of all pairs unless the statistic
    // left some out.
    if (ws.left_out[q].empty()) {
      sums[q]->take_positions(*positions_);
    } else {
      auto left_out = ws.left_out[q].begin();
      for (std::size_t e = 0; e < pairs_.size(); ++e) {
        if (left_out != ws.left_out[q].end() && *left_out == static_cast<int>(e)) {
          ++left_out;
        } else if (pairs_[e].distance_class > 0) {
          sums[q]->add_position(pairs_[e]);
        }
      }
    }
    sums[q]->finish(out.rows[code]);
  }
}

}  // namespace quorvel::partition
