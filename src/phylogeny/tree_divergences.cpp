#include "phylogeny/tree_divergences.hpp"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "phylogeny/common_ancestor.hpp"

namespace quorvel::phylogeny {

namespace {

// Distance of every node from its root (sum of the branch lengths above it),
// in double precision. Each node is climbed from once: the climb stops at
// the first node already known, so the whole table costs O(nodes). A cyclic
// (corrupted) table ends a climb after as many steps as there are nodes.
std::vector<double> depths_from_root(const NodeTable& nodes) {
  const int n_nodes = nodes.hi();
  std::vector<double> depth(static_cast<std::size_t>(n_nodes) + 1, 0.0);
  std::vector<char> known(static_cast<std::size_t>(n_nodes) + 1, 0);
  std::vector<int> path;
  for (int start = 1; start <= n_nodes; ++start) {
    path.clear();
    int node = start;
    while (node != 0 && !known[static_cast<std::size_t>(node)] && static_cast<int>(path.size()) <= n_nodes) {
      path.push_back(node);
      node = nodes[node].upper_node;
    }
    double above = node != 0 && known[static_cast<std::size_t>(node)] ? depth[static_cast<std::size_t>(node)] : 0.0;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
      const int n = *it;
      // A root (no parent) has depth 0 whatever its branch length.
      if (nodes[n].upper_node != 0) above += nodes[n].branch_length;
      depth[static_cast<std::size_t>(n)] = above;
      known[static_cast<std::size_t>(n)] = 1;
    }
  }
  return depth;
}

}  // namespace

void map_species_to_tips(const NodeTable& nodes, int n_tips, int n_species, const core::NameTable& species_names,
                         core::IVector& leaf_of_species, core::IVector& species_of_leaf) {
  leaf_of_species = core::ivector(0, n_species);
  species_of_leaf = core::ivector(0, n_tips);
  std::unordered_map<std::string, int> species_index;
  species_index.reserve(static_cast<std::size_t>(n_species) * 2);
  // Names are the same when their first 49 characters are.
  for (int s = n_species; s >= 1; --s) species_index[species_names[s].substr(0, kNameLimit)] = s;  // first wins
  for (int j = 1; j <= n_tips; ++j) {
    const auto found = species_index.find(nodes[j].name.substr(0, kNameLimit));
    if (found == species_index.end()) continue;
    species_of_leaf[j] = found->second;
    leaf_of_species[found->second] = j;
  }
  for (int s = 1; s <= n_species; ++s) {
    if (leaf_of_species[s] == 0) {
      core::console_printf("\nWARNING: species %s not found in phylogenetic tree", species_names[s].c_str());
    }
  }
}

void species_from_tips(const NodeTable& nodes, int n_tips, core::NameTable& species_names,
                       core::IVector& leaf_of_species, core::IVector& species_of_leaf) {
  species_names = core::name_table(0, n_tips);
  leaf_of_species = core::ivector(0, n_tips);
  species_of_leaf = core::ivector(0, n_tips);
  for (int j = 1; j <= n_tips; ++j) {
    species_names[j] = nodes[j].name.substr(0, kNameLimit);
    leaf_of_species[j] = j;
    species_of_leaf[j] = j;
  }
}

float compute_tree_divergences(const NodeTable& nodes, int n_species, const core::IVector& leaf_of_species,
                               core::FMatrix& divergences) {
  const bool path_lengths = divergences[0][0] == -1.0f;
  int n_tips = 0;
  for (int i = 1; i <= n_species; ++i) n_tips = std::max(n_tips, leaf_of_species[i]);
  // The common ancestor of two tips is found by tip ranges, never by
  // comparing ages: an internal branch too short for single precision gives
  // a child the age of its parent, and a climb by ages would pass the
  // ancestor. One climb per species gives its ancestors with every tip, so
  // the whole matrix costs O(n^2) whatever the shape of the tree.
  std::vector<double> depth;
  if (path_lengths) depth = depths_from_root(nodes);
  core::IVector ancestors;
  float max_divergence = 0;
  for (int i = 1; i <= n_species; ++i) {
    divergences[i][i] = 0;
    const int tip_i = leaf_of_species[i];
    if (tip_i != 0) common_ancestors_of_tip(nodes, n_tips, tip_i, ancestors);
    for (int j = i + 1; j <= n_species; ++j) {
      const int tip_j = leaf_of_species[j];
      float value = MISSING_VALUE_F;
      const int ancestor = tip_i != 0 && tip_j != 0 ? ancestors[tip_j] : 0;
      if (ancestor != 0) {
        if (path_lengths) {
          // Up from each tip to the ancestor.
          const double above = depth[static_cast<std::size_t>(ancestor)];
          value = static_cast<float>((depth[static_cast<std::size_t>(tip_i)] - above) +
                                     (depth[static_cast<std::size_t>(tip_j)] - above));
        } else {
          value = nodes[ancestor].age;
        }
      }
      divergences[i][j] = value;
      divergences[j][i] = value;
      if (value != MISSING_VALUE_F) max_divergence = std::max(max_divergence, value);
    }
  }
  return max_divergence;
}

}  // namespace quorvel::phylogeny
