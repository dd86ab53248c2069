#include "partition/node_decomposition.hpp"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "reports/node_decomposition_text.hpp"

#include "optional_tables_fixtures.hpp"
#include "partition_fixtures.hpp"

namespace quorvel::partition {
namespace {

using testing::species_tree;
using testing::SpeciesTreeFixture;

// The decomposition as first described: every ordered pair of species of
// two plots looked up in a table of common ancestors, each internal node's
// values climbed to every ancestor. Plain double arithmetic, so undefined
// values come out as NaN or infinity; each column is then averaged over the
// plots where it is finite, and over the pairs where it is finite for the
// pair and both its plots.
struct SlowDecomposition {
  core::DMatrix H, J, Di, Dpstar, P, Q, Delta;
};

SlowDecomposition slow_decomposition(const NodeDecompositionInput& in, const std::vector<int>& plots) {
  const phylogeny::NodeTable& nodes = *in.tree.nodes;
  const int T = in.tree.n_tips, V = in.tree.n_nodes;
  const core::DMatrix& A = *in.abundances;
  auto internal = [&](int v) { return v > T && (v == T + 1 || nodes[v].upper_node != 0); };
  using Values = std::vector<std::vector<double>>;  // H, J, Di, K J, P, Q, R Q by column
  auto at = [](int v) { return static_cast<std::size_t>(v + 3); };
  auto run_pair = [&](int k, int l) {
    Values out(7, std::vector<double>(static_cast<std::size_t>(V) + 4, 0.0));
    std::vector<double> H(static_cast<std::size_t>(V) + 4), P(H.size()), J(H.size()), Q(H.size()), K(H.size()),
        R(H.size()), Di(H.size());
    for (int i = 1; i <= in.n_species; ++i) {
      for (int j = 1; j <= in.n_species; ++j) {
        if (A(k, i) == 0 || A(l, j) == 0) continue;
        double x = A(k, i) * A(k, 0) * A(l, j) * A(l, 0);
        if (k == l && i == j && in.data_type == kCountData) x = A(k, i) * A(k, 0) * (A(k, i) * A(k, 0) - 1);
        int a = i;  // the deepest node whose tip range holds both
        while (j < nodes[a].first_tip || j > nodes[a].last_tip) a = nodes[a].upper_node;
        H[at(a)] += x;
        if (i == j) {
          H[at(0)] += x;
          continue;
        }
        H[at(-1)] += x;
        H[at(-2)] += x * nodes[a].age;
        P[at(a)] += 1;
        P[at(-1)] += 1;
        P[at(-2)] += nodes[a].age;
      }
    }
    for (int t = 1; t <= T; ++t) H[at(t)] /= H[at(0)] + H[at(-1)];
    for (int v = T + 1; v <= V; ++v)
      if (H[at(-1)] != 0) H[at(v)] /= H[at(-1)];
    H[at(-3)] = H[at(-2)] / H[at(-1)];
    H[at(-2)] = H[at(-2)] / (H[at(0)] + H[at(-1)]);
    const double B = H[at(-1)] / (H[at(0)] + H[at(-1)]);
    H[at(-1)] = B;
    H[at(0)] = 1 - B;
    for (int v = T + 1; v <= V; ++v)
      if (P[at(-1)] != 0) P[at(v)] /= P[at(-1)];
    P[at(-2)] /= P[at(-1)];
    for (int u = T + 1; u <= V; ++u) {
      if (!internal(u)) continue;
      for (int v = u; v != 0; v = nodes[v].upper_node) {
        J[at(v)] += H[at(u)];
        Q[at(v)] += P[at(u)];
        K[at(v)] += H[at(u)] * nodes[u].age;
        R[at(v)] += P[at(u)] * nodes[u].age;
      }
    }
    for (int v = T + 1; v <= V; ++v) Di[at(v)] = J[at(v)] * B;
    for (int t = 1; t <= T; ++t)
      for (int v = nodes[t].upper_node; v != 0; v = nodes[v].upper_node) Di[at(v)] += H[at(t)];
    for (int v = T + 1; v <= V; ++v) {
      if (J[at(v)] != 0) K[at(v)] /= J[at(v)];
      if (Q[at(v)] != 0) R[at(v)] /= Q[at(v)];
      Di[at(v)] = J[at(v)] * B / Di[at(v)];
    }
    for (int v = -3; v <= V; ++v) {
      const std::size_t i = at(v);
      out[0][i] = H[i];
      out[1][i] = J[i];
      out[2][i] = Di[i];
      out[3][i] = K[i] * J[i];
      out[4][i] = P[i];
      out[5][i] = Q[i];
      out[6][i] = R[i] * Q[i];
    }
    return out;
  };
  // Sums [row][table][column] with their counts (or, for K J and R Q, the
  // sums of their weights J and Q).
  std::vector<Values> sums(2, Values(7, std::vector<double>(static_cast<std::size_t>(V) + 4, 0.0)));
  std::vector<Values> counts = sums;
  auto defined = [](const Values& x, int t, std::size_t i) {
    const int weight = t == 3 ? 1 : t == 6 ? 5 : t;
    return std::isfinite(x[static_cast<std::size_t>(t)][i]) && std::isfinite(x[static_cast<std::size_t>(weight)][i]);
  };
  auto add = [&](int row, const Values& x, const std::vector<const Values*>& plots_of_value) {
    for (int t = 0; t < 7; ++t)
      for (std::size_t i = 0; i < x[0].size(); ++i) {
        bool ok = defined(x, t, i);
        for (const Values* p : plots_of_value) ok = ok && defined(*p, t, i);
        if (!ok) continue;
        const std::size_t ti = static_cast<std::size_t>(t);
        sums[static_cast<std::size_t>(row)][ti][i] += x[ti][i];
        counts[static_cast<std::size_t>(row)][ti][i] += t == 3 ? x[1][i] : t == 6 ? x[5][i] : 1.0;
      }
  };
  std::vector<Values> within(static_cast<std::size_t>(in.n_plots) + 1);
  for (const int k : plots) {
    within[static_cast<std::size_t>(k)] = run_pair(k, k);
    add(0, within[static_cast<std::size_t>(k)], {});
  }
  for (const int k : plots)
    for (const int l : plots)
      if (k < l && in.selection.selects(k, l))
        add(1, run_pair(k, l), {&within[static_cast<std::size_t>(k)], &within[static_cast<std::size_t>(l)]});
  SlowDecomposition out;
  core::DMatrix* tables[7] = {&out.H, &out.J, &out.Di, &out.Dpstar, &out.P, &out.Q, &out.Delta};
  for (int t = 0; t < 7; ++t) {
    *tables[t] = core::dmatrix(0, 1, -3, V);
    for (int row = 0; row <= 1; ++row)
      for (int v = -3; v <= V; ++v) {
        const std::size_t r = static_cast<std::size_t>(row), ti = static_cast<std::size_t>(t);
        (*tables[t])(row, v) = sums[r][ti][at(v)] / counts[r][ti][at(v)];
      }
  }
  return out;
}

void expect_same(const core::DMatrix& fast, const core::DMatrix& slow, const char* name, int first, int last) {
  for (int row = 0; row <= 1; ++row) {
    for (int v = first; v <= last; ++v) {
      const double a = fast(row, v), b = slow(row, v);
      if (!std::isfinite(a) || !std::isfinite(b)) {
        EXPECT_EQ(std::isfinite(a), std::isfinite(b))
            << name << " row " << row << " node " << v << ": " << a << " vs " << b;
        continue;
      }
      EXPECT_NEAR(a, b, 1e-9 * (1 + std::fabs(b))) << name << " row " << row << " node " << v;
    }
  }
}

NodeDecompositionInput input_for(const SpeciesTreeFixture& tree, const core::DMatrix& A, int data_type) {
  NodeDecompositionInput in;
  in.n_plots = A.row_hi();
  in.n_species = tree.n_tips;
  in.abundances = &A;
  in.data_type = data_type;
  in.tree = tree.view();
  return in;
}

TEST(NodeDecomposition, AgreesWithPairByPairSumsOnRandomPlots) {
  const char* trees[] = {
      "((A:1,B:1,C:1):2,(D:2,(E:1,F:1):1):1,G:3);",                          // a polytomy and a ladder
      "(((A:0.0125,B:0.0125):3.5e-16,C:0.0125):0.9875,(D:0.5,E:0.5):0.5);",  // parent and child of one age
  };
  std::mt19937 rng(11);
  core::IVector categories = core::ivector(0, 8);
  for (int k = 1; k <= 8; ++k) categories[k] = 1 + k % 3;
  for (const char* text : trees) {
    const SpeciesTreeFixture tree = species_tree(text);
    for (int data_type = kPresenceAbsenceData; data_type <= kCountData; ++data_type) {
      for (int mode = 0; mode <= 2; ++mode) {
        const core::DMatrix A = testing::random_abundance_table(rng, 8, tree.n_tips, data_type);
        NodeDecompositionInput in = input_for(tree, A, data_type);
        in.selection.mode = mode;
        in.selection.categories = &categories;
        in.selection.key1 = mode == 2 ? 1 : 0;
        in.selection.key2 = mode == 2 ? 3 : 0;
        const NodeDecomposition fast = compute_node_decomposition(in);
        std::vector<int> plots;
        for (int k = 1; k <= 8; ++k) {
          const bool kept = mode != 2 || categories[k] != 2;
          if (kept && A(k, 0) != 0) plots.push_back(k);
        }
        ASSERT_EQ(fast.n_plots_used, static_cast<int>(plots.size())) << text;
        const SlowDecomposition slow = slow_decomposition(in, plots);
        SCOPED_TRACE(::testing::Message() << text << " data type " << data_type << " mode " << mode);
        expect_same(fast.H, slow.H, "H", -3, tree.n_nodes);
        expect_same(fast.P, slow.P, "P", -2, tree.n_nodes);
        expect_same(fast.J, slow.J, "J", tree.n_tips + 1, tree.n_nodes);
        expect_same(fast.Q, slow.Q, "Q", tree.n_tips + 1, tree.n_nodes);
        expect_same(fast.Di, slow.Di, "Di", tree.n_tips + 1, tree.n_nodes);
        expect_same(fast.Dpstar, slow.Dpstar, "Dp*", tree.n_tips + 1, tree.n_nodes);
        expect_same(fast.Delta, slow.Delta, "DELTA", tree.n_tips + 1, tree.n_nodes);
      }
    }
  }
}

TEST(NodeDecomposition, PairsMeetAtTheDeepestCommonNodeWhenAgesTie) {
  // Node 7 (A,B) and node 6 (A,B,C) have the same single-precision age: the
  // pair A-B still coalesces at node 7, A-C and B-C at node 6.
  const SpeciesTreeFixture tree = species_tree("(((A:0.0125,B:0.0125):3.5e-16,C:0.0125):0.9875,D:1);");
  ASSERT_EQ(tree.nodes[7].first_tip, 1);
  ASSERT_EQ(tree.nodes[7].last_tip, 2);
  ASSERT_EQ(tree.nodes[6].age, tree.nodes[7].age);
  const core::DMatrix A = testing::abundance_table({{1, 1, 1, 0}}, true);
  const NodeDecomposition r = compute_node_decomposition(input_for(tree, A, kPresenceAbsenceData));
  EXPECT_DOUBLE_EQ(r.P(0, 7), 2.0 / 6.0);
  EXPECT_DOUBLE_EQ(r.P(0, 6), 4.0 / 6.0);
  EXPECT_DOUBLE_EQ(r.P(0, 5), 0.0);
  EXPECT_DOUBLE_EQ(r.Q(0, 6), 1.0);
}

TEST(NodeDecomposition, OneSpeciesPlotAndAbsentCladeGiveNoDivergence) {
  // ((A,B),C): the single plot holds C alone.
  const SpeciesTreeFixture tree = species_tree("((A:1,B:1):1,C:2);");
  const core::DMatrix A = testing::abundance_table({{0, 0, 3}});
  const NodeDecomposition r = compute_node_decomposition(input_for(tree, A, kCountData));
  EXPECT_DOUBLE_EQ(r.H(0, 0), 1.0);   // every pair within the species
  EXPECT_DOUBLE_EQ(r.H(0, -1), 0.0);  // none between species
  EXPECT_DOUBLE_EQ(r.H(0, 3), 1.0);   // tip C holds all the pairs
  EXPECT_TRUE(std::isnan(r.H(0, -3)));
  EXPECT_DOUBLE_EQ(r.H(0, 4), 0.0);
  EXPECT_DOUBLE_EQ(r.J(0, 5), 0.0);  // clade (A,B) has no species here
  EXPECT_DOUBLE_EQ(r.Q(0, 5), 0.0);
  EXPECT_EQ(r.species_present[5], 0);
  EXPECT_EQ(r.species_present[4], 1);
  EXPECT_TRUE(std::isnan(r.Dpstar(0, 4)));
  EXPECT_TRUE(std::isnan(r.Delta(0, 5)));
  EXPECT_EQ(r.n_pairs_used, 0);
  EXPECT_TRUE(std::isnan(r.H(1, 0)));  // no pair of plots: no among value
}

TEST(NodeDecomposition, ReportsUndefinedValuesAsEmptyCells) {
  const SpeciesTreeFixture tree = species_tree("((A:1,B:1):1,C:2);");
  const core::DMatrix A = testing::abundance_table({{0, 0, 3}, {2, 2, 0}});
  core::IVector categories = core::ivector(0, 2);
  categories[1] = 1;
  categories[2] = 2;
  core::NameTable names = core::name_table(0, 2);
  names[1] = "NM";
  names[2] = "SF";
  NodeDecompositionInput in = input_for(tree, A, kCountData);
  in.selection.mode = 1;
  in.selection.categories = &categories;
  in.selection.key1 = 1;
  in.category_names = &names;
  const std::string text = reports::node_decomposition_text(in, compute_node_decomposition(in));
  const std::string heading =
      "\nSpatial and phylogenetic decomposition of Simpson's D (pairs of individuals) and pairs of species"
      "\nRestricted to plots from category \"NM\""
      "\n\n\t\t\t\t\tMean within plot\tMean among plots of same category\t\tamong/within\t(among-within)/among"
      "\n\n\tProportion";
  EXPECT_EQ(text.substr(0, heading.size()), heading);
  EXPECT_EQ(testing::line_starting(text, "\tProportion of pairs of indiv WITHIN"),
            "\tProportion of pairs of indiv WITHIN species\t\t\t\t1.000000\t\tMH=\t\t\t");
  EXPECT_EQ(testing::line_starting(text, "\tMean divergence time btw individuals of distinct"),
            "\tMean divergence time btw individuals of distinct species\t\t\t\t\t\t\tP*st=\t\t");
  EXPECT_EQ(testing::line_starting(text, "3\tC\t"), "3\tC\t4\t1\t0.000000\t1\t\t\t\t\t");
  EXPECT_EQ(testing::line_starting(text, "1\tA"), "");  // absent species have no row
  // Clade (A,B): no species present; no pair of plots for the among column.
  EXPECT_EQ(testing::line_starting(text, "5\t"), "5\t\t4\t0\t0\t1.000000\t\t0\t\t0\t\t\t\t\t\t\t\t\t0\t\t0\t\t\t\t\t");
}

}  // namespace
}  // namespace quorvel::partition
