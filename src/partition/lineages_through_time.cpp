#include "partition/lineages_through_time.hpp"

#include <utility>
#include <vector>

#include "core/constants.hpp"
#include "partition/clade_order.hpp"

namespace quorvel::partition {

namespace {

// Summed frequency of every lineage of one cut in every row (0 = pooled).
struct CutFrequencies {
  int n_lineages = 0;
  core::DMatrix frequency;  // [0..n][1..n_lineages]
  core::IVector present;    // [0..n]: lineages with a non-zero frequency
  core::DVector simpson;    // [0..n]
};

CutFrequencies cut_frequencies(const LineagesInput& in, const LineageCut& cut) {
  const core::DMatrix& A = *in.abundances;
  const core::IVector& leaf = *in.tree.leaf_of_species;
  CutFrequencies out;
  out.n_lineages = cut.n_lineages;
  out.frequency = core::dmatrix(0, in.n_plots, 1, cut.n_lineages > 0 ? cut.n_lineages : 1);
  out.present = core::ivector(0, in.n_plots);
  out.simpson = core::dvector(0, in.n_plots);
  for (int r = 0; r <= in.n_plots; ++r) {
    for (int j = 1; j <= in.n_species; ++j) {
      const double a = A(r, j);
      if (a == 0.0) continue;
      const int tip = j <= leaf.hi() ? leaf[j] : 0;
      if (tip < 1 || tip > in.tree.n_tips) continue;
      const int lineage = cut.lineage_of_tip[tip];
      if (lineage != 0) out.frequency(r, lineage) += a;
    }
    int present = 0;
    double squares = 0.0;
    for (int g = 1; g <= cut.n_lineages; ++g) {
      const double f = out.frequency(r, g);
      if (f == 0.0) continue;
      ++present;
      squares += f * f;
    }
    out.present[r] = present;
    // Drawing two individuals without replacement: N/(N-1) for N >= 2.
    const double n = A(r, 0);
    double simpson = 1.0 - squares;
    if (n >= 2) simpson *= n / (n - 1.0);
    out.simpson[r] = present == 0 ? MISSING_VALUE : simpson;
  }
  return out;
}

double jaccard(const CutFrequencies& c, int k, int l) {
  int in_union = 0;
  for (int g = 1; g <= c.n_lineages; ++g) {
    if (c.frequency(k, g) != 0.0 || c.frequency(l, g) != 0.0) ++in_union;
  }
  if (in_union == 0) return MISSING_VALUE;
  const int shared = c.present[k] + c.present[l] - in_union;
  return static_cast<double>(shared) / in_union;
}

double morisita_horn(const CutFrequencies& c, int k, int l) {
  double cross = 0.0, sk = 0.0, sl = 0.0;
  for (int g = 1; g <= c.n_lineages; ++g) {
    const double fk = c.frequency(k, g);
    const double fl = c.frequency(l, g);
    cross += fk * fl;
    sk += fk * fk;
    sl += fl * fl;
  }
  const double denominator = 0.5 * sl + 0.5 * sk;
  return denominator == 0.0 ? MISSING_VALUE : cross / denominator;
}

}  // namespace

LineageCut cut_tree_at(const SpeciesTree& tree, double time) {
  const phylogeny::NodeTable& nodes = *tree.nodes;
  const CladeOrder order = make_clade_order(nodes, tree.n_tips, tree.n_nodes);
  LineageCut cut;
  cut.lineage_of_tip = core::ivector(1, tree.n_tips > 0 ? tree.n_tips : 1);
  // A node carries a lineage across `time` when it is no older than the time
  // and its parent is older (or it is the root).
  std::vector<int> lineage_number(static_cast<std::size_t>(tree.n_nodes) + 1, 0);
  auto crosses = [&](int v) {
    if (static_cast<double>(nodes[v].age) > time) return false;
    const int up = order.parent[static_cast<std::size_t>(v)];
    return up == 0 || static_cast<double>(nodes[up].age) > time;
  };
  for (int v = 1; v <= tree.n_nodes; ++v) {
    if (order.reached(v) && crosses(v)) lineage_number[static_cast<std::size_t>(v)] = ++cut.n_lineages;
  }
  for (int tip = 1; tip <= tree.n_tips; ++tip) {
    int v = tip;
    while (v != 0 && lineage_number[static_cast<std::size_t>(v)] == 0) v = order.parent[static_cast<std::size_t>(v)];
    cut.lineage_of_tip[tip] = v == 0 ? 0 : lineage_number[static_cast<std::size_t>(v)];
  }
  return cut;
}

LineagesThroughTime lineages_through_time(const LineagesInput& in) {
  LineagesThroughTime out;
  out.n_plots = in.n_plots;
  for (int m = 1; m <= in.n_times; ++m) {
    const double time = (*in.times)[m];
    const CutFrequencies cut = cut_frequencies(in, cut_tree_at(in.tree, time));
    LineagesAtTime at;
    at.time = time;
    for (int r = 0; r <= in.n_plots; ++r) {
      at.lineages.push_back(cut.present[r]);
      at.simpson.push_back(cut.simpson[r]);
    }
    for (int k = 1; k <= in.n_plots; ++k) {
      for (int l = k + 1; l <= in.n_plots; ++l) {
        at.jaccard.push_back(jaccard(cut, k, l));
        at.morisita_horn.push_back(morisita_horn(cut, k, l));
      }
    }
    out.times.push_back(std::move(at));
  }
  return out;
}

}  // namespace quorvel::partition
