#include "phylogeny/tree_divergences.hpp"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "phylogeny/common_ancestor.hpp"

namespace quorvel::phylogeny {

namespace {

std::size_t at(int index) { return static_cast<std::size_t>(index); }

// Distance of every node from the root (sum of the branch lengths above it),
// in double precision, from the root down.
std::vector<double> depths_from_root(const Phylogeny& tree) {
  std::vector<double> depth(at(tree.n_nodes()) + 1, 0.0);
  for (auto it = tree.postorder.rbegin(); it != tree.postorder.rend(); ++it) {
    const PhylogenyNode& node = tree.nodes[at(*it)];
    // A root (no parent) has depth 0 whatever its branch length.
    if (node.parent != 0) depth[at(*it)] = depth[at(node.parent)] + node.branch_length;
  }
  return depth;
}

int tip_in_tree(const Phylogeny& tree, const core::IVector& tip_of_species, int species) {
  const int tip = species >= tip_of_species.lo() && species <= tip_of_species.hi() ? tip_of_species[species] : 0;
  return tip >= 1 && tip <= tree.n_tips ? tip : 0;
}

}  // namespace

void map_species_to_tips(Phylogeny& tree, int n_species, const core::NameTable& species_names) {
  const int n_tips = tree.n_tips;
  tree.tip_of_species = core::ivector(0, n_species);
  tree.species_of_tip = core::ivector(0, n_tips);
  std::unordered_map<std::string, int> species_index;
  species_index.reserve(static_cast<std::size_t>(n_species) * 2);
  // Names are the same when their first 49 characters are.
  for (int s = n_species; s >= 1; --s) species_index[species_names[s].substr(0, kNameLimit)] = s;  // first wins
  for (int j = 1; j <= n_tips; ++j) {
    const auto found = species_index.find(tree.nodes[at(j)].name.substr(0, kNameLimit));
    if (found == species_index.end()) continue;
    tree.species_of_tip[j] = found->second;
    tree.tip_of_species[found->second] = j;
  }
  for (int s = 1; s <= n_species; ++s) {
    if (tree.tip_of_species[s] == 0) {
      core::console_printf("\nWARNING: species %s not found in phylogenetic tree", species_names[s].c_str());
    }
  }
}

void species_from_tips(Phylogeny& tree, core::NameTable& species_names) {
  const int n_tips = tree.n_tips;
  species_names = core::name_table(0, n_tips);
  tree.tip_of_species = core::ivector(0, n_tips);
  tree.species_of_tip = core::ivector(0, n_tips);
  for (int j = 1; j <= n_tips; ++j) {
    species_names[j] = tree.nodes[at(j)].name.substr(0, kNameLimit);
    tree.tip_of_species[j] = j;
    tree.species_of_tip[j] = j;
  }
}

DivergenceRows::DivergenceRows(const Phylogeny& tree, const core::IVector& tip_of_species, int n_species)
    : tree_(tree),
      tip_of_species_(tip_of_species),
      n_species_(n_species),
      path_lengths_(tree.origin == PhylogenyOrigin::kPathLengthTree) {
  if (path_lengths_) depth_ = depths_from_root(tree);
}

void DivergenceRows::fill(int i, float* row) {
  const int tip_i = tip_in_tree(tree_, tip_of_species_, i);
  if (tip_i != 0) common_ancestors_of_tip(tree_, tip_i, ancestors_);
  for (int j = 1; j <= n_species_; ++j) {
    if (j == i) {
      row[j] = 0;
      continue;
    }
    const int tip_j = tip_in_tree(tree_, tip_of_species_, j);
    const int ancestor = tip_i != 0 && tip_j != 0 ? ancestors_[tip_j] : 0;
    if (ancestor == 0) {
      row[j] = MISSING_VALUE_F;
    } else if (path_lengths_) {
      // Up from each tip to the ancestor.
      const double above = depth_[at(ancestor)];
      row[j] = static_cast<float>((depth_[at(tip_i)] - above) + (depth_[at(tip_j)] - above));
    } else {
      row[j] = tree_.nodes[at(ancestor)].age;
    }
  }
}

float compute_tree_divergences(const Phylogeny& tree, const core::IVector& tip_of_species, int n_species,
                               core::FMatrix& divergences) {
  DivergenceRows rows(tree, tip_of_species, n_species);
  std::vector<float> row(at(n_species) + 1);
  float max_divergence = 0;
  for (int i = 1; i <= n_species; ++i) {
    rows.fill(i, row.data());
    for (int j = 1; j <= n_species; ++j) {
      const float value = row[at(j)];
      divergences[i][j] = value;
      if (value != MISSING_VALUE_F) max_divergence = std::max(max_divergence, value);
    }
  }
  return max_divergence;
}

float largest_divergence(const Phylogeny& tree, int n_species) {
  const int V = tree.n_nodes();
  const bool path_lengths = tree.origin == PhylogenyOrigin::kPathLengthTree;
  const std::vector<double> depth = path_lengths ? depths_from_root(tree) : std::vector<double>();
  // Species on each tip, and per node the greatest depth of a tip below it
  // that holds a species (-1: none).
  std::vector<int> on_tip(at(V) + 1, 0);
  for (int s = 1; s <= n_species; ++s) {
    const int tip = tip_in_tree(tree, tree.tip_of_species, s);
    if (tip != 0) ++on_tip[at(tip)];
  }
  std::vector<double> deepest(at(V) + 1, -1.0);
  float largest = 0;
  for (const int v : tree.postorder) {
    if (v <= tree.n_tips) {
      if (on_tip[at(v)] == 0) continue;
      deepest[at(v)] = path_lengths ? depth[at(v)] : 0.0;
      // Two species on one tip diverge by the tip's age (0 on a path).
      if (on_tip[at(v)] >= 2 && !path_lengths) largest = std::max(largest, tree.nodes[at(v)].age);
      continue;
    }
    // v is the common ancestor of two species when two of its children hold
    // one each: the farthest such pair goes through the two deepest tips.
    double first = -1, second = -1;
    int holding = 0;
    for (int c = tree.first_child_index(v); c < tree.end_child_index(v); ++c) {
      const double d = deepest[at(tree.children[at(c)])];
      if (d < 0) continue;
      ++holding;
      if (d > first) {
        second = first;
        first = d;
      } else if (d > second) {
        second = d;
      }
    }
    deepest[at(v)] = first;
    if (holding < 2) continue;
    const float value =
        path_lengths ? static_cast<float>((first - depth[at(v)]) + (second - depth[at(v)])) : tree.nodes[at(v)].age;
    largest = std::max(largest, value);
  }
  return largest;
}

}  // namespace quorvel::phylogeny
