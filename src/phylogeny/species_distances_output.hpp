#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::phylogeny {

/// The lines of species i in the list of divergences between species: for
/// every j = i+1..n_species a line "\n%s\t%s\t%f" with the two names and
/// their divergence row[j] (row indexed 1..n_species); a missing divergence
/// is an empty cell. The list is these lines for i = 1..n_species-1.
std::string species_divergence_lines(int i, int n_species, const core::NameTable& species_names, const float* row);

}  // namespace quorvel::phylogeny
