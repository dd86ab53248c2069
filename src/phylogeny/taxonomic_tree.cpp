#include "phylogeny/taxonomic_tree.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"

namespace quorvel::phylogeny {

using core::format;

namespace {

// One taxon while the tips are being assigned; its final index is given once
// every level's number of slots is known.
struct Taxon {
  std::string name;
  int category = 0;  // 0 for the taxon of a species whose category is missing
  int first_tip = 0;
  int last_tip = 0;
  int upper = -1;  // position in the next level's list; -1 for the root
};

struct Level {
  int variable = 0;
  int categories = 0;
  std::vector<Taxon> taxa;
  std::vector<int> taxon_of_category;  // [category] -> position in taxa, -1 when not yet met
};

// Category of species s for the level's variable: 1..k, or 0 when the cell
// is missing or holds no category of the variable.
int category_of(const SpeciesVariables& data, const Level& level, int s) {
  const float value = data.traits[level.variable][s];
  if (!std::isfinite(value) || value != std::floor(value) || value < 1 || value > level.categories) return 0;
  return static_cast<int>(value);
}

std::vector<Level> find_levels(const SpeciesVariables& data, int n_levels, const core::NameTable& level_names) {
  std::vector<Level> levels(static_cast<std::size_t>(n_levels) + 1);
  for (int p = 1; p <= n_levels; ++p) {
    Level& level = levels[static_cast<std::size_t>(p)];
    level.variable = -1;
    for (int v = 0; v <= data.n_variables; ++v) {
      if (data.variable_names[v] == level_names[p]) {
        level.variable = v;
        break;
      }
    }
    if (level.variable < 0) {
      core::stop_run(format("\n\nWARNING: variable \"%s\" to describe phylogeny not found among the species variable",
                            level_names[p].c_str()),
                     0);
    }
    level.categories = level.variable == 0 ? data.n_species : data.variable_categories[level.variable];
    if (level.categories <= 0) {
      core::stop_run(format("\n\nWARNING: variable \"%s\" to describe phylogeny is not a categorical variable",
                            level_names[p].c_str()),
                     0);
    }
    level.taxon_of_category.assign(static_cast<std::size_t>(level.categories) + 1, -1);
  }
  return levels;
}

[[noreturn]] void stop_not_nested(const SpeciesVariables& data, const std::vector<Level>& levels, int p, int species) {
  const Level& lower = levels[static_cast<std::size_t>(p - 1)];
  const int lower_category = p == 1 ? species : category_of(data, lower, species);
  core::stop_run(format("\n\nWARNING: the classification is not nested: for species %s, taxon \"%s\" belongs to "
                        "another taxon of the next level than for the species before it",
                        data.species_names[species].c_str(),
                        p == 1 ? data.species_names[species].c_str()
                               : category_name(data, lower.variable, lower_category).c_str()),
                 0);
}

// Next species to number: one still unassigned that shares the taxon of
// `species` at the lowest level possible, later species first; 0 when none
// shares any level. Looking back at earlier species as well keeps every taxon
// contiguous whatever the order of the species list.
int next_sharing_species(const SpeciesVariables& data, const std::vector<Level>& levels,
                         const std::vector<char>& assigned, int species) {
  const int n_levels = static_cast<int>(levels.size()) - 1;
  for (int p = 1; p <= n_levels; ++p) {
    const Level& level = levels[static_cast<std::size_t>(p)];
    const int category = category_of(data, level, species);
    if (category == 0) continue;
    for (int pass = 0; pass < 2; ++pass) {
      const int from = pass == 0 ? species + 1 : 1;
      const int to = pass == 0 ? data.n_species : species - 1;
      for (int s = from; s <= to; ++s) {
        if (!assigned[static_cast<std::size_t>(s)] && category_of(data, level, s) == category) return s;
      }
    }
  }
  return 0;
}

}  // namespace

Phylogeny build_taxonomic_tree(const SpeciesVariables& data, int n_levels, const core::NameTable& level_names,
                               const core::FVector& level_divergences) {
  const int n_species = data.n_species;
  const int top = n_levels + 1;  // index of the "ALL" divergence
  std::vector<Level> levels = find_levels(data, n_levels, level_names);
  core::IVector leaf_of_species = core::ivector(0, n_species);

  // Assign tips species after species, grouping the members of each taxon.
  std::vector<char> assigned(static_cast<std::size_t>(n_species) + 1, 0);
  std::vector<int> species_at_tip(static_cast<std::size_t>(n_species) + 1, 0);
  std::vector<int> tip_upper(static_cast<std::size_t>(n_species) + 1, -1);
  int next_unassigned = 1;
  int species = 0;
  for (int tip = 1; tip <= n_species; ++tip) {
    if (species == 0) {
      while (assigned[static_cast<std::size_t>(next_unassigned)]) ++next_unassigned;
      species = next_unassigned;
    }
    assigned[static_cast<std::size_t>(species)] = 1;
    species_at_tip[static_cast<std::size_t>(tip)] = species;
    leaf_of_species[species] = tip;
    int* below_upper = &tip_upper[static_cast<std::size_t>(tip)];  // link of the node below to fill
    bool below_is_new = true;
    for (int p = 1; p <= n_levels; ++p) {
      Level& level = levels[static_cast<std::size_t>(p)];
      const int category = category_of(data, level, species);
      int position = -1;
      if (!below_is_new) {
        // The taxon below was met before: its taxon at this level is known.
        position = *below_upper;
        if (category != 0 && level.taxa[static_cast<std::size_t>(position)].category != category) {
          stop_not_nested(data, levels, p, species);
        }
      } else if (category != 0 && level.taxon_of_category[static_cast<std::size_t>(category)] >= 0) {
        position = level.taxon_of_category[static_cast<std::size_t>(category)];
      }
      if (position < 0) {
        Taxon taxon;
        taxon.category = category;
        if (category != 0) taxon.name = category_name(data, level.variable, category);
        taxon.first_tip = tip;
        level.taxa.push_back(taxon);
        position = static_cast<int>(level.taxa.size()) - 1;
        if (category != 0) level.taxon_of_category[static_cast<std::size_t>(category)] = position;
        below_is_new = true;
      } else {
        below_is_new = false;
      }
      *below_upper = position;
      Taxon& taxon = level.taxa[static_cast<std::size_t>(position)];
      taxon.last_tip = tip;
      below_upper = &taxon.upper;
    }
    species = next_sharing_species(data, levels, assigned, species);
  }

  // Lay out the slots: root S+1, then level H, H-1, ..., 1.
  std::vector<int> start(static_cast<std::size_t>(n_levels) + 2, 0);
  core::IVector level_variable = core::ivector(0, top);
  core::IVector taxa_per_level = core::ivector(0, top);
  taxa_per_level[0] = n_species;
  taxa_per_level[top] = 1;
  int next_index = n_species + 2;
  for (int p = n_levels; p >= 1; --p) {
    const Level& level = levels[static_cast<std::size_t>(p)];
    int singletons = 0;
    for (const Taxon& taxon : level.taxa) singletons += taxon.category == 0 ? 1 : 0;
    start[static_cast<std::size_t>(p)] = next_index;
    taxa_per_level[p] = level.categories + singletons;
    level_variable[p] = level.variable;
    next_index += taxa_per_level[p];
  }
  const int n_nodes = next_index - 1;
  const int root = n_species + 1;

  NodeTable nodes(0, n_nodes + 1);
  for (int k = n_species + 1; k <= n_nodes + 1; ++k) nodes[k].name = "/0";
  nodes[root].name = "ALL";
  nodes[root].age = level_divergences[top];
  nodes[root].first_tip = 1;
  nodes[root].last_tip = n_species;
  auto index_of = [&](int p, int position) {
    return p > n_levels || position < 0 ? root : start[static_cast<std::size_t>(p)] + position;
  };
  for (int p = n_levels; p >= 1; --p) {
    const Level& level = levels[static_cast<std::size_t>(p)];
    for (std::size_t t = 0; t < level.taxa.size(); ++t) {
      const Taxon& taxon = level.taxa[t];
      TreeNode& node = nodes[index_of(p, static_cast<int>(t))];
      node.name = taxon.name;
      node.age = level_divergences[p];
      node.first_tip = taxon.first_tip;
      node.last_tip = taxon.last_tip;
      node.upper_node = index_of(p + 1, taxon.upper);
      // Every path from a tip to a node is as long as the node's age.
      node.branch_length = nodes[node.upper_node].age - node.age;
    }
  }
  for (int tip = 1; tip <= n_species; ++tip) {
    TreeNode& node = nodes[tip];
    node.name = data.species_names[species_at_tip[static_cast<std::size_t>(tip)]];
    node.first_tip = node.last_tip = tip;
    node.upper_node = index_of(1, tip_upper[static_cast<std::size_t>(tip)]);
    node.branch_length = nodes[node.upper_node].age;
  }
  Phylogeny tree = compact_node_table(nodes, n_species, n_nodes, PhylogenyOrigin::kClassification);
  tree.tip_of_species = std::move(leaf_of_species);
  tree.species_of_tip = core::ivector(0, n_species);
  for (int tip = 1; tip <= n_species; ++tip) tree.species_of_tip[tip] = species_at_tip[static_cast<std::size_t>(tip)];
  tree.classification.level_variable = std::move(level_variable);
  tree.classification.taxa_per_level = std::move(taxa_per_level);
  fill_taxon_tables(tree, n_levels);
  return tree;
}

void fill_taxon_tables(Phylogeny& tree, int n_levels) {
  const NodeTable nodes = node_table(tree);
  const int n_species = tree.n_tips;
  const core::IVector& taxa_per_level = tree.classification.taxa_per_level;
  const core::IVector& leaf_of_species = tree.tip_of_species;
  const int top = n_levels + 1;
  core::IMatrix& first_member = tree.classification.first_member;
  core::IMatrix& last_member = tree.classification.last_member;
  first_member = core::imatrix(0, top, 0, n_species);
  last_member = core::imatrix(0, top, 0, n_species);
  for (int s = 1; s <= n_species; ++s) {
    const int tip = leaf_of_species[s];
    if (tip >= 1 && tip <= n_species) first_member[0][tip] = last_member[0][tip] = s;
  }
  // start(P): first slot of level P; level H follows the root.
  std::vector<int> start(static_cast<std::size_t>(top) + 1, 0);
  int next_index = n_species + 2;
  for (int p = n_levels; p >= 1; --p) {
    start[static_cast<std::size_t>(p)] = next_index;
    next_index += taxa_per_level[p];
  }
  // position[p][tip]: number of the level-p taxon holding the tip (level 0: the tip).
  core::IMatrix position = core::imatrix(0, n_levels, 0, n_species);
  for (int tip = 1; tip <= n_species; ++tip) {
    position[0][tip] = tip;
    int node = tip;
    for (int p = 1; p <= n_levels; ++p) {
      node = nodes[node].upper_node;
      const int t = node - start[static_cast<std::size_t>(p)] + 1;
      position[p][tip] = t >= 1 && t <= taxa_per_level[p] ? t : 0;
      if (position[p][tip] == 0) break;
    }
  }
  int used_top = 0;
  for (int p = 1; p <= n_levels; ++p) {
    for (int t = 1; t <= taxa_per_level[p]; ++t) {
      const TreeNode& node = nodes[start[static_cast<std::size_t>(p)] + t - 1];
      if (node.upper_node == 0) continue;  // unused slot
      first_member[p][t] = position[p - 1][node.first_tip];
      last_member[p][t] = position[p - 1][node.last_tip];
      if (p == n_levels) used_top = t;
    }
  }
  first_member[top][1] = 1;
  last_member[top][1] = n_levels == 0 ? n_species : used_top;
}

float compute_taxonomic_divergences(int n_species, const core::DMatrix& abundances, int n_levels,
                                    const core::FVector& level_divergences, const core::IVector& taxa_per_level,
                                    const core::IMatrix& first_member, const core::IMatrix& last_member,
                                    core::IMatrix& species_taxon, core::FMatrix& divergences) {
  const int top = n_levels + 1;
  species_taxon = core::imatrix(0, top, 0, n_species);
  for (int i = 1; i <= n_species; ++i) {
    const bool covered = !abundances.empty() && i <= abundances.col_hi() && abundances.row_lo() <= 0;
    if (covered && abundances[0][i] == 0) continue;  // absent species: taxon 0 at every level
    for (int k = 1; k <= n_species; ++k) {
      if (first_member[0][k] == i) {
        species_taxon[0][i] = k;
        break;
      }
    }
    for (int p = 1; p <= n_levels && species_taxon[p - 1][i] != 0; ++p) {
      const int below = species_taxon[p - 1][i];
      for (int t = 1; t <= taxa_per_level[p]; ++t) {
        if (first_member[p][t] <= below && below <= last_member[p][t]) {
          species_taxon[p][i] = t;
          break;
        }
      }
    }
  }
  float max_divergence = 0;
  for (int i = 1; i <= n_species; ++i) {
    for (int j = 1; j <= n_species; ++j) divergences[i][j] = 0;
  }
  for (int i = 1; i <= n_species; ++i) {
    if (species_taxon[0][i] == 0) continue;
    for (int j = i + 1; j <= n_species; ++j) {
      if (species_taxon[0][j] == 0) continue;
      int shared = top;
      for (int p = 1; p <= n_levels; ++p) {
        if (species_taxon[p][i] != 0 && species_taxon[p][i] == species_taxon[p][j]) {
          shared = p;
          break;
        }
      }
      const float value = level_divergences[shared];
      divergences[i][j] = divergences[j][i] = value;
      max_divergence = std::max(max_divergence, value);
    }
  }
  return max_divergence;
}

}  // namespace quorvel::phylogeny
