#include "partition/node_decomposition.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/format.hpp"
#include "partition/clade_order.hpp"

namespace quorvel::partition {

namespace {

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

// Divisions the decomposition leaves unguarded: 0/0 and x/0 are undefined,
// and stay so through every sum and mean they enter.
double divide(double numerator, double denominator) {
  return denominator == 0.0 ? kUndefined : numerator / denominator;
}

// Plots of the decomposition: every plot, or the plots of the selected
// categories when a category selection names one.
bool included(const PairSelection& selection, int k) {
  if (selection.categories == nullptr || selection.key1 == 0) return true;
  const int category = (*selection.categories)[k];
  if (selection.mode == 1) return category == selection.key1;
  if (selection.mode == 2) return category == selection.key1 || category == selection.key2;
  return true;
}

// Individuals (N_k times the relative frequency) and species of one plot,
// summed over every clade.
struct PlotClades {
  std::vector<double> individuals;  // [0..V]
  std::vector<double> species;      // [0..V]
};

// Values of one pair of plots (or of one plot with itself), indexed -3..V
// through at(): the proportions H and P, then the clade values.
struct PairValues {
  explicit PairValues(int n_nodes)
      : H(static_cast<std::size_t>(n_nodes) + 4),
        P(H.size()),
        J(H.size()),
        Q(H.size()),
        K(H.size()),
        R(H.size()),
        Di(H.size()) {}
  static std::size_t at(int v) { return static_cast<std::size_t>(v + 3); }
  std::vector<double> H, P, J, Q, K, R, Di;
};

// Which values of a pair (or a plot) are defined, one bit per table, one
// byte per column -3..V.
enum DefinedBit : std::uint8_t { kH = 1, kP = 2, kJ = 4, kQ = 8, kDi = 16, kKJ = 32, kRQ = 64 };
using DefinedMask = std::vector<std::uint8_t>;

// Running sums over plots (row 0) or pairs (row 1), each column of each
// table over the values defined there; the weighted means Dp* and DELTA
// over the values whose weight J (or Q) is defined too.
struct MeanSums {
  explicit MeanSums(int n_nodes) {
    const std::size_t columns = static_cast<std::size_t>(n_nodes) + 4;
    for (std::vector<double>* sum : {&H, &J, &Di, &P, &Q, &KJ, &RQ, &JK, &QR}) sum->assign(columns, 0.0);
    for (std::vector<int>* count : {&nH, &nJ, &nDi, &nP, &nQ}) count->assign(columns, 0);
  }
  std::vector<double> H, J, Di, P, Q, KJ, RQ, JK, QR;
  std::vector<int> nH, nJ, nDi, nP, nQ;
  int count = 0;
};

class Decomposer {
 public:
  explicit Decomposer(const NodeDecompositionInput& in)
      : in_(in), nodes_(*in.tree.nodes), order_(make_clade_order(nodes_, in.tree.n_tips, in.tree.n_nodes)) {
    for (const int v : order_.post_order) {
      if (v > in.tree.n_tips) internal_.push_back(v);
    }
  }

  NodeDecomposition run() {
    const int n = in_.n_plots;
    const int V = in_.tree.n_nodes;
    NodeDecomposition out;
    std::vector<PlotClades> plots(static_cast<std::size_t>(n) + 1);
    std::vector<char> used(static_cast<std::size_t>(n) + 1, 0);
    for (int k = 1; k <= n; ++k) {
      if (!included(in_.selection, k)) continue;
      used[static_cast<std::size_t>(k)] = plot_clades(k, plots[static_cast<std::size_t>(k)]) ? 1 : 0;
      if (used[static_cast<std::size_t>(k)]) ++out.n_plots_used;
    }
    species_summary(used, out);

    // A column is averaged over the plots where it is defined (a plot of one
    // individual has no share of pairs of individuals, a plot of one species
    // no mean divergence between species, a plot without two individuals in
    // a clade no Di there), and over the pairs whose own value and both
    // plots' values are defined.
    MeanSums within(V), among(V);
    PairValues values(V);
    std::vector<DefinedMask> defined(static_cast<std::size_t>(n) + 1);
    DefinedMask pair_defined;
    for (int k = 1; k <= n; ++k) {
      if (!used[static_cast<std::size_t>(k)]) continue;
      pair_values(plots[static_cast<std::size_t>(k)], plots[static_cast<std::size_t>(k)], true, values);
      defined_values(values, defined[static_cast<std::size_t>(k)]);
      accumulate(values, defined[static_cast<std::size_t>(k)], within);
    }
    for (int k = 1; k <= n; ++k) {
      if (!used[static_cast<std::size_t>(k)]) continue;
      const DefinedMask& defined_k = defined[static_cast<std::size_t>(k)];
      for (int l = k + 1; l <= n; ++l) {
        if (!used[static_cast<std::size_t>(l)] || !in_.selection.selects(k, l)) continue;
        pair_values(plots[static_cast<std::size_t>(k)], plots[static_cast<std::size_t>(l)], false, values);
        defined_values(values, pair_defined);
        const DefinedMask& defined_l = defined[static_cast<std::size_t>(l)];
        for (std::size_t i = 0; i < pair_defined.size(); ++i) pair_defined[i] &= defined_k[i] & defined_l[i];
        accumulate(values, pair_defined, among);
      }
    }
    out.n_pairs_used = among.count;
    for (core::DMatrix* table : {&out.H, &out.J, &out.Di, &out.Dpstar, &out.P, &out.Q, &out.Delta}) {
      *table = core::dmatrix(0, 1, -3, V);
    }
    store_means(within, 0, out);
    store_means(among, 1, out);
    return out;
  }

