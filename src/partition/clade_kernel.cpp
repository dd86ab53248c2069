#include <algorithm>
#include <cstring>

#include "partition/partition_kernel.hpp"

#include "core/constants.hpp"

namespace quorvel::partition::kernel {

namespace {

using Coding = PartitionWorkspace::Coding;

std::size_t at(int index) { return static_cast<std::size_t>(index); }

bool same_tree(const PartitionWorkspace& ws, int s, const phylogeny::CladeTree& tree, int n_intervals,
               const core::DVector& limits) {
  if (ws.coding != Coding::kClades || ws.n_species != s || ws.n_intervals != n_intervals) return false;
  for (int m = 1; m <= n_intervals; ++m)
    if (ws.limits[at(m - 1)] != limits[m]) return false;
  return ws.clade_parent == tree.parent && ws.clade_age.size() == tree.age.size() &&
         std::memcmp(ws.clade_age.data(), tree.age.data(), sizeof(float) * tree.age.size()) == 0;
}

// The internal nodes in postorder and the slot of every node's age.
void code_tree(PartitionWorkspace& ws, int s, const phylogeny::CladeTree& tree, int n_intervals,
               const core::DVector& limits) {
  const int n_nodes = tree.n_nodes();
  ws.coding = Coding::kClades;
  ws.n_species = s;
  ws.n_intervals = n_intervals;
  ws.limits.assign(at(n_intervals), 0.0);
  for (int m = 1; m <= n_intervals; ++m) ws.limits[at(m - 1)] = limits[m];
  ws.clade_parent = tree.parent;
  ws.clade_age = tree.age;
  ws.internal_order.clear();
  for (const int n : tree.postorder)
    if (tree.child_start[at(n) + 1] > tree.child_start[at(n)]) ws.internal_order.push_back(n);

  // Divergences are 0 (a species with itself, or a tip shared) or the age of
  // a node with children: their distinct values come from the nodes.
  std::vector<float> values = {0.0f};
  for (const int n : ws.internal_order) values.push_back(tree.age[at(n)]);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  const int n_values = static_cast<int>(values.size());
  ws.value_slots = 2 * n_values < 4 * n_intervals && n_values < 65535;
  ws.n_slots = ws.value_slots ? n_values : n_intervals;
  ws.slot_stride = ws.n_slots;  // no slot for missing divergences
  ws.interval_of_slot.assign(at(ws.n_slots) + 1, 0);
  ws.value_of_slot.assign(at(ws.n_slots) + 1, 0.0);
  if (ws.value_slots) {
    for (int v = 0; v < n_values; ++v) {
      ws.value_of_slot[at(v)] = values[at(v)];
      ws.interval_of_slot[at(v)] = interval_of(values[at(v)], n_intervals, ws.limits.data());
    }
  } else {
    for (int m = 1; m <= n_intervals; ++m) ws.interval_of_slot[at(m - 1)] = m;
  }
  auto slot_of = [&](float d) {
    if (ws.value_slots) return static_cast<int>(std::lower_bound(values.begin(), values.end(), d) - values.begin());
    return interval_of(d, n_intervals, ws.limits.data()) - 1;
  };
  ws.zero_slot = slot_of(0.0f);
  ws.node_slot.assign(at(n_nodes) + 1, ws.zero_slot);
  ws.node_interval.assign(at(n_nodes) + 1, 1);
  ws.node_age.assign(at(n_nodes) + 1, 0.0);
  for (int n = 1; n <= n_nodes; ++n) {
    const float d = tree.age[at(n)];
    ws.node_age[at(n)] = d;
    ws.node_interval[at(n)] = interval_of(d, n_intervals, ws.limits.data());
    if (n <= tree.n_tips || tree.child_start[at(n) + 1] > tree.child_start[at(n)]) ws.node_slot[at(n)] = slot_of(d);
  }
  ws.values = std::move(values);
  ws.clade_abundance.assign(at(n_nodes) + 1, 0.0);
  ws.clade_presence.assign(at(n_nodes) + 1, 0.0);
  ws.sibling_abundance.assign(at(n_nodes) + 1, 0.0);
  ws.sibling_presence.assign(at(n_nodes) + 1, 0.0);
  ws.channel_of.assign(at(n_nodes) + 1, 0);
}

// Clade sums of the current species list (abundance and number of species
// under every node), and for every node the same sums over its siblings: the
// species whose common ancestor with the node's species is its parent.
// Prefix and suffix sums keep every term non-negative, so the sums are as
// accurate as direct ones and exactly 0 when nothing is there.
void clade_sums(PartitionWorkspace& ws, const int* species, const double* abundance, int count) {
  const phylogeny::CladeTree& tree = *ws.clades;
  double* X = ws.clade_abundance.data();
  double* P = ws.clade_presence.data();
  double* sibling_a = ws.sibling_abundance.data();
  double* sibling_p = ws.sibling_presence.data();
  std::fill(ws.clade_abundance.begin(), ws.clade_abundance.end(), 0.0);
  std::fill(ws.clade_presence.begin(), ws.clade_presence.end(), 0.0);
  for (int p = 0; p < count; ++p) {
    const int tip = ws.species_tip[at(species[p])];
    if (tip == 0) continue;
    X[tip] += abundance[p];
    P[tip] += 1.0;
  }
  const int* children = tree.children.data();
  for (const int n : ws.internal_order) {
    const int first = tree.child_start[at(n)];
    const int last = tree.child_start[at(n) + 1];
    double before_a = 0, before_p = 0;
    for (int c = first; c < last; ++c) {
      const int child = children[c];
      sibling_a[child] = before_a;
      sibling_p[child] = before_p;
      before_a += X[child];
      before_p += P[child];
    }
    X[n] = before_a;
    P[n] = before_p;
    if (before_p == 0.0) continue;
    double after_a = 0, after_p = 0;
    for (int c = last - 1; c >= first; --c) {
      const int child = children[c];
      sibling_a[child] += after_a;
      sibling_p[child] += after_p;
      after_a += X[child];
      after_p += P[child];
    }
  }
}

}  // namespace

void code_clades(PartitionWorkspace& ws, int s, const phylogeny::CladeTree& tree, const core::IVector& tips,
                 int n_intervals, const core::DVector& limits) {
  if (!same_tree(ws, s, tree, n_intervals, limits)) code_tree(ws, s, tree, n_intervals, limits);
  ws.clades = &tree;
  ws.channel_plot = -1;  // species lists are rebuilt at every call
  ws.species_abundance.assign(at(s), 0.0);
  ws.species_tip.assign(at(s), 0);
  for (int j = 1; j <= s; ++j) {
    const int tip = j >= tips.lo() && j <= tips.hi() ? tips[j] : 0;
    ws.species_tip[at(j - 1)] = tip >= 1 && tip <= tree.n_tips ? tip : 0;
  }
}

void clade_channel_sums(PartitionWorkspace& ws, int k) {
  if (ws.channel_plot == k) return;
  const phylogeny::CladeTree& tree = *ws.clades;
  double* dense = ws.species_abundance.data();
  if (ws.channel_plot >= 0) {
    for (int p = ws.list_start[at(ws.channel_plot)]; p < ws.list_start[at(ws.channel_plot) + 1]; ++p)
      dense[ws.list_species[at(p)]] = 0.0;
  }
  ws.channel_plot = k;
  const int begin = ws.list_start[at(k)];
  const int count = ws.list_start[at(k) + 1] - begin;
  for (int p = begin; p < begin + count; ++p) dense[ws.list_species[at(p)]] = ws.list_abundance[at(p)];
  clade_sums(ws, ws.list_species.data() + begin, ws.list_abundance.data() + begin, count);

  // From the root down, a node's channels are its parent's plus the species
  // of the plot under its siblings, which meet its own species at the
  // parent's age. A node without such siblings shares its parent's block.
  const int S = ws.slot_stride;
  const int C = channel_count(ws);
  const bool by_value = ws.value_slots;
  ws.channel_store.assign(at(C), 0.0);  // block 0: nothing
  std::vector<double>& store = ws.channel_store;
  const double* sibling_a = ws.sibling_abundance.data();
  const double* sibling_p = ws.sibling_presence.data();
  int* channel_of = ws.channel_of.data();
  channel_of[tree.root()] = 0;
  for (auto it = ws.internal_order.rbegin(); it != ws.internal_order.rend(); ++it) {
    const int n = *it;
    const int base = channel_of[n];
    const int slot = ws.node_slot[at(n)];
    const double d = ws.node_age[at(n)];
    for (int c = tree.child_start[at(n)]; c < tree.child_start[at(n) + 1]; ++c) {
      const int child = tree.children[at(c)];
      const double present = sibling_p[child];
      if (present == 0.0) {
        channel_of[child] = base;
        continue;
      }
      const std::size_t block = store.size() / at(C);
      store.resize(store.size() + at(C));
      double* y = store.data() + block * at(C);
      std::copy(store.data() + at(base) * at(C), store.data() + at(base + 1) * at(C), y);
      const double a = sibling_a[child];
      if (by_value) {
        y[slot] += a;
        y[S + slot] += present;
      } else {
        y[slot] += a;
        y[S + slot] += d * a;
        if (d != 0.0) {
          y[2 * S + slot] += present;
          y[3 * S + slot] += d * present;
        }
      }
      channel_of[child] = static_cast<int>(block);
    }
  }
}

namespace {

// The channel sums of the species of plot l that have a tip, into `total`
// (C channels), and the products at divergence 0 with the species of the
// channels' plot on their tip, returned. A fixed channel count (kHalf > 0)
// lets the compiler keep the sums in registers; the sums are the same.
template <int kHalf>
double accumulate_clade_channels(const PartitionWorkspace& ws, int C, int begin, int end, bool with_self,
                                 double* total) {
  constexpr int kFixed = 2 * kHalf;
  const int channels = kHalf > 0 ? kFixed : C;
  const int half = channels / 2;
  double fixed[kFixed > 0 ? kFixed : 1] = {};
  double* sum = kHalf > 0 ? fixed : total;
  if (kHalf == 0) std::fill(total, total + C, 0.0);
  const double* store = ws.channel_store.data();
  const int* channel_of = ws.channel_of.data();
  const double* X = ws.clade_abundance.data();
  const double* P = ws.clade_presence.data();
  double same_tip = 0;
  for (int p = begin; p < end; ++p) {
    const int j = ws.list_species[at(p)];
    const int tip = ws.species_tip[at(j)];
    const double a = ws.list_abundance[at(p)];
    if (tip == 0) {
      // Without a tip a species has no divergence but with itself (0).
      if (with_self) same_tip += a * ws.species_abundance[at(j)];
      continue;
    }
    const double* y = store + at(channel_of[tip]) * at(channels);
    for (int c = 0; c < half; ++c) sum[c] += a * y[c];
    for (int c = half; c < channels; ++c) sum[c] += y[c];
    // The species of plot k on the same tip: divergence 0. Within a plot the
    // species itself is left out (its pair with itself is added apart).
    if (with_self) {
      same_tip += a * X[tip];
    } else if (P[tip] - 1.0 > 0.0) {
      same_tip += a * (X[tip] - a);
    }
  }
  if (kHalf > 0) std::copy(fixed, fixed + kFixed, total);
  return same_tip;
}

}  // namespace

void clade_pair_sums(PartitionWorkspace& ws, int l, bool with_self, double* raw) {
  const int C = channel_count(ws);
  ws.pair_channels.resize(at(C));
  double* total = ws.pair_channels.data();
  const int begin = ws.list_start[at(l)];
  const int end = ws.list_start[at(l) + 1];
  double same_tip = 0;
  switch (C) {
    case 4:
      same_tip = accumulate_clade_channels<2>(ws, C, begin, end, with_self, total);
      break;
    case 6:
      same_tip = accumulate_clade_channels<3>(ws, C, begin, end, with_self, total);
      break;
    case 8:
      same_tip = accumulate_clade_channels<4>(ws, C, begin, end, with_self, total);
      break;
    case 10:
      same_tip = accumulate_clade_channels<5>(ws, C, begin, end, with_self, total);
      break;
    case 12:
      same_tip = accumulate_clade_channels<6>(ws, C, begin, end, with_self, total);
      break;
    case 16:
      same_tip = accumulate_clade_channels<8>(ws, C, begin, end, with_self, total);
      break;
    case 20:
      same_tip = accumulate_clade_channels<10>(ws, C, begin, end, with_self, total);
      break;
    case 24:
      same_tip = accumulate_clade_channels<12>(ws, C, begin, end, with_self, total);
      break;
    default:
      same_tip = accumulate_clade_channels<0>(ws, C, begin, end, with_self, total);
      break;
  }
  total[ws.zero_slot] += same_tip;
  totals_to_raw(ws, total, raw);
}

void clade_within_sums(PartitionWorkspace& ws, int k, int data_type, double plot_total, double* raw,
                       bool& undefined_draws) {
  const int R1 = ws.n_intervals + 1;
  clade_channel_sums(ws, k);
  clade_pair_sums(ws, k, false, raw);  // every ordered pair of distinct species
  undefined_draws = false;
  const int m = ws.interval_of_slot[at(ws.zero_slot)];
  const int begin = ws.list_start[at(k)];
  const int end = ws.list_start[at(k) + 1];
  if (data_type == kCountData) {
    // Two different individuals of the plot (see within_plot_sums): distinct
    // species p_i p_j N/(N - 1), one species p_i (n_i - 1)/(N - 1).
    if (plot_total == 1.0) {
      undefined_draws = true;
      return;
    }
    const double scale = plot_total / (plot_total - 1.0);
    for (int r = 1; r <= ws.n_intervals; ++r) {
      raw[kRawF * R1 + r] *= scale;
      raw[kRawM * R1 + r] *= scale;
    }
  }
  for (int p = begin; p < end; ++p) {
    const double a = ws.list_abundance[at(p)];
    const double y = data_type == kCountData ? (a * plot_total - 1.0) / (plot_total - 1.0) : a;
    raw[kRawF * R1 + m] += a * y;
  }
}

void clade_pool_sums(PartitionWorkspace& ws, const std::vector<int>& pool, const std::vector<double>& weight, double* W,
                     double* DW, double* K, double* DK) {
  const phylogeny::CladeTree& tree = *ws.clades;
  double* X = ws.clade_abundance.data();
  double* P = ws.clade_presence.data();
  double* tip_pairs_a = ws.sibling_abundance.data();
  double* tip_pairs_p = ws.sibling_presence.data();
  std::fill(ws.clade_abundance.begin(), ws.clade_abundance.end(), 0.0);
  std::fill(ws.clade_presence.begin(), ws.clade_presence.end(), 0.0);
  std::fill(ws.sibling_abundance.begin(), ws.sibling_abundance.end(), 0.0);
  std::fill(ws.sibling_presence.begin(), ws.sibling_presence.end(), 0.0);
  // The clade sums of the last plot are gone (its dense abundances stay
  // until its channels are rebuilt or replaced).
  const int last_plot = ws.channel_plot;
  ws.channel_plot = -1;
  if (last_plot >= 0) {
    for (int p = ws.list_start[at(last_plot)]; p < ws.list_start[at(last_plot) + 1]; ++p)
      ws.species_abundance[at(ws.list_species[at(p)])] = 0.0;
  }
  auto add = [&](int n, double products, double pairs) {
    const int m = ws.node_interval[at(n)];
    const double d = ws.node_age[at(n)];
    W[m] += products;
    DW[m] += d * products;
    K[m] += pairs;
    DK[m] += d * pairs;
  };
  int highest_tip = 0;
  for (std::size_t p = 0; p < pool.size(); ++p) {
    const int tip = ws.species_tip[at(pool[p])];
    if (tip == 0) continue;
    // Pairs of species sharing a tip.
    tip_pairs_a[tip] += weight[p] * X[tip];
    tip_pairs_p[tip] += P[tip];
    X[tip] += weight[p];
    P[tip] += 1.0;
    highest_tip = std::max(highest_tip, tip);
  }
  for (int tip = 1; tip <= highest_tip; ++tip)
    if (tip_pairs_p[tip] != 0.0) add(tip, tip_pairs_a[tip], tip_pairs_p[tip]);
  const int* children = tree.children.data();
  for (const int n : ws.internal_order) {
    double before_a = 0, before_p = 0, products = 0, pairs = 0;
    for (int c = tree.child_start[at(n)]; c < tree.child_start[at(n) + 1]; ++c) {
      const int child = children[c];
      products += X[child] * before_a;
      pairs += P[child] * before_p;
      before_a += X[child];
      before_p += P[child];
    }
    X[n] = before_a;
    P[n] = before_p;
    if (pairs != 0.0) add(n, products, pairs);
  }
}

}  // namespace quorvel::partition::kernel
