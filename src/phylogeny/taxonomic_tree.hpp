#pragma once

#include "core/arrays.hpp"
#include "phylogeny/phylogeny.hpp"
#include "phylogeny/species_variables.hpp"

namespace quorvel::phylogeny {

/// Builds the ultrametric tree of a classification with H = `n_levels`
/// taxonomic levels. `level_names` [0..H+1] name the levels (1..H the
/// taxonomic ones, lowest first); `level_divergences` [0..H+1] give the age
/// of the taxa of each level, entry H+1 the age of the root "ALL". Tips are
/// numbered so that the species of every taxon are consecutive. Node layout:
/// tips 1..S, root S+1, then the slots of level H, H-1, ..., 1; unused slots
/// keep the name "/0" and no upper node. A species whose category is missing
/// at a level forms a taxon of its own there (unnamed); unused slots are
/// detached from the tree. The tree (origin kClassification) comes with the
/// species maps of its tips and its classification levels: `level_variable`
/// [0..H+1], `taxa_per_level` [0..H+1] (entry 0 = S, entry H+1 = 1) and the
/// taxon tables (fill_taxon_tables). Stops the run (status 0) when a level
/// names no categorical variable or when a taxon lies in two taxa of the next
/// level.
Phylogeny build_taxonomic_tree(const SpeciesVariables& data, int n_levels, const core::NameTable& level_names,
                               const core::FVector& level_divergences);

/// Taxon tables of a taxonomic tree, taxa numbered in tip order: for level
/// P = 1..H+1 and taxon t, `first_member`(P, t)..`last_member`(P, t) is its
/// range of members at level P-1; level 0 lists the species in tip order
/// (first = last = species at tip k). Unused slots hold 0..0. Both tables are
/// allocated over [0..H+1][0..S], from the tree's tips of the species and its
/// taxa per level.
void fill_taxon_tables(Phylogeny& tree, int n_levels);

/// Divergences from the taxon tables (as rearranged by the permutation of
/// taxa): the divergence of the lowest level at which two species share a
/// taxon, or the "ALL" divergence (entry H+1). Species whose global relative
/// abundance (cell (0, i) of `abundances`) is 0 get taxon 0 at every level
/// and divergence 0 with every species; an empty `abundances` keeps every
/// species. Fills `species_taxon` [0..H+1][0..S] and cells (1..S, 1..S) of
/// `divergences`; returns the largest divergence stored.
float compute_taxonomic_divergences(int n_species, const core::DMatrix& abundances, int n_levels,
                                    const core::FVector& level_divergences, const core::IVector& taxa_per_level,
                                    const core::IMatrix& first_member, const core::IMatrix& last_member,
                                    core::IMatrix& species_taxon, core::FMatrix& divergences);

}  // namespace quorvel::phylogeny