 private:
  int tip_of(int species) const {
    const core::IVector& leaf = *in_.tree.leaf_of_species;
    if (species > leaf.hi()) return 0;
    const int tip = leaf[species];
    return tip >= 1 && tip <= in_.tree.n_tips ? tip : 0;
  }

  // Fills the clade sums of plot k; false when it holds no species of the tree.
  bool plot_clades(int k, PlotClades& plot) const {
    const core::DMatrix& A = *in_.abundances;
    const std::size_t size = static_cast<std::size_t>(in_.tree.n_nodes) + 1;
    plot.individuals.assign(size, 0.0);
    plot.species.assign(size, 0.0);
    bool any = false;
    for (int j = 1; j <= in_.n_species; ++j) {
      const int tip = tip_of(j);
      if (A(k, j) == 0.0 || tip == 0) continue;
      plot.individuals[static_cast<std::size_t>(tip)] = A(k, j) * A(k, 0);
      plot.species[static_cast<std::size_t>(tip)] = 1.0;
      any = true;
    }
    for (const int v : order_.post_order) {
      const int up = order_.parent[static_cast<std::size_t>(v)];
      if (up == 0) continue;
      plot.individuals[static_cast<std::size_t>(up)] += plot.individuals[static_cast<std::size_t>(v)];
      plot.species[static_cast<std::size_t>(up)] += plot.species[static_cast<std::size_t>(v)];
    }
    return any;
  }

  void species_summary(const std::vector<char>& used, NodeDecomposition& out) const {
    const core::DMatrix& A = *in_.abundances;
    const int V = in_.tree.n_nodes;
    out.mean_frequency = core::dvector(1, in_.n_species > 0 ? in_.n_species : 1);
    out.species_present = core::ivector(0, V);
    out.clade_frequency = core::dvector(0, V);
    std::vector<double> frequency(static_cast<std::size_t>(V) + 1, 0.0);
    std::vector<int> present(static_cast<std::size_t>(V) + 1, 0);
    for (int j = 1; j <= in_.n_species; ++j) {
      double sum = 0.0;
      for (int k = 1; k <= in_.n_plots; ++k) {
        if (used[static_cast<std::size_t>(k)]) sum += A(k, j);
      }
      const double mean = divide(sum, out.n_plots_used);
      out.mean_frequency[j] = mean;
      const int tip = tip_of(j);
      if (tip == 0 || !(mean != 0.0)) continue;
      frequency[static_cast<std::size_t>(tip)] += mean;
      present[static_cast<std::size_t>(tip)] += 1;
    }
    for (const int v : order_.post_order) {
      const std::size_t i = static_cast<std::size_t>(v);
      out.clade_frequency[v] = frequency[i];
      out.species_present[v] = present[i];
      const int up = order_.parent[i];
      if (up == 0) continue;
      frequency[static_cast<std::size_t>(up)] += frequency[i];
      present[static_cast<std::size_t>(up)] += present[i];
    }
  }

