#pragma once

#include "core/arrays.hpp"
#include "partition/partition_types.hpp"
#include "partition/partition_workspace.hpp"
#include "partition/species_distances.hpp"

namespace quorvel::partition {

/// Partition of diversity within and among plots (Gini-Simpson I, mean
/// divergence between individuals P, between individuals of distinct species
/// P*, between species PI), globally, for every selected plot pair and by
/// divergence interval.
///
/// - `abundances`: doubles [0..n_plots][0..n_species]; column 0 the plot totals
///   N_k, cells the relative frequencies; row 0 the pooled sample: its total
///   A[0][0] weighs the species pool, its cells 1..s are overwritten with the
///   weighted pooled frequencies. The species pool is every species present
///   in a plot of the table (also a plot of total 0 that a category selection
///   left out), whatever row 0 holds on entry.
/// - `data_type`: kPresenceAbsenceData, kRelativeAbundanceData or kCountData (the
///   within-plot values then draw two different individuals of the plot: the
///   unbiased Gini-Simpson and Rao estimators; a plot of one individual has
///   no within-plot value).
/// - Each quantity and column is computed over the plots that have a
///   within-plot value there (tables.left_out names the others): a plot
///   without one is out of both the within and the among value, and a pair
///   of kept plots without an among value of its own is out of the among
///   value only. Plots of total 0 form no pair. With a single weighted plot
///   the within values are that plot's.
/// - `distances`: the divergences between species (SpeciesDistances: a
///   table, a tree read one row at a time, or the clade view of a dated tree,
///   whose sums over clades give the values the table would give), or none
///   for divergence 0 within and 1 between species. Trait distances may be
///   passed instead for the trait statistics. A species pair without
///   divergence (MISSING_VALUE, or a species without tip) is left out of
///   every sum.
/// - `limits`: t[1..n_intervals], increasing, t[1] = 0.
/// - `tables`: from make_partition_tables; pairwise cells of pairs that are not
///   computed keep their value. Unguarded ratios give MISSING_VALUE.
/// - `workspace`: reused storage; one per thread. Calls on different
///   workspaces and outputs may run concurrently.
void compute_diversity_partition(int n_plots, int n_species, core::DMatrix& abundances, int data_type,
                                 const PairSelection& selection, const SpeciesDistances& distances, int n_intervals,
                                 const core::DVector& limits, PlotWeighting weighting, PartitionTables& tables,
                                 PartitionWorkspace& workspace);

/// The same with a table of divergences (or none) and a workspace of its own
/// (for single calls).
void compute_diversity_partition(int n_plots, int n_species, core::DMatrix& abundances, int data_type,
                                 const PairSelection& selection, const core::FMatrix* divergences, int n_intervals,
                                 const core::DVector& limits, PlotWeighting weighting, PartitionTables& tables);

}  // namespace quorvel::partition
