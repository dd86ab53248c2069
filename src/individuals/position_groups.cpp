#include "individuals/position_groups.hpp"

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

}  // namespace quorvel::individuals
