#include "partition/diversity_indices.hpp"

#include <cmath>
#include <memory>
#include <vector>

#include "core/constants.hpp"
#include "partition/clade_order.hpp"
#include "phylogeny/tree_divergences.hpp"

namespace quorvel::partition {

namespace {

int tip_of(const SpeciesTree& tree, int species) {
  const core::IVector& leaf = *tree.leaf_of_species;
  if (species < leaf.lo() || species > leaf.hi()) return 0;
  const int tip = leaf[species];
  return tip >= 1 && tip <= tree.n_tips ? tip : 0;
}

// PD of the tips marked in `present`: the branches above the nodes that hold
// some but not all of them. Summed in node order.
double pd_of_tips(const SpeciesTree& tree, const CladeOrder& order, const std::vector<int>& present,
                  std::vector<int>& counts) {
  count_present_tips(order, present, counts);
  const int m = counts[static_cast<std::size_t>(order.root)];
  double pd = 0.0;
  for (int v = 1; v <= tree.n_nodes; ++v) {
    const int c = counts[static_cast<std::size_t>(v)];
    if (c > 0 && c < m) pd += (*tree.nodes)[v].branch_length;
  }
  return pd;
}

// Phylogenetic Jaccard similarity of two sets of tips from their tip counts
// per node (and those of their union): the branch length the two share below
// the common ancestor of the union over the union's branch length there
// (PD1 + PD2 - PD1&2) / PD1&2, from 0 to 1. Measured below that ancestor, a
// set's PD includes the path from its own ancestor down from the union's, so
// {A} and {A,B,C} share the branches from A up to the union's root.
double phylogenetic_jaccard(const SpeciesTree& tree, const CladeOrder& order, const std::vector<int>& first,
                            const std::vector<int>& second, const std::vector<int>& both) {
  const int m = both[static_cast<std::size_t>(order.root)];
  double shared = 0.0, union_length = 0.0;
  for (int v = 1; v <= tree.n_nodes; ++v) {
    const std::size_t i = static_cast<std::size_t>(v);
    if (both[i] == 0 || both[i] == m) continue;
    const double length = (*tree.nodes)[v].branch_length;
    union_length += length;
    if (first[i] > 0 && second[i] > 0) shared += length;
  }
  return union_length == 0.0 ? MISSING_VALUE : shared / union_length;
}

void mark_tips(const SpeciesTree& tree, int n_species, const double* row, std::vector<int>& present) {
  present.assign(static_cast<std::size_t>(tree.n_nodes) + 1, 0);
  for (int j = 1; j <= n_species; ++j) {
    if (row[j] == 0.0) continue;
    const int tip = tip_of(tree, j);
    if (tip != 0) present[static_cast<std::size_t>(tip)] = 1;
  }
}

bool usable(float d) { return std::isfinite(d); }

// The divergences of one species with every species (row[j], j = 1..s):
// rows of the table, or computed from the tree one at a time.
class DivergenceRowSource {
 public:
  DivergenceRowSource(const SpeciesDistances& distances, int n_species) : distances_(distances) {
    if (distances.tree) {
      rows_ = std::make_unique<phylogeny::DivergenceRows>(*distances.tree, *distances.tip_of_species, n_species);
      buffer_.assign(static_cast<std::size_t>(n_species) + 1, 0.0f);
    }
  }
  const float* row(int i) {
    if (!rows_) return &(*distances_.matrix)(i, 0);
    if (i != cached_) {
      rows_->fill(i, buffer_.data());
      cached_ = i;
    }
    return buffer_.data();
  }

