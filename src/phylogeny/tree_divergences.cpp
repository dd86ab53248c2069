#include "phylogeny/tree_divergences.hpp"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "core/console.hpp"
#include "core/constants.hpp"

namespace quorvel::phylogeny {

namespace {

// Guard against a corrupted (cyclic) node table: no honest climb from a tip
// takes more steps than there are nodes.
int climb_limit(const NodeTable& nodes) { return nodes.hi() + 2; }

// Most recent common ancestor by ages: both sides climb, always from the
// younger node, until they stand on the same node. Returns its age, or
// MISSING_VALUE when the two tips share no ancestor.
float age_of_common_ancestor(const NodeTable& nodes, int tip_a, int tip_b) {
  int a = tip_a;
  int b = tip_b;
  for (int steps = 0; a != b; ++steps) {
    if (steps > 2 * climb_limit(nodes)) return MISSING_VALUE_F;
    const int up_a = nodes[a].upper_node;
    const int up_b = nodes[b].upper_node;
    if (up_a == 0 && up_b == 0) return MISSING_VALUE_F;
    const bool move_a = up_b == 0 || (up_a != 0 && nodes[a].age <= nodes[b].age);
    if (move_a) {
      a = up_a;
    } else {
      b = up_b;
    }
  }
  return nodes[a].age;
}

// Length of the path linking two tips: up from the first tip to the first
// node whose clade holds the second tip, then up from the second tip to it.
float path_length(const NodeTable& nodes, int tip_a, int tip_b) {
  double length = 0;
  int ancestor = tip_a;
  for (int steps = 0; tip_b < nodes[ancestor].first_tip || tip_b > nodes[ancestor].last_tip; ++steps) {
    if (nodes[ancestor].upper_node == 0 || steps > climb_limit(nodes)) return MISSING_VALUE_F;
    length += nodes[ancestor].branch_length;
    ancestor = nodes[ancestor].upper_node;
  }
  int x = tip_b;
  for (int steps = 0; x != ancestor; ++steps) {
    if (nodes[x].upper_node == 0 || steps > climb_limit(nodes)) return MISSING_VALUE_F;
    length += nodes[x].branch_length;
    x = nodes[x].upper_node;
  }
  return static_cast<float>(length);
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
  float max_divergence = 0;
  for (int i = 1; i <= n_species; ++i) {
    divergences[i][i] = 0;
    for (int j = i + 1; j <= n_species; ++j) {
      const int tip_i = leaf_of_species[i];
      const int tip_j = leaf_of_species[j];
      float value = MISSING_VALUE_F;
      if (tip_i != 0 && tip_j != 0) {
        value = path_lengths ? path_length(nodes, tip_i, tip_j) : age_of_common_ancestor(nodes, tip_i, tip_j);
      }
      divergences[i][j] = value;
      divergences[j][i] = value;
      if (value != MISSING_VALUE_F) max_divergence = std::max(max_divergence, value);
    }
  }
  return max_divergence;
}

}  // namespace quorvel::phylogeny
