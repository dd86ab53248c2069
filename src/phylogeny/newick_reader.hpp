#pragma once

#include <string>

#include "phylogeny/phylogeny.hpp"

namespace quorvel::phylogeny {

/// The part of a Newick text that is read: everything before its first ';'.
std::string newick_body(const std::string& tree_text);

/// Number of ':' before the first ';'. The node table of a tree needs room
/// for this number + 2 records (indices 0..C+1).
int count_newick_colons(const std::string& tree_text);

/// True when the root carries a branch length: the last ':' before the first
/// ';' lies after the last ')'.
bool newick_root_has_length(const std::string& tree_text);

/// Number of tips announced by a Newick text: (number of ':') - (number of
/// '(') + 1, one '(' more when the root carries a length.
int count_newick_tips(const std::string& tree_text);

/// Parses `tree_text` (only the part before its first ';') into a tree
/// (origin kDatedTree when `ultrametric`, else kPathLengthTree; species maps
/// left empty). In the node table as read, tips are 1..n in text order, the
/// root n+1, then the other internal nodes in the order of their opening
/// parentheses; a root branch length gives an extra root n+1 whose only child
/// is the written root. Zero-length internal branches are dissolved into
/// polytomies and unlabelled single-child nodes are spliced out (both leave
/// the tree: detached, with upper_node 0 in the table, which is allocated over
/// 0..max(C+1, N+1)). For an ultrametric tree, node ages are the path lengths
/// from their first tip.
/// Stops the run (status 22) on unbalanced parentheses, a tip count other
/// than `n_tips`, an unreadable branch length (hexadecimal, out of range or
/// too close to 0 included), a negative branch length (naming the node), a
/// named node without a branch length or a name longer than 50 characters;
/// the messages name `source`,
/// the file the tree comes from, when it is given.
Phylogeny read_newick_tree(const std::string& tree_text, bool ultrametric, int n_tips,
                           const std::string& source = std::string());

}  // namespace quorvel::phylogeny
