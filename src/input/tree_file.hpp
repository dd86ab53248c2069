#pragma once

#include <string>

#include "input/data_source.hpp"

namespace quorvel::input {

/// The Newick text of a tree and its number of tips.
struct NewickText {
  std::string text;    ///< one line, without its line end; empty when none was given
  int n_tips = 0;      ///< counted from the text (count_tree_tips)
  bool dated = false;  ///< an ultrametric tree, whose node heights are ages
};

/// Reads the Newick text of `source`, named by "ULTRAMETRIC PHYLOGENETIC
/// TREE" (`dated`) or "PHYLOGENETIC TREE": inline, the line after the
/// keyword when the number after it is above 2; in a file of its own
/// (opened with the open retry, "the dated phylogenetic tree"), the line
/// after a keyword line (recognised by its first 17 characters) announcing
/// more than 2 tips, or else the first line. The text is one line however
/// long; the tree itself is parsed by phylogeny::read_newick_tree.
NewickText scan_newick_tree(const DataSource& source, bool dated);

/// Number of tips of a Newick text, from its first characters up to the first
/// ";": (number of ":") - (number of "(") + 1 when the root has no branch length.
int count_tree_tips(const std::string& tree_text);

}  // namespace quorvel::input
