#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::phylogeny {

/// Writes the list of divergences between species to `file_name` (created
/// anew): for every pair i < j in index order a line "\n%s\t%s\t%f" with the
/// two names and their divergence; a missing divergence is an empty cell.
/// Nothing is written, and nothing said, when the file cannot be created.
void write_species_divergence_list(const std::string& file_name, int n_species, const core::NameTable& species_names,
                                   const core::FMatrix& divergences);

}  // namespace quorvel::phylogeny
