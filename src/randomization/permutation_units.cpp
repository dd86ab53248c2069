#include "randomization/permutation_units.hpp"

#include <algorithm>
#include <cmath>

#include "randomization/shuffle.hpp"

namespace quorvel::randomization {

namespace {

float unit_weight(const core::FVector& weight, int unit) {
  return unit >= weight.lo() && unit <= weight.hi() ? weight[unit] : 0.0f;
}

// A weight that can be placed in an abundance or occurrence class.
bool classable(float w) { return w > 0 && std::isfinite(w); }

// Shuffles the units listed in members[1..m]: each listed unit takes the place
// of the unit the shuffle put at its position.
void shuffle_members(const core::IVector& members, int m, core::IVector& perm, RandomGenerator& generator) {
  if (m < 2) return;
  core::IVector shuffled = core::ivector(0, m);
  for (int k = 1; k <= m; ++k) shuffled[k] = members[k];
  shuffle_range(shuffled, 1, m, generator);
  for (int k = 1; k <= m; ++k) perm[members[k]] = shuffled[k];
}

void permute_ratio_classes(const core::IVector& units, int count, float ratio, const core::FVector& weight,
                           core::IVector& perm, RandomGenerator& generator) {
  float lo = 0;
  float hi = 0;
  bool any = false;
  for (int k = 1; k <= count; ++k) {
    const float w = unit_weight(weight, units[k]);
    if (!classable(w)) continue;
    lo = any ? std::min(lo, w) : w;
    hi = any ? std::max(hi, w) : w;
    any = true;
  }
  // The random offset of the class limits: without it the same species would
  // always fall in the same class.
  const float u = uniform_random(generator);
  if (!any || !(ratio > 1)) return;
  auto c = static_cast<float>(lo / std::pow(static_cast<double>(ratio), static_cast<double>(u)));
  core::IVector members = core::ivector(0, count);
  while (c < hi) {
    const float next = c * ratio;
    int m = 0;
    for (int k = 1; k <= count; ++k) {
      const float w = unit_weight(weight, units[k]);
      if (c <= w && w < next) members[++m] = units[k];
    }
    shuffle_members(members, m, perm, generator);
    if (!(next > c)) break;  // a ratio too close to 1 for single precision
    c = next;
  }
}

}  // namespace

void permute_unit_list(const core::IVector& units, int count, float mode, const core::FVector& weight,
                       core::IVector& perm, RandomGenerator& generator) {
  if (mode == kPermuteAllSpecies) {
    shuffle_members(units, count, perm, generator);
    return;
  }
  if (mode == kPermuteSampledSpecies) {
    core::IVector sampled = core::ivector(0, count);
    int m = 0;
    for (int k = 1; k <= count; ++k) {
      if (unit_weight(weight, units[k]) != 0) sampled[++m] = units[k];
    }
    shuffle_members(sampled, m, perm, generator);
    return;
  }
  permute_ratio_classes(units, count, std::fabs(mode), weight, perm, generator);
}

bool is_live_node(const phylogeny::NodeTable& nodes, int node, int n_tips) {
  if (node < 1 || node > nodes.hi()) return false;
  return node <= n_tips + 1 || nodes[node].upper_node != 0;
}

bool stem_crosses_age(const phylogeny::TreeNode& node, bool is_root, float age) {
  return node.age <= age && (age < node.age + node.branch_length || is_root);
}

int collect_clade_units(const phylogeny::NodeTable& nodes, int node, int n_tips, float sub_clade_age,
                        core::IVector& units) {
  const int first = std::max(nodes[node].first_tip, 1);
  const int last = std::min(nodes[node].last_tip, n_tips);
  units = core::ivector(0, std::max(last - first + 1, 0));
  int count = 0;
  int tip = first;
  while (tip <= last) {
    int unit = tip;
    if (sub_clade_age != 0) {
      while (unit != node && nodes[unit].age + nodes[unit].branch_length < sub_clade_age) {
        const int upper = nodes[unit].upper_node;
        if (upper < 1 || upper > nodes.hi()) break;
        unit = upper;
      }
    }
    units[++count] = unit;
    // Always move forward, even through a malformed tip range.
    tip = std::max(tip, nodes[unit].last_tip) + 1;
  }
  return count;
}

}  // namespace quorvel::randomization
