#pragma once

#include <string>

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// Permutation modes (`PermutationMode`): -1 permutes every unit, 0 the units
/// of non-zero weight (sampled species), R > 1 units of similar weight in
/// classes of ratio below R (abundances), -R the same with occurrences (the
/// scheme only sees |R| and the weights the caller filled).
inline constexpr float kPermuteAllSpecies = -1.0f;
inline constexpr float kPermuteSampledSpecies = 0.0f;

/// Permutes the units units[1..count] according to `mode`: perm (indexed by
/// unit number, identity on entry) receives perm[units[k]] = the unit whose
/// place unit units[k] takes. `weight` is indexed by unit number; units
/// outside its range weigh 0. Ratio modes draw one uniform number for the
/// class offset before any shuffle; a class of one unit draws nothing.
/// A ratio of 1 or less (or a mode between -1 and 0) forms no class: only the
/// offset is drawn and nothing moves.
void permute_unit_list(const core::IVector& units, int count, float mode, const core::FVector& weight,
                       core::IVector& perm, RandomGenerator& generator);

/// The permuted units of the clade of `node`: walking its tips from
/// first_tip, each tip climbs (when sub_clade_age is not 0) while the stem of
/// the current node ends below sub_clade_age, never above `node` itself;
/// the node reached is one unit and the walk resumes after its last tip.
/// Units are written to units[1..] (resized to hold them); returns their count.
int collect_clade_units(const phylogeny::NodeTable& nodes, int node, int n_tips, float sub_clade_age,
                        core::IVector& units);

/// True for a node of the tree proper: a tip, the root (n_tips + 1), or an
/// internal node still attached (upper_node not 0).
bool is_live_node(const phylogeny::NodeTable& nodes, int node, int n_tips);

/// True when the stem of `node` crosses `age` (node age <= age < age at the
/// top of its branch), or when the node is the root and its age <= `age`.
bool stem_crosses_age(const phylogeny::TreeNode& node, bool is_root, float age);

}  // namespace quorvel::randomization
