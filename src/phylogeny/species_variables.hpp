#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::phylogeny {

/// Read-only view of the species list and its variables, in the layout of the
/// species traits reader: the taxonomic tree takes its levels from the
/// categorical variables, the NEXUS writer exports all of them.
struct SpeciesVariables {
  int n_species;                                        // S
  const core::NameTable& species_names;                 // [1..S]
  int n_variables;                                      // V
  const core::NameTable& variable_names;                // [0..V], 0 = title of the species column
  const core::IVector& variable_categories;             // [0..V]: categories per variable (0 = quantitative)
  const core::FMatrix& traits;                          // [0..V][0..S]: value or category index 1..k; row 0 = s
  const core::Vector<core::NameTable>& category_names;  // [0..V]: entry v names [1..k] variable v's categories
};

/// Name of category `category` of variable `variable` (variable 0: the
/// species names); empty when there is no such category.
std::string category_name(const SpeciesVariables& data, int variable, int category);

}  // namespace quorvel::phylogeny
