#pragma once

#include <string>

#include "phylogeny/species_variables.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::phylogeny {

/// The two Newick texts rebuilt from a node table.
struct NewickTexts {
  std::string with_labels;     // internal node names kept
  std::string without_labels;  // for programs that refuse internal labels
};

/// Rebuilds Newick text from the node table (tips 1..n_tips, root
/// n_tips + 1, nodes up to n_nodes): children in increasing index order,
/// branch lengths with six decimals, nodes without upper node left out. The
/// texts have no length limit; the walk is iterative.
NewickTexts rebuild_newick_texts(const NodeTable& nodes, int n_tips, int n_nodes);

/// Writes the interpretation of the tree: the text as read, the two rebuilt
/// texts, then the tips and the internal nodes (removed ones included). A
/// file other than `main_result_file` is emptied first; the main result file
/// is appended to. A file that cannot be opened is skipped without message.
void write_tree_interpretation(const std::string& file_name, const std::string& main_result_file,
                               const std::string& tree_text, const NodeTable& nodes, int n_tips, int n_nodes);

/// Writes a NEXUS file (created anew): TAXA block of the tips, the tree as
/// read (when `tree_text` is not empty), the interpreted tree, and, when
/// `characters` is given and has variables, the species values as a
/// CHARACTERS block ("?" for missing values, category names for categorical
/// variables). A file that cannot be created is skipped without message.
void write_nexus_tree(const std::string& file_name, const std::string& tree_text, const NodeTable& nodes, int n_tips,
                      int n_nodes, const SpeciesVariables* characters);

}  // namespace quorvel::phylogeny
