#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::phylogeny {

/// One node of a tree. Tips are 1..n in Newick order, the root is n+1, then
/// the other internal nodes in the order of their opening parentheses; index
/// 0 is unused. Nodes removed by the clean-up keep their index with
/// upper_node 0, branch_length 0 and age 0.
struct TreeNode {
  std::string name;         // tip: species name; internal node: label or empty (at most 50 characters)
  int upper_node = 0;       // parent index; 0 for the root and removed nodes
  float branch_length = 0;  // length of the branch to the parent
  float age = 0;            // ultrametric trees: height above the tips (0 for tips); other trees: 0
  int first_tip = 0;        // lowest tip index of the clade
  int last_tip = 0;         // highest tip index of the clade
};

/// Node table indexed 0..N+1 (index 0 unused).
using NodeTable = core::Vector<TreeNode>;

}  // namespace quorvel::phylogeny
