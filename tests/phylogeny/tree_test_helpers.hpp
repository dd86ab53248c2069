#pragma once

#include <string>

#include "core/format.hpp"
#include "phylogeny/newick_reader.hpp"

namespace quorvel::phylogeny::testing {

/// A tree parsed from Newick text, with its node table as read and counts.
struct ParsedTree {
  Phylogeny tree;
  NodeTable nodes;
  int n_tips = 0;
  int n_nodes = 0;
};

/// Parses `text` with the tip count computed from it, as the driver does.
inline ParsedTree parse_tree(const std::string& text, bool ultrametric) {
  ParsedTree parsed;
  parsed.n_tips = count_newick_tips(text);
  parsed.tree = read_newick_tree(text, ultrametric, parsed.n_tips);
  parsed.nodes = node_table(parsed.tree);
  parsed.n_nodes = parsed.tree.last_number;
  return parsed;
}

/// One node as "name|upper|length|age|first-last", for whole-record checks.
inline std::string describe(const TreeNode& node) {
  return core::format("%s|%i|%g|%g|%i-%i", node.name.c_str(), node.upper_node, static_cast<double>(node.branch_length),
                      static_cast<double>(node.age), node.first_tip, node.last_tip);
}

}  // namespace quorvel::phylogeny::testing
