#pragma once

#include <string>

#include "phylogeny/phylogeny.hpp"
#include "phylogeny/species_variables.hpp"

namespace quorvel::phylogeny {

/// The two Newick texts rebuilt from a node table.
struct NewickTexts {
  std::string with_labels;     // internal node names kept
  std::string without_labels;  // for programs that refuse internal labels
};

/// Rebuilds Newick text from the tree (tips 1..T, root T+1): children in
/// increasing index order, branch lengths with six decimals. The texts have
/// no length limit; the walk is iterative.
NewickTexts rebuild_newick_texts(const Phylogeny& tree);

/// The interpretation of the tree: the text as read, the two rebuilt texts,
/// then the tips and the internal nodes of the table as read (detached ones
/// included, with upper node 0).
std::string tree_interpretation_text(const std::string& tree_text, const Phylogeny& tree);

/// A NEXUS file: TAXA block of the tips, the tree as read (when `tree_text`
/// is not empty), the interpreted tree, and, when `characters` is given and
/// has variables, the species values as a CHARACTERS block ("?" for missing
/// values, category names for categorical variables).
std::string nexus_tree_text(const std::string& tree_text, const Phylogeny& tree, const SpeciesVariables* characters);

}  // namespace quorvel::phylogeny
