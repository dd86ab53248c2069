#include "phylogeny/tree_writers.hpp"

#include <cmath>
#include <cstdio>
#include <vector>

#include "core/constants.hpp"
#include "core/format.hpp"

namespace quorvel::phylogeny {

using core::format;

namespace {

void drop_trailing_comma(std::string& text) {
  if (!text.empty() && text.back() == ',') text.pop_back();
}

}  // namespace

NewickTexts rebuild_newick_texts(const Phylogeny& tree) {
  // The walk of the table as read: children in increasing index order.
  const NodeTable nodes = node_table(tree);
  const int n_tips = tree.n_tips;
  const int n_nodes = tree.last_number;
  NewickTexts texts;
  const int root = n_tips + 1;
  // Children of every node in increasing index order (compressed lists).
  std::vector<int> first_child(static_cast<std::size_t>(n_nodes) + 2, 0);
  for (int v = 1; v <= n_nodes; ++v) {
    const int up = nodes[v].upper_node;
    if (up >= 1 && up <= n_nodes) ++first_child[static_cast<std::size_t>(up) + 1];
  }
  for (int v = 1; v <= n_nodes + 1; ++v)
    first_child[static_cast<std::size_t>(v)] += first_child[static_cast<std::size_t>(v) - 1];
  std::vector<int> children(static_cast<std::size_t>(first_child[static_cast<std::size_t>(n_nodes) + 1]));
  std::vector<int> cursor(first_child.begin(), first_child.end());
  for (int v = 1; v <= n_nodes; ++v) {
    const int up = nodes[v].upper_node;
    if (up >= 1 && up <= n_nodes) children[static_cast<std::size_t>(cursor[static_cast<std::size_t>(up)]++)] = v;
  }
  // cursor[v] now walks v's children from the first.
  for (int v = 0; v <= n_nodes; ++v) cursor[static_cast<std::size_t>(v)] = first_child[static_cast<std::size_t>(v)];

  enum : char { kNotVisited = 0, kOpen = 1, kDone = 2 };
  std::vector<char> state(static_cast<std::size_t>(n_nodes) + 2, kNotVisited);
  int current = root;
  while (root <= n_nodes) {
    const auto c = static_cast<std::size_t>(current);
    const char* opening = state[c] == kNotVisited ? "(" : ",";
    texts.with_labels += opening;
    texts.without_labels += opening;
    state[c] = kOpen;
    int child = 0;
    while (cursor[c] < first_child[c + 1]) {
      const int candidate = children[static_cast<std::size_t>(cursor[c]++)];
      if (state[static_cast<std::size_t>(candidate)] == kNotVisited) {
        child = candidate;
        break;
      }
    }
    if (child != 0 && child <= n_tips) {
      const std::string tip =
          format("%s:%f", nodes[child].name.c_str(), static_cast<double>(nodes[child].branch_length));
      texts.with_labels += tip;
      texts.without_labels += tip;
      state[static_cast<std::size_t>(child)] = kDone;
    } else if (child != 0) {
      current = child;
    } else {
      state[c] = kDone;
      drop_trailing_comma(texts.with_labels);
      drop_trailing_comma(texts.without_labels);
      if (current == root) break;
      const double length = nodes[current].branch_length;
      texts.with_labels += format(")%s:%f", nodes[current].name.c_str(), length);
      texts.without_labels += format("):%f", length);
      current = nodes[current].upper_node;
    }
  }
  texts.with_labels += ");";
  texts.without_labels += ");";
  return texts;
}

std::string tree_interpretation_text(const std::string& tree_text, const Phylogeny& tree) {
  const NodeTable nodes = node_table(tree);
  const int n_tips = tree.n_tips;
  const int n_nodes = tree.last_number;
  const NewickTexts texts = rebuild_newick_texts(tree);
  std::string text =
      "Original tree\n" + tree_text + "\n\n\nInterpreted tree (with internal node names)\n" + texts.with_labels +
      "\n\n\nInterpreted tree (without internal node names, readable using Dambe)\n" + texts.without_labels;
  text += "\n\n\nTips\tupper node\tupper node age";
  for (int j = 1; j <= n_tips; ++j) {
    text += format("\n%i\t%s\t%i\t%f", j, nodes[j].name.c_str(), nodes[j].upper_node,
                   static_cast<double>(nodes[j].branch_length));
  }
  text += "\n\nNodes (clades)\tupper node\tfirst and last tips within clade\tage of clade";
  for (int i = n_tips + 1; i <= n_nodes; ++i) {
    const TreeNode& node = nodes[i];
    text += format("\n%i\t%s\t%i\t%i\t%i\t%f", i, node.name.c_str(), node.upper_node, node.first_tip, node.last_tip,
                   static_cast<double>(node.age));
  }
  return text;
}

std::string nexus_tree_text(const std::string& tree_text, const Phylogeny& tree, const SpeciesVariables* characters) {
  const int n_tips = tree.n_tips;
  std::string text = format("#NEXUS\n\nBEGIN TAXA;\n\tDIMENSIONS NTAX=%i;\n\tTAXLABELS\n\t\t\t", n_tips);
  for (int j = 1; j <= n_tips; ++j) text += tree.nodes[static_cast<std::size_t>(j)].name + "\t";
  text += "\n\t;\nEND;";
  if (!tree_text.empty()) text += "\n\n\nBEGIN TREES;\n\tTREE original=" + tree_text + "\nEND;\n";
  text += "\n\n\nBEGIN TREES;\n\tTREE interpreted=" + rebuild_newick_texts(tree).with_labels + "\nEND;\n";
  if (characters != nullptr && characters->n_variables > 0) {
    const SpeciesVariables& data = *characters;
    const int n_variables = data.n_variables;
    text += format(
        "\n\nBEGIN CHARACTERS;\n\tTITLE Quorvel-imported_Character_Matrix;\n\tDIMENSIONS NCHAR=%i;\n\tFORMAT "
        "DATATYPE = CONTINUOUS  MISSING = ?;\nCHARSTATELABELS",
        n_variables);
    for (int k = 1; k <= n_variables; ++k) {
      text += format(k < n_variables ? "\n\t%i %s," : "\n\t%i %s ;", k, data.variable_names[k].c_str());
    }
    text += "\n\tMATRIX";
    for (int s = 1; s <= data.n_species; ++s) {
      text += "\n\t" + data.species_names[s];
      for (int v = 1; v <= n_variables; ++v) {
        const float value = data.traits[v][s];
        if (!std::isfinite(value)) {
          text += "\t?";
        } else if (data.variable_categories[v] != 0) {
          text += "\t" + category_name(data, v, static_cast<int>(value));
        } else {
          text += format("\t%g", static_cast<double>(value));
        }
      }
    }
    text += "\n\t;\nEND;";
  }
  return text;
}

}  // namespace quorvel::phylogeny
