#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "partition/diversity_indices.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::partition::testing {

/// A dated tree parsed from Newick text whose species i is tip i.
struct SpeciesTreeFixture {
  phylogeny::NodeTable nodes;
  int n_tips = 0;
  int n_nodes = 0;
  core::IVector leaf_of_species;
  SpeciesTree view() const;
};

SpeciesTreeFixture species_tree(const std::string& newick);

/// Plot names "p1".."pn" in a name table [0..n].
core::NameTable plot_names(int n);

/// The lines of `text` split at "\n".
std::vector<std::string> lines_of(const std::string& text);

/// The line of `text` that begins with `prefix` (empty when none).
std::string line_starting(const std::string& text, const std::string& prefix);

}  // namespace quorvel::partition::testing
