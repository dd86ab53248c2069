#pragma once

#include <functional>
#include <string>

namespace quorvel::reports {

// The optional outputs of the phylogeny, written as the tree and the list of
// divergences give them. A file that cannot be opened is skipped without
// message: these outputs are optional and never stop a run.

/// The interpretation of the tree: a file other than the main result file is
/// emptied first; the main result file is appended to.
void write_tree_interpretation(const std::string& file_name, const std::string& main_result_file,
                               const std::string& text);

/// The NEXUS file, created anew.
void write_nexus_tree(const std::string& file_name, const std::string& text);

/// The list of divergences between species, created anew and written species
/// after species (`lines_of(i)` gives the lines of species i, i = 1..n_species-1)
/// in blocks, so that the list of a large tree is never held whole.
void write_species_divergence_list(const std::string& file_name, int n_species,
                                   const std::function<std::string(int)>& lines_of);

}  // namespace quorvel::reports