 private:
  const SpeciesDistances& distances_;
  std::unique_ptr<phylogeny::DivergenceRows> rows_;
  std::vector<float> buffer_;
  int cached_ = -1;
};

double ratio(double numerator, double denominator) {
  return denominator == 0.0 ? MISSING_VALUE : numerator / denominator;
}

PlotDiversity row_indices(const DiversityIndicesInput& in, int r, const CladeOrder* order, DivergenceRowSource* rows,
                          std::vector<int>& present, std::vector<int>& counts) {
  const core::DMatrix& A = *in.abundances;
  PlotDiversity out;
  std::vector<int> species;
  for (int j = 1; j <= in.n_species; ++j) {
    if (A(r, j) != 0.0) species.push_back(j);
  }
  out.richness = static_cast<int>(species.size());
  if (rows) {
    double sum = 0.0;
    long pairs = 0;
    for (std::size_t a = 0; a < species.size(); ++a) {
      const float* row = rows->row(species[a]);
      for (std::size_t b = a + 1; b < species.size(); ++b) {
        const float d = row[species[b]];
        if (!usable(d)) continue;
        sum += d;
        ++pairs;
      }
    }
    out.mean_divergence = ratio(sum, static_cast<double>(pairs));
  }
  if (order) {
    mark_tips(in.tree, in.n_species, A[r].data(), present);
    out.pd = pd_of_tips(in.tree, *order, present, counts);
  }
  return out;
}

// Sums over the species of plot k against every species j, so that each pair
// of plots costs one pass over the species of the second plot.
struct PlotSums {
  std::vector<double> individual_sum;     // sum_i A[k][i] D[i][j]
  std::vector<double> individual_weight;  // sum_i A[k][i] over usable D[i][j]
  std::vector<double> species_sum;        // sum over species i != j of k of D[i][j]
  std::vector<long> species_pairs;        // number of such species
};

void plot_sums(const DiversityIndicesInput& in, int k, DivergenceRowSource& rows, PlotSums& sums) {
  const core::DMatrix& A = *in.abundances;
  const std::size_t size = static_cast<std::size_t>(in.n_species) + 1;
  sums.individual_sum.assign(size, 0.0);
  sums.individual_weight.assign(size, 0.0);
  sums.species_sum.assign(size, 0.0);
  sums.species_pairs.assign(size, 0);
  for (int i = 1; i <= in.n_species; ++i) {
    const double a = A(k, i);
    if (a == 0.0) continue;
    const float* row = rows.row(i);
    for (int j = 1; j <= in.n_species; ++j) {
      const float d = row[j];
      if (!usable(d)) continue;
      const std::size_t sj = static_cast<std::size_t>(j);
      sums.individual_sum[sj] += a * d;
      sums.individual_weight[sj] += a;
      if (i != j) {
        sums.species_sum[sj] += d;
        ++sums.species_pairs[sj];
      }
    }
  }
}

void pair_indices(const DiversityIndicesInput& in, const CladeOrder* order, DivergenceRowSource* divergence_rows,
                  DiversityIndices& out) {
  const core::DMatrix& A = *in.abundances;
  const std::vector<PlotDiversity>& rows = out.plots;
  std::vector<int> present_k, present_l, present, counts_k, counts_l, counts;
  PlotSums sums;
  for (int k = 1; k < in.n_plots; ++k) {
    if (order) {
      mark_tips(in.tree, in.n_species, A[k].data(), present_k);
      count_present_tips(*order, present_k, counts_k);
    }
    if (divergence_rows) plot_sums(in, k, *divergence_rows, sums);
    for (int l = k + 1; l <= in.n_plots; ++l) {
      int union_size = 0;
      double individual_sum = 0.0, individual_weight = 0.0, species_sum = 0.0;
      long species_pairs = 0;
      for (int j = 1; j <= in.n_species; ++j) {
        const double a = A(l, j);
        if (a != 0.0 || A(k, j) != 0.0) ++union_size;
        if (a == 0.0 || !divergence_rows) continue;
        const std::size_t sj = static_cast<std::size_t>(j);
        individual_sum += a * sums.individual_sum[sj];
        individual_weight += a * sums.individual_weight[sj];
        species_sum += sums.species_sum[sj];
        species_pairs += sums.species_pairs[sj];
      }
      const PlotDiversity& rk = rows[static_cast<std::size_t>(k)];
      const PlotDiversity& rl = rows[static_cast<std::size_t>(l)];
      PlotPairDiversity pair;
      pair.shared = rk.richness + rl.richness - union_size;
      pair.jaccard = ratio(pair.shared, union_size);
      if (order) {
        mark_tips(in.tree, in.n_species, A[l].data(), present_l);
        count_present_tips(*order, present_l, counts_l);
        present = present_k;
        for (std::size_t t = 0; t < present.size(); ++t) present[t] |= present_l[t];
        count_present_tips(*order, present, counts);
        pair.pj = phylogenetic_jaccard(in.tree, *order, counts_k, counts_l, counts);
      }
      if (divergence_rows) {
        pair.mean_individual_divergence = ratio(individual_sum, individual_weight);
        pair.mean_species_divergence = ratio(species_sum, static_cast<double>(species_pairs));
      }
      out.pairs.push_back(pair);
    }
  }
}

}  // namespace

double phylogenetic_diversity(const SpeciesTree& tree, int n_species, const double* row) {
  const CladeOrder order = make_clade_order(*tree.nodes, tree.n_tips, tree.n_nodes);
  std::vector<int> present, counts;
  mark_tips(tree, n_species, row, present);
  return pd_of_tips(tree, order, present, counts);
}

DiversityIndices diversity_indices(const DiversityIndicesInput& in) {
  CladeOrder order;
  if (in.tree.nodes) order = make_clade_order(*in.tree.nodes, in.tree.n_tips, in.tree.n_nodes);
  const CladeOrder* tree_order = in.tree.nodes ? &order : nullptr;
  DiversityIndices out;
  out.n_plots = in.n_plots;
  out.has_divergences = in.divergences.given();
  out.has_tree = in.tree.nodes != nullptr;
  std::vector<int> present, counts;
  std::unique_ptr<DivergenceRowSource> divergence_rows;
  if (in.divergences.given()) divergence_rows = std::make_unique<DivergenceRowSource>(in.divergences, in.n_species);
  for (int r = 0; r <= in.n_plots; ++r)
    out.plots.push_back(row_indices(in, r, tree_order, divergence_rows.get(), present, counts));
  if (in.n_plots > 1) pair_indices(in, tree_order, divergence_rows.get(), out);
  return out;
}

}  // namespace quorvel::partition
