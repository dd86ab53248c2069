#pragma once

#include <string>

#include "core/arrays.hpp"
#include "partition/diversity_indices.hpp"
#include "partition/partition_types.hpp"

namespace quorvel::partition {

/// What the decomposition by tree node works on. Tables are borrowed.
struct NodeDecompositionInput {
  int n_plots = 0;
  int n_species = 0;
  const core::DMatrix* abundances = nullptr;  ///< [0..n][0..s]: column 0 the totals N_k, cells relative frequencies
  int data_type = kPresenceAbsenceData;  ///< kCountData: pairs of individuals of one species drawn without replacement
  PairSelection selection;
  const core::NameTable* category_names = nullptr;  ///< names of the category codes, for the heading
  SpeciesTree tree;                                 ///< ages of the nodes give the divergences
};

/// Means within plots (row 0) and among selected pairs of plots (row 1),
/// columns -3..V: for a tip its share of pairs of individuals of one
/// species; for an internal node the shares and clade values below. Column 0
/// the proportion of pairs within species, -1 between species, -2 the mean
/// divergence between individuals, -3 between individuals of distinct
/// species (P: -1 the number of pairs, -2 the mean divergence between
/// species). Undefined values (a division by zero in some plot or pair, no
/// plot, no pair) are NaN.
struct NodeDecomposition {
  int n_plots_used = 0;           ///< included plots holding species
  int n_pairs_used = 0;           ///< selected pairs of them
  core::DVector mean_frequency;   ///< [1..s] over the included plots
  core::IVector species_present;  ///< [0..V]: species of non-zero mean frequency in each clade
  core::DVector clade_frequency;  ///< [0..V]: their summed mean frequency
  core::DMatrix H;                ///< pairs of individuals coalescing at the node (tips: of the species)
  core::DMatrix J;                ///< pairs of individuals of distinct species in the clade
  core::DMatrix Di;               ///< Simpson diversity of the clade
  core::DMatrix Dpstar;           ///< mean divergence between individuals of distinct species in the clade
  core::DMatrix P;                ///< pairs of species coalescing at the node
  core::DMatrix Q;                ///< pairs of species in the clade
  core::DMatrix Delta;            ///< mean divergence between species of the clade
};

/// Computes the decomposition of Simpson's diversity by node. Included
/// plots: every plot, or with a category selection (modes 1 and 2 with a
/// first category) the plots of the selected categories; plots without
/// species are left out. Species without a tip are left out.
NodeDecomposition compute_node_decomposition(const NodeDecompositionInput& input);

}  // namespace quorvel::partition
