#pragma once

#include <string>

#include "phylogeny/tree_node.hpp"

namespace quorvel::randomization::testing {

/// ((A:1,B:1)AB:2,(C:2,(D:1,E:1)DE:1)CDE:1,F:3)ALL; as an ultrametric node
/// table: tips A..F = 1..6, root 7 (age 3), AB = 8 (age 1), CDE = 9 (age 2),
/// DE = 10 (age 1), and node 11 removed by the clean-up (upper_node 0).
inline phylogeny::NodeTable six_tip_tree() {
  struct Row {
    const char* name;
    int upper;
    float branch;
    float age;
    int first;
    int last;
  };
  const Row rows[] = {
      {"", 0, 0, 0, 0, 0},   {"A", 8, 1, 0, 1, 1},   {"B", 8, 1, 0, 2, 2},  {"C", 9, 2, 0, 3, 3},
      {"D", 10, 1, 0, 4, 4}, {"E", 10, 1, 0, 5, 5},  {"F", 7, 3, 0, 6, 6},  {"ALL", 0, 0, 3, 1, 6},
      {"AB", 7, 2, 1, 1, 2}, {"CDE", 7, 1, 2, 3, 5}, {"DE", 9, 1, 1, 4, 5}, {"", 0, 0, 0, 4, 5},
  };
  phylogeny::NodeTable nodes(0, 11);
  for (int i = 0; i <= 11; ++i) {
    nodes[i].name = rows[i].name;
    nodes[i].upper_node = rows[i].upper;
    nodes[i].branch_length = rows[i].branch;
    nodes[i].age = rows[i].age;
    nodes[i].first_tip = rows[i].first;
    nodes[i].last_tip = rows[i].last;
  }
  return nodes;
}

inline constexpr int kTips = 6;
inline constexpr int kNodes = 11;

}  // namespace quorvel::randomization::testing