  // Pairs of individuals and of species between plots a and b (a with
  // itself when `within`), by the node where their lineages meet, then
  // normalised and summed over clades.
  void pair_values(const PlotClades& a, const PlotClades& b, bool within, PairValues& w) const {
    const int T = in_.tree.n_tips;
    auto& H = w.H;
    auto& P = w.P;
    std::fill(H.begin(), H.end(), 0.0);
    std::fill(P.begin(), P.end(), 0.0);
    const bool without_replacement = within && in_.data_type == kCountData;
    for (int t = 1; t <= T; ++t) {
      const double x = a.individuals[static_cast<std::size_t>(t)];
      const double y = b.individuals[static_cast<std::size_t>(t)];
      if (x == 0.0 || y == 0.0) continue;
      const double pairs = without_replacement ? x * (x - 1.0) : x * y;
      H[PairValues::at(t)] = pairs;
      H[PairValues::at(0)] += pairs;
    }
    // Ordered pairs whose lineages meet at node v: one member in one child
    // clade, the other in another child clade.
    for (const int v : internal_) {
      double h = 0.0, p = 0.0, ia = 0.0, ib = 0.0, sa = 0.0, sb = 0.0;
      for (int c = order_.first_child[static_cast<std::size_t>(v)]; c != 0;
           c = order_.next_sibling[static_cast<std::size_t>(c)]) {
        const std::size_t i = static_cast<std::size_t>(c);
        h += a.individuals[i] * ib + b.individuals[i] * ia;
        p += a.species[i] * sb + b.species[i] * sa;
        ia += a.individuals[i];
        ib += b.individuals[i];
        sa += a.species[i];
        sb += b.species[i];
      }
      const double age = nodes_[v].age;
      H[PairValues::at(v)] = h;
      H[PairValues::at(-1)] += h;
      H[PairValues::at(-2)] += h * age;
      P[PairValues::at(v)] = p;
      P[PairValues::at(-1)] += p;
      P[PairValues::at(-2)] += p * age;
    }
    normalise(w);
    clade_values(w);
  }

  void normalise(PairValues& w) const {
    auto& H = w.H;
    auto& P = w.P;
    const double same = H[PairValues::at(0)];
    const double distinct = H[PairValues::at(-1)];
    const double all = same + distinct;
    for (int t = 1; t <= in_.tree.n_tips; ++t) H[PairValues::at(t)] = divide(H[PairValues::at(t)], all);
    if (distinct != 0.0) {
      for (const int v : internal_) H[PairValues::at(v)] /= distinct;
    }
    H[PairValues::at(-3)] = divide(H[PairValues::at(-2)], distinct);
    H[PairValues::at(-2)] = divide(H[PairValues::at(-2)], all);
    const double between = divide(distinct, all);
    H[PairValues::at(-1)] = between;
    H[PairValues::at(0)] = 1.0 - between;
    const double species_pairs = P[PairValues::at(-1)];
    if (species_pairs != 0.0) {
      for (const int v : internal_) P[PairValues::at(v)] /= species_pairs;
    }
    P[PairValues::at(-2)] = divide(P[PairValues::at(-2)], species_pairs);
  }

  // Sums over the internal nodes of each clade (J, Q, K, R) and the share of
  // pairs within species of its tips, for the clade's Simpson diversity.
  void clade_values(PairValues& w) const {
    const double between = w.H[PairValues::at(-1)];
    for (const int v : order_.post_order) {
      const std::size_t i = PairValues::at(v);
      if (v <= in_.tree.n_tips) {
        w.Di[i] = w.H[i];  // tips carry their share of same-species pairs
        w.J[i] = w.Q[i] = w.K[i] = w.R[i] = 0.0;
        continue;
      }
      const double age = nodes_[v].age;
      w.J[i] = w.H[i];
      w.Q[i] = w.P[i];
      w.K[i] = w.H[i] * age;
      w.R[i] = w.P[i] * age;
      w.Di[i] = 0.0;
      for (int c = order_.first_child[static_cast<std::size_t>(v)]; c != 0;
           c = order_.next_sibling[static_cast<std::size_t>(c)]) {
        const std::size_t ci = PairValues::at(c);
        w.J[i] += w.J[ci];
        w.Q[i] += w.Q[ci];
        w.K[i] += w.K[ci];
        w.R[i] += w.R[ci];
        w.Di[i] += w.Di[ci];
      }
    }
    // Di holds the tips' shares of each clade; finish the ratios once every
    // clade sum is complete (the children's raw sums were used above).
    for (const int v : internal_) {
      const std::size_t i = PairValues::at(v);
      const double distinct = w.J[i] * between;
      w.Di[i] = divide(distinct, distinct + w.Di[i]);
      if (w.J[i] != 0.0) w.K[i] /= w.J[i];
      if (w.Q[i] != 0.0) w.R[i] /= w.Q[i];
    }
  }

