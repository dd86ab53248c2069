#include <cmath>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "reports/node_decomposition_text.hpp"

namespace quorvel::reports {

using partition::NodeDecomposition;
using partition::NodeDecompositionInput;
using partition::PairSelection;

namespace {

double ratio(double numerator, double denominator) {
  if (!std::isfinite(numerator) || !std::isfinite(denominator) || denominator == 0.0) return MISSING_VALUE;
  return numerator / denominator;
}

// 1 - within/among: the node's own Ist, P*st or PIst.
double differentiation(double within, double among) {
  const double r = ratio(within, among);
  return std::isfinite(r) ? 1.0 - r : MISSING_VALUE;
}

std::string category(const NodeDecompositionInput& in, int code) {
  const core::NameTable* names = in.category_names;
  if (names == nullptr || code < names->lo() || code > names->hi()) return std::string();
  return (*names)[code];
}

std::string heading(const NodeDecompositionInput& in) {
  const PairSelection& s = in.selection;
  std::string out =
      "\nSpatial and phylogenetic decomposition of Simpson's D (pairs of individuals) and pairs of species";
  if (s.mode == 2) {
    if (s.key1 != 0) {
      out += core::format("\nRestricted to plots from categories \"%s\" and \"%s\"", category(in, s.key1).c_str(),
                          category(in, s.key2).c_str());
    }
    out += "\n\n\t\t\t\t\tMean within plot\tMean among plots of distinct categories";
  } else if (s.mode == 1) {
    if (s.key1 != 0) out += core::format("\nRestricted to plots from category \"%s\"", category(in, s.key1).c_str());
    out += "\n\n\t\t\t\t\tMean within plot\tMean among plots of same category";
  } else if (s.mode == 0) {
    out += "\n\n\t\t\t\t\tMean within plot\tMean among plots";
  }
  return out + "\t\tamong/within\t(among-within)/among";
}

std::string summary(const NodeDecomposition& r) {
  const auto w = [&](const core::DMatrix& m, int v) { return m(0, v); };
  const auto a = [&](const core::DMatrix& m, int v) { return m(1, v); };
  std::string out = "\n\n\tProportion of pairs of indiv WITHIN species\t\t\t\t";
  out += core::format_cell("%f", w(r.H, 0)) + core::tab_cell("%f", a(r.H, 0)) +
         "\tMH=" + core::tab_cell("%f", ratio(a(r.H, 0), w(r.H, 0)));
  out += "\t\t";
  struct Line {
    const char* label;
    const core::DMatrix& table;
    int column;
    const char* name;
  };
  const Line lines[] = {
      {"\n\tProportion of pairs of indiv BETWEEN species", r.H, -1, "Ist="},
      {"\n\tMean divergence time btw individuals", r.H, -2, "Pst="},
      {"\n\tMean divergence time btw individuals of distinct species", r.H, -3, "P*st="},
      {"\n\n\tMean divergence time btw species", r.P, -2, "PIst="},
  };
  for (const Line& line : lines) {
    const double within = w(line.table, line.column);
    const double among = a(line.table, line.column);
    out += std::string(line.label) + "\t\t\t\t" + core::format_cell("%f", within) + core::tab_cell("%f", among) +
           "\t\t" + line.name + core::tab_cell("%f", differentiation(within, among)) + "\t";
  }
  return out;
}

std::string tip_rows(const NodeDecompositionInput& in, const NodeDecomposition& r) {
  std::string out =
      "\n\nWithin each species\nTip number\tTip name\tUpper node\tMean frequency\tNode age\tWithin plot mean "
      "proportion "
      "of pairs of ind from given species\tAmong plots mean proportion of pairs of indiv from given species\t\tamong/"
      "within\t(among-within)/among\tAgregation index";
  const phylogeny::NodeTable& nodes = *in.tree.nodes;
  const core::IVector& leaf = *in.tree.leaf_of_species;
  for (int j = 1; j <= in.n_species; ++j) {
    const int tip = j <= leaf.hi() ? leaf[j] : 0;
    const double frequency = r.mean_frequency[j];
    if (tip < 1 || tip > in.tree.n_tips || !(frequency != 0.0) || !std::isfinite(frequency)) continue;
    const double within = r.H(0, tip);
    const double among = r.H(1, tip);
    out += core::format("\n%i\t%s\t%i\t%g\t%f", tip, nodes[tip].name.c_str(), nodes[tip].upper_node, frequency,
                        static_cast<double>(nodes[tip].age));
    out += core::tab_cell("%g", within) + core::tab_cell("%g", among) + "\t";
    out += within > 0 ? core::tab_cell("%f", ratio(among, within)) + "\t\t" : std::string("\t\t\t");
  }
  return out;
}

const char kNodeHeader[] =
    "\nNode number\tNode name\tUpper node\tNumber of species present\tMean frequency\tNode age\t\tWithin plot mean "
    "proportion of pairs of indiv from distinct species coalescing at given node\tAmong plots mean proportion of pairs "
    "of indiv from distinct species coalescing at given node\tCum within (within plot mean proportion of pairs of "
    "indiv from distinct species belonging to given node)\tCum among (among plots mean proportion of pairs of indiv "
    "from distinct species belonging to given node)\tDp*w(n) (within plot mean divergence btw indiv of distinct "
    "species belonging to given node)\tDp*a(n) (among plot mean divergence btw indiv of distinct species belonging to "
    "given node)\tP*st(n) = 1-Dp*w(n)/Dp*a(n)\tDiw(n)\tDia(n)\tIst(n)\t\tWithin plot mean proportion of pairs of "
    "species coalescing at given node\tAmong plots mean proportion of pairs of species coalescing at given node\tCum "
    "within (within plot mean proportion of pairs of species belonging to given node)\tCum among (among plot mean "
    "proportion of pairs of species belonging to given node)\tDELTApw(n) (within plot mean divergence btw distinct "
    "species belonging to given node)\tDELTApa(n) (among plot mean divergence btw distinct species belonging to given "
    "node)\tPIst(n) = 1-DELTApw(n)/DELTApa(n)";

std::string node_rows(const NodeDecompositionInput& in, const NodeDecomposition& r) {
  std::string out = "\n\nFor each node (between species)";
  out += kNodeHeader;
  const phylogeny::NodeTable& nodes = *in.tree.nodes;
  const int root = in.tree.n_tips + 1;
  for (int v = root; v <= in.tree.n_nodes; ++v) {
    if (v != root && nodes[v].upper_node == 0) continue;  // removed by the clean-up, or an unused taxon slot
    out += core::format("\n%i\t%s\t%i\t%i", v, nodes[v].name.c_str(), nodes[v].upper_node, r.species_present[v]);
    out += core::tab_cell("%g", r.clade_frequency[v]) + core::tab_cell("%f", static_cast<double>(nodes[v].age)) + "\t";
    out += core::tab_cell("%g", r.H(0, v)) + core::tab_cell("%g", r.H(1, v)) + core::tab_cell("%g", r.J(0, v)) +
           core::tab_cell("%g", r.J(1, v));
    out += core::tab_cell("%g", r.Dpstar(0, v)) + core::tab_cell("%g", r.Dpstar(1, v)) +
           core::tab_cell("%g", differentiation(r.Dpstar(0, v), r.Dpstar(1, v)));
    out += core::tab_cell("%g", r.Di(0, v)) + core::tab_cell("%g", r.Di(1, v)) +
           core::tab_cell("%g", differentiation(r.Di(0, v), r.Di(1, v)));
    out += "\t";
    out += core::tab_cell("%g", r.P(0, v)) + core::tab_cell("%g", r.P(1, v)) + core::tab_cell("%g", r.Q(0, v)) +
           core::tab_cell("%g", r.Q(1, v));
    out += core::tab_cell("%g", r.Delta(0, v)) + core::tab_cell("%g", r.Delta(1, v)) +
           core::tab_cell("%g", differentiation(r.Delta(0, v), r.Delta(1, v))) + "\t";
  }
  return out;
}

}  // namespace

std::string node_decomposition_text(const NodeDecompositionInput& input, const NodeDecomposition& result) {
  return heading(input) + summary(result) + tip_rows(input, result) + node_rows(input, result);
}

}  // namespace quorvel::reports
