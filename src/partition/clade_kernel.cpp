#include <algorithm>
#include <cstring>

#include "partition/partition_kernel.hpp"

#include "core/constants.hpp"

namespace quorvel::partition::kernel {

namespace {

std::size_t at(int index) { return static_cast<std::size_t>(index); }

bool same_tree(const PartitionWorkspace& ws, int s, const CladeTree& tree, int n_intervals,
               const core::DVector& limits) {
  if (!ws.clade_mode || ws.n_species != s || ws.n_intervals != n_intervals) return false;
  for (int m = 1; m <= n_intervals; ++m)
    if (ws.limits[at(m - 1)] != limits[m]) return false;
  return ws.clade_parent == tree.parent && ws.clade_age.size() == tree.age.size() &&
         std::memcmp(ws.clade_age.data(), tree.age.data(), sizeof(float) * tree.age.size()) == 0;
}

// Children lists, an order in which every child comes before its parent (ages
// grow toward the root), and the slot of every node's age.
void code_tree(PartitionWorkspace& ws, int s, const CladeTree& tree, int n_intervals, const core::DVector& limits) {
  const int n_nodes = static_cast<int>(tree.parent.size()) - 1;
  ws.coded = false;  // the matrix coding is gone
  ws.clade_mode = true;
  ws.has_divergences = true;
  ws.n_species = s;
  ws.n_intervals = n_intervals;
  ws.limits.assign(at(n_intervals), 0.0);
  for (int m = 1; m <= n_intervals; ++m) ws.limits[at(m - 1)] = limits[m];
  ws.clade_parent = tree.parent;
  ws.clade_age = tree.age;

  ws.child_start.assign(at(n_nodes) + 2, 0);
  for (int n = 1; n <= n_nodes; ++n) ++ws.child_start[at(tree.parent[at(n)]) + 1];
  ws.child_start[1] = 0;  // nodes without parent are nobody's children
  for (int n = 1; n <= n_nodes + 1; ++n) ws.child_start[at(n)] += ws.child_start[at(n) - 1];
  ws.child_list.assign(at(ws.child_start[at(n_nodes) + 1]), 0);
  std::vector<int> filled(ws.child_start.begin(), ws.child_start.end() - 1);
  for (int n = 1; n <= n_nodes; ++n) {
    const int up = tree.parent[at(n)];
    if (up != 0) ws.child_list[at(filled[at(up)]++)] = n;
  }
  ws.internal_order.clear();
  for (int n = 1; n <= n_nodes; ++n)
    if (ws.child_start[at(n) + 1] > ws.child_start[at(n)]) ws.internal_order.push_back(n);
  std::stable_sort(ws.internal_order.begin(), ws.internal_order.end(),
                   [&tree](int a, int b) { return tree.age[at(a)] < tree.age[at(b)]; });

  // Divergences are 0 (a species with itself or a tip shared) or the age of a
  // node with children.
  std::vector<float> values = {0.0f};
  for (int n : ws.internal_order) values.push_back(tree.age[at(n)]);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  const int n_values = static_cast<int>(values.size());
  ws.value_slots = 2 * n_values < 4 * n_intervals && n_values < 65535;
  ws.n_slots = ws.value_slots ? n_values : n_intervals;
  ws.slot_stride = ws.n_slots;
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
    if (n <= tree.n_tips || ws.child_start[at(n) + 1] > ws.child_start[at(n)]) ws.node_slot[at(n)] = slot_of(d);
  }
  ws.clade_abundance.assign(at(n_nodes) + 1, 0.0);
  ws.clade_presence.assign(at(n_nodes) + 1, 0.0);
  ws.sibling_abundance.assign(at(n_nodes) + 1, 0.0);
  ws.sibling_presence.assign(at(n_nodes) + 1, 0.0);
  ws.species_abundance.assign(at(s), 0.0);
}

// Clade sums of the current species list (abundance and number of species
// under every node), and for every node the same sums over its siblings: the
// species whose common ancestor with the node's species is its parent.
// Prefix and suffix sums keep every term non-negative, so the sums are as
// accurate as direct ones and exactly 0 when nothing is there.
void clade_sums(PartitionWorkspace& ws, const int* species, const double* abundance, int count) {
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
  const int* children = ws.child_list.data();
  for (int n : ws.internal_order) {
    const int first = ws.child_start[at(n)];
    const int last = ws.child_start[at(n) + 1];
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

void code_clades(PartitionWorkspace& ws, int s, const CladeDivergences& clades, int n_intervals,
                 const core::DVector& limits) {
  const CladeTree& tree = *clades.tree;
  if (!same_tree(ws, s, tree, n_intervals, limits)) code_tree(ws, s, tree, n_intervals, limits);
  ws.species_tip.assign(at(s), 0);
  const core::IVector& tips = *clades.tip_of_species;
  for (int j = 1; j <= s; ++j) {
    const int tip = j <= tips.hi() ? tips[j] : 0;
    ws.species_tip[at(j - 1)] = tip >= 1 && tip <= tree.n_tips ? tip : 0;
  }
}

void clade_channel_sums(PartitionWorkspace& ws, int k, bool with_self) {
  const int s = ws.n_species;
  const int S = ws.slot_stride;
  const int C = channel_count(ws);
  const int begin = ws.list_start[at(k)];
  const int count = ws.list_start[at(k) + 1] - begin;
  const int* species = ws.list_species.data() + begin;
  const double* abundance = ws.list_abundance.data() + begin;
  clade_sums(ws, species, abundance, count);
  double* dense = ws.species_abundance.data();
  for (int p = 0; p < count; ++p) dense[species[p]] = abundance[p];

  ws.plot_channels.assign(at(s) * at(C), 0.0);
  const double* X = ws.clade_abundance.data();
  const double* P = ws.clade_presence.data();
  const double* sibling_a = ws.sibling_abundance.data();
  const double* sibling_p = ws.sibling_presence.data();
  const int* parent = ws.clade_parent.data();
  const bool by_value = ws.value_slots;
  const int zero = ws.zero_slot;
  for (int j = 0; j < s; ++j) {
    double* y = ws.plot_channels.data() + at(j) * at(C);
    const double own = dense[j];
    const int tip = ws.species_tip[at(j)];
    if (tip != 0) {
      // Other species of the plot on the same tip: divergence 0.
      const double others = P[tip] - (own != 0.0 ? 1.0 : 0.0);
      if (others > 0.0) {
        y[zero] += X[tip] - own;
        if (by_value) y[S + zero] += others;
      }
      for (int child = tip, n = parent[tip]; n != 0; child = n, n = parent[n]) {
        const double present = sibling_p[child];
        if (present == 0.0) continue;
        const double a = sibling_a[child];
        const int slot = ws.node_slot[at(n)];
        if (by_value) {
          y[slot] += a;
          y[S + slot] += present;
        } else {
          const double d = ws.node_age[at(n)];
          y[slot] += a;
          y[S + slot] += d * a;
          if (d != 0.0) {
            y[2 * S + slot] += present;
            y[3 * S + slot] += d * present;
          }
        }
      }
    }
    if (with_self && own != 0.0) y[zero] += own;
  }
  for (int p = 0; p < count; ++p) dense[species[p]] = 0.0;
}

void clade_within_sums(PartitionWorkspace& ws, int k, int data_type, double plot_total, double* raw,
                       bool& undefined_draws) {
  const int R1 = ws.n_intervals + 1;
  clade_channel_sums(ws, k, false);
  pair_sums(ws, k, raw);  // every ordered pair of distinct species
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
  double* X = ws.clade_abundance.data();
  double* P = ws.clade_presence.data();
  double* tip_pairs_a = ws.sibling_abundance.data();
  double* tip_pairs_p = ws.sibling_presence.data();
  std::fill(ws.clade_abundance.begin(), ws.clade_abundance.end(), 0.0);
  std::fill(ws.clade_presence.begin(), ws.clade_presence.end(), 0.0);
  std::fill(ws.sibling_abundance.begin(), ws.sibling_abundance.end(), 0.0);
  std::fill(ws.sibling_presence.begin(), ws.sibling_presence.end(), 0.0);
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
  const int* children = ws.child_list.data();
  for (int n : ws.internal_order) {
    double before_a = 0, before_p = 0, products = 0, pairs = 0;
    for (int c = ws.child_start[at(n)]; c < ws.child_start[at(n) + 1]; ++c) {
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