  void defined_values(const PairValues& w, DefinedMask& mask) const {
    mask.assign(w.H.size(), 0);
    for (std::size_t i = 0; i < w.H.size(); ++i) {
      std::uint8_t bits = 0;
      if (std::isfinite(w.H[i])) bits |= kH;
      if (std::isfinite(w.P[i])) bits |= kP;
      mask[i] = bits;
    }
    for (const int v : internal_) {
      const std::size_t i = PairValues::at(v);
      std::uint8_t bits = mask[i];
      if (std::isfinite(w.J[i])) bits |= kJ;
      if (std::isfinite(w.Q[i])) bits |= kQ;
      if (std::isfinite(w.Di[i])) bits |= kDi;
      if (std::isfinite(w.K[i] * w.J[i]) && std::isfinite(w.J[i])) bits |= kKJ;
      if (std::isfinite(w.R[i] * w.Q[i]) && std::isfinite(w.Q[i])) bits |= kRQ;
      mask[i] = bits;
    }
  }

  // The tables averaged by plain means: their bit, values, sums and counts.
  struct MeanColumn {
    DefinedBit bit;
    std::vector<double> PairValues::*values;
    std::vector<double> MeanSums::*sum;
    std::vector<int> MeanSums::*count;
  };
  static constexpr MeanColumn kEveryColumn[2] = {{kH, &PairValues::H, &MeanSums::H, &MeanSums::nH},
                                                 {kP, &PairValues::P, &MeanSums::P, &MeanSums::nP}};
  static constexpr MeanColumn kInternalColumn[3] = {{kJ, &PairValues::J, &MeanSums::J, &MeanSums::nJ},
                                                    {kQ, &PairValues::Q, &MeanSums::Q, &MeanSums::nQ},
                                                    {kDi, &PairValues::Di, &MeanSums::Di, &MeanSums::nDi}};

  static void add(const MeanColumn& column, const PairValues& w, std::size_t i, MeanSums& sums) {
    (sums.*column.sum)[i] += (w.*column.values)[i];
    ++(sums.*column.count)[i];
  }

  void accumulate(const PairValues& w, const DefinedMask& defined, MeanSums& sums) const {
    ++sums.count;
    for (std::size_t i = 0; i < w.H.size(); ++i)
      for (const MeanColumn& column : kEveryColumn)
        if (defined[i] & column.bit) add(column, w, i, sums);
    for (const int v : internal_) {
      const std::size_t i = PairValues::at(v);
      for (const MeanColumn& column : kInternalColumn)
        if (defined[i] & column.bit) add(column, w, i, sums);
      // Dp* and DELTA: means of K and R weighted by J and Q.
      if (defined[i] & kKJ) {
        sums.KJ[i] += w.K[i] * w.J[i];
        sums.JK[i] += w.J[i];
      }
      if (defined[i] & kRQ) {
        sums.RQ[i] += w.R[i] * w.Q[i];
        sums.QR[i] += w.Q[i];
      }
    }
  }

  void store_means(const MeanSums& sums, int row, NodeDecomposition& out) const {
    for (int v = -3; v <= in_.tree.n_nodes; ++v) {
      const std::size_t i = PairValues::at(v);
      out.H(row, v) = divide(sums.H[i], sums.nH[i]);
      out.P(row, v) = divide(sums.P[i], sums.nP[i]);
      out.J(row, v) = divide(sums.J[i], sums.nJ[i]);
      out.Q(row, v) = divide(sums.Q[i], sums.nQ[i]);
      out.Di(row, v) = divide(sums.Di[i], sums.nDi[i]);
      out.Dpstar(row, v) = divide(sums.KJ[i], sums.JK[i]);
      out.Delta(row, v) = divide(sums.RQ[i], sums.QR[i]);
    }
  }

  const NodeDecompositionInput& in_;
  const phylogeny::NodeTable& nodes_;
  CladeOrder order_;
  std::vector<int> internal_;  // internal nodes, children before parents
};

}  // namespace

NodeDecomposition compute_node_decomposition(const NodeDecompositionInput& input) { return Decomposer(input).run(); }

}  // namespace quorvel::partition
