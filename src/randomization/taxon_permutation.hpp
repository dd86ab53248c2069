#pragma once

#include "core/arrays.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

// A taxonomic classification as nested member ranges: for level L (0 = the
// species order, 1.. the taxonomic levels upward) and taxon t of that level,
// first_member(L, t)..last_member(L, t) are its members at level L - 1
// (for level 0: the species at that position). taxa_per_level[L] counts the
// taxa of level L; the levels are 0..n_levels.

/// Draws the permutation of the taxa of level `level_permuted` within each
/// taxon of level `level_within` (> level_permuted): perm (resized to
/// 0..taxa of that level) is shuffled over the level-P range of each level-Q
/// taxon in increasing order, or of those listed in within_taxa[1..n_within]
/// when n_within > 0. Taxa whose ranges fall outside the tables are left alone.
void draw_taxon_permutation(int n_levels, const core::IVector& taxa_per_level, const core::IMatrix& first_member,
                            const core::IMatrix& last_member, int level_permuted, int level_within,
                            const core::IVector& within_taxa, int n_within, core::IVector& perm,
                            RandomGenerator& generator);

/// Copies both member tables to the outputs and gives each taxon slot j of
/// `level_permuted` the members of taxon perm[j]. Pure.
void apply_taxon_permutation(int level_permuted, const core::IVector& taxa_per_level, const core::IVector& perm,
                             const core::IMatrix& first_member, const core::IMatrix& last_member,
                             core::IMatrix& first_out, core::IMatrix& last_out);

/// One permuted classification (draw then apply); the run recomputes the
/// divergences from the output tables.
void permute_taxonomic_level(int n_levels, const core::IVector& taxa_per_level, const core::IMatrix& first_member,
                             const core::IMatrix& last_member, int level_permuted, int level_within,
                             const core::IVector& within_taxa, int n_within, core::IMatrix& first_out,
                             core::IMatrix& last_out, RandomGenerator& generator);

}  // namespace quorvel::randomization
