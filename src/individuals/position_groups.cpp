#include "individuals/position_groups.hpp"

#include <algorithm>

#include "core/constants.hpp"
#include "core/format.hpp"

namespace quorvel::individuals {

PositionGroups group_individuals_by_position(int n, const core::DVector& x, const core::DVector& y) {
  PositionGroups groups;
  groups.group_of = core::ivector(0, n);
  int count = 0;
  for (int i = 1; i <= n; ++i) {
    if (i == 1 || x[i] != x[i - 1] || y[i] != y[i - 1]) ++count;
    groups.group_of[i] = count;
  }
  groups.size = core::ivector(0, count);
  groups.x = core::dvector(0, count);
  groups.y = core::dvector(0, count);
  for (int i = 1; i <= n; ++i) {
    const int g = groups.group_of[i];
    if (groups.size[g]++ == 0) {
      groups.x[g] = x[i];
      groups.y[g] = y[i];
    }
  }
  groups.n_groups = count == n ? 0 : count;
  return groups;
}

core::DMatrix build_group_abundances(int n, int n_groups, const core::IVector& group_of, int n_species,
                                     const core::IVector& species_of) {
  core::DMatrix abundances = core::dmatrix(0, n_groups, 0, n_species);
  for (int i = 1; i <= n; ++i) {
    const int s = species_of[i];
    if (s == 0) continue;
    const int g = group_of[i];
    abundances(g, s) += 1;
    abundances(0, s) += 1;
    abundances(g, 0) += 1;
    abundances(0, 0) += 1;
  }
  for (int g = 0; g <= n_groups; ++g) {
    if (abundances(g, 0) == 0) continue;  // a group of individuals without species
    for (int s = 1; s <= n_species; ++s) abundances(g, s) /= abundances(g, 0);
  }
  return abundances;
}

core::NameTable group_plot_names(int n_groups) {
  core::NameTable names = core::name_table(0, n_groups);
  for (int g = 1; g <= n_groups; ++g) names[g] = core::format("%i", g);
  return names;
}

input::Community group_community(const PositionGroups& groups, int n, const core::IVector& species_of,
                                 const core::NameTable& species_names) {
  input::Community community;
  community.species_names = species_names;
  community.plot_names = group_plot_names(groups.n_groups);
  community.abundances =
      build_group_abundances(n, groups.n_groups, groups.group_of, std::max(species_names.hi(), 0), species_of);
  community.data_type = kCountData;
  return community;
}

input::PlotList group_plot_list(const PositionGroups& groups) {
  input::PlotList list;
  list.x = groups.x;
  list.y = groups.y;
  list.plot_category = core::ivector(0, groups.n_groups);
  return list;
}

}  // namespace quorvel::individuals
