#pragma once

#include "core/arrays.hpp"
#include "input/community_matrix.hpp"
#include "input/plot_list.hpp"

namespace quorvel::individuals {

/// Individuals standing at one position, as mapped trees sampled in plots:
/// consecutive individuals with the same x and y form one group.
struct PositionGroups {
  int n_groups = 0;        ///< 0 when every individual forms its own group
  core::IVector group_of;  ///< [0..n]: group of each individual
  core::IVector size;      ///< [0..groups]
  core::DVector x, y;      ///< [0..groups]: position of the group's first individual
};

/// Groups individuals 1..n: each individual joins the group of the one just
/// before it when both its coordinates equal that individual's, and opens a
/// new group otherwise (the list must be sorted by position for groups to be
/// complete).
PositionGroups group_individuals_by_position(int n, const core::DVector& x, const core::DVector& y);

/// The abundance matrix [0..G][0..S] of the position groups: counts of the
/// individuals of each species (individuals without species left out), then
/// each row divided by its total (cell 0), row 0 the whole data set.
core::DMatrix build_group_abundances(int n, int n_groups, const core::IVector& group_of, int n_species,
                                     const core::IVector& species_of);

/// The names of G position groups as plots: "1".."G" ([0..G]).
core::NameTable group_plot_names(int n_groups);

/// The position groups of individuals 1..n as the plots of a community
/// (analysis level 3): plots named 1..G, the counts of their individuals'
/// species (build_group_abundances, data type kCountData), the species
/// `species_names` [0..S].
input::Community group_community(const PositionGroups& groups, int n, const core::IVector& species_of,
                                 const core::NameTable& species_names);

/// The positions of the position groups as a plot list: x and y of each
/// group, no category.
input::PlotList group_plot_list(const PositionGroups& groups);

}  // namespace quorvel::individuals
