#include "phylogeny/newick_reader.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"

namespace quorvel::phylogeny {

using core::format;

namespace {

constexpr int kTreeErrorStatus = 22;
// A tip or clade after the root's closing parenthesis would hang from no node.
constexpr const char* kSecondRootMessage =
    "\nError: a tip or clade follows the closing parenthesis of the root: the tree must have one root";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A node as met in the text. Internal nodes are numbered 1, 2, ... in the
// order of their opening parentheses and tips 1, 2, ... in text order; the
// final indices (tips 1..n, internal node k at n + k) are only given once the
// tip count has been checked, so that a text with more tips than announced
// can never make a tip overwrite an internal node.
struct ParsedNode {
  std::string name;
  int upper = 0;  // internal number of the enclosing node, 0 for none
  float branch_length = 0;
  int first_tip = 0;
  int last_tip = 0;
};

struct ParsedTree {
  std::vector<ParsedNode> tips = std::vector<ParsedNode>(1);      // [0] collects what belongs to no node
  std::vector<ParsedNode> internal = std::vector<ParsedNode>(1);  // [0] likewise
  int opened = 0;
  int closed = 0;
  int depth = 0;
};

// " in the tree of file x.txt", or nothing when the tree has no file name.
std::string tree_source(const std::string& source) {
  return source.empty() ? std::string() : " in the tree of file " + source;
}

// A node as messages name it: "tip A (node 1)", "node 5 (X)" or "node 5".
std::string node_description(int index, const std::string& name, bool internal) {
  if (!internal) return format("tip %s (node %d)", name.c_str(), index);
  return name.empty() ? format("node %d", index) : format("node %d (%s)", index, name.c_str());
}

bool all_digits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A name runs to the next ':'. A name that takes in a ',' or a parenthesis
// belongs to a node written without its branch length: read on, it would
// swallow its neighbours and shift every count after it.
std::string node_name(const std::string& body, std::size_t& i, const std::string& source) {
  const std::size_t colon = body.find(':', i);
  const std::size_t end = colon == std::string::npos ? body.size() : colon;
  std::string name = body.substr(i, end - i);
  const std::size_t delimiter = name.find_first_of(",()");
  if (delimiter != std::string::npos) {
    const std::string alone = name.substr(0, delimiter);
    std::string message = format("\nError: \"%s\" (character %d) has no branch length%s", alone.c_str(),
                                 static_cast<int>(i) + 1, tree_source(source).c_str());
    if (all_digits(alone) && i > 0 && body[i - 1] == ',') {
      message += "\nA decimal comma in the branch length before it? Branch lengths are written with a point (1.5).";
    }
    input::reader_error(message, kTreeErrorStatus);
  }
  while (!name.empty() && is_blank(name.back())) name.pop_back();
  if (static_cast<int>(name.size()) > kLongNameLimit) {
    input::reader_error(format("\nError: the name \"%s\"%s is longer than the %d characters allowed", name.c_str(),
                               tree_source(source).c_str(), kLongNameLimit),
                        kTreeErrorStatus);
  }
  i = end;
  return name;
}

// Scans the text once; never recursive, so nesting depth costs no stack.
ParsedTree scan_newick(const std::string& body, int n_tips, const std::string& source) {
  ParsedTree tree;
  std::vector<int> open_nodes;  // internal numbers of the nodes still open
  bool state_node = false;      // a name or length belongs to the node just closed
  int current = 0;              // internal number of the node just closed
  const bool root_length = newick_root_has_length(body);

  auto open_node = [&]() {
    if (tree.opened > 0 && open_nodes.empty()) {
      input::reader_error(kSecondRootMessage + tree_source(source), kTreeErrorStatus);
    }
    ParsedNode node;
    node.first_tip = static_cast<int>(tree.tips.size());
    node.upper = open_nodes.empty() ? 0 : open_nodes.back();
    tree.internal.push_back(node);
    open_nodes.push_back(static_cast<int>(tree.internal.size()) - 1);
    ++tree.opened;
    ++tree.depth;
    state_node = false;
  };

  if (root_length) open_node();  // the extra root carrying the root's length

  std::size_t i = 0;
  // Blanks before the tree (an indented line) are not the tree's first character.
  while (i < body.size() && is_blank(body[i])) ++i;
  bool first_character = true;
  while (i < body.size()) {
    const char c = body[i];
    if (first_character || c == '(') {
      first_character = false;
      open_node();
      ++i;
    } else if (is_blank(c)) {
      ++i;
    } else if (c == '[') {
      const std::size_t close = body.find(']', i);
      i = close == std::string::npos ? body.size() : close + 1;
    } else if (c == ',') {
      state_node = false;
      ++i;
    } else if (c == ')') {
      ++tree.closed;
      --tree.depth;
      current = 0;
      if (!open_nodes.empty()) {
        current = open_nodes.back();
        open_nodes.pop_back();
        tree.internal[static_cast<std::size_t>(current)].last_tip = static_cast<int>(tree.tips.size()) - 1;
      }
      state_node = true;
      ++i;
    } else if (c == ':') {
      const int tip = static_cast<int>(tree.tips.size()) - 1;
      ParsedNode& target =
          state_node ? tree.internal[static_cast<std::size_t>(current)] : tree.tips[static_cast<std::size_t>(tip)];
      const char* after = nullptr;
      float length = 0;
      const input::NumberReading reading = input::scan_number(body.c_str() + i + 1, length, &after);
      bool readable = reading == input::NumberReading::kNumber;
      if (readable) {
        // The length is all there is before the next ',' or ')': "1x" or
        // "1 2" are not lengths.
        std::size_t next = static_cast<std::size_t>(after - body.c_str());
        while (next < body.size() && is_blank(body[next])) ++next;
        readable = next == body.size() || body[next] == ',' || body[next] == ')' || body[next] == '[';
      }
      const int index = state_node ? n_tips + current : tip;
      if (!readable) {
        input::reader_error(format("\nError: cannot read length of branch %i%s%s", index, tree_source(source).c_str(),
                                   input::number_refusal(reading, true).c_str()),
                            kTreeErrorStatus);
      }
      // A negative length has no meaning as time or change: it would give
      // negative divergences and phylodiversity.
      if (length < 0) {
        input::reader_error(format("\nError: the branch of %s has a negative length (%g)%s: branch lengths cannot be "
                                   "negative",
                                   node_description(index, target.name, state_node).c_str(),
                                   static_cast<double>(length), tree_source(source).c_str()),
                            kTreeErrorStatus);
      }
      target.branch_length = length;
      i = static_cast<std::size_t>(after - body.c_str());
      while (i < body.size() && body[i] != ',' && body[i] != ')') ++i;
    } else if (state_node) {
      std::string label = node_name(body, i, source);
      if (current != 0) tree.internal[static_cast<std::size_t>(current)].name = std::move(label);
    } else {
      if (tree.opened > 0 && open_nodes.empty()) {
        input::reader_error(kSecondRootMessage + tree_source(source), kTreeErrorStatus);
      }
      ParsedNode tip;
      tip.name = node_name(body, i, source);
      tip.upper = open_nodes.empty() ? 0 : open_nodes.back();
      tree.tips.push_back(std::move(tip));
    }
  }
  if (root_length) {
    ++tree.closed;
    --tree.depth;
    if (!open_nodes.empty()) {
      tree.internal[static_cast<std::size_t>(open_nodes.back())].last_tip = static_cast<int>(tree.tips.size()) - 1;
      open_nodes.pop_back();
    }
  }
  return tree;
}

// Ages of an ultrametric tree: each node is as old as the path length from
// the first tip that reaches it. Later paths only check it: a path shorter
// by more than 0.1 per mille is reported (the first value is kept).
void set_ultrametric_ages(NodeTable& nodes, int n_tips, int n_nodes) {
  const int root = n_tips + 1;
  nodes[root].upper_node = 0;
  nodes[root].branch_length = 0;
  std::vector<char> known(static_cast<std::size_t>(n_nodes) + 1, 0);
  // Arrival length of the path that dated each node, and whether that path
  // went on to the root without any warning. A later path arriving with the
  // very same length repeats the rest of that path, so it can stop there.
  std::vector<double> arrival(static_cast<std::size_t>(n_nodes) + 1, 0);
  std::vector<char> clean(static_cast<std::size_t>(n_nodes) + 1, 0);
  std::vector<int> dated;
  for (int j = 1; j <= n_tips; ++j) {
    dated.clear();
    bool warned = false;
    double a = 0;
    int x = j;
    while (nodes[x].upper_node != 0) {
      a += nodes[x].branch_length;
      x = nodes[x].upper_node;
      const auto k = static_cast<std::size_t>(x);
      if (!known[k]) {
        known[k] = 1;
        nodes[x].age = static_cast<float>(a);
        arrival[k] = a;
        dated.push_back(x);
        continue;
      }
      if (arrival[k] == a && clean[k]) break;
      const double age = nodes[x].age;
      if (a != 0 && (age - a) / a > 0.001) {
        core::console_printf("\nWarning: tot length at node %i from tip %i: %f vs. %f", x, j, age, a);
        warned = true;
      }
    }
    for (int node : dated) clean[static_cast<std::size_t>(node)] = warned ? 0 : 1;
  }
  for (int j = 1; j <= n_tips; ++j) nodes[j].age = 0;
}

// Zero-length internal branches become polytomies: every node hangs from its
// nearest ancestor that is the root or has a length. Parents always have
// smaller indices than their internal children, so one increasing pass
// resolves chains of zero-length nodes.
void dissolve_zero_length_branches(NodeTable& nodes, int n_tips, int n_nodes) {
  const int root = n_tips + 1;
  std::vector<int> kept(static_cast<std::size_t>(n_nodes) + 1, 0);
  for (int k = root; k <= n_nodes; ++k) {
    const int up = nodes[k].upper_node;
    const bool keeps_itself = k == root || nodes[k].branch_length != 0 || up == 0;
    kept[static_cast<std::size_t>(k)] = keeps_itself ? k : kept[static_cast<std::size_t>(up)];
  }
  for (int v = 1; v <= n_nodes; ++v) {
    const int up = nodes[v].upper_node;
    if (up == 0) continue;
    if (v > n_tips && nodes[v].branch_length == 0 && v != root) continue;  // removed just below
    nodes[v].upper_node = kept[static_cast<std::size_t>(up)];
  }
  for (int k = n_tips + 2; k <= n_nodes; ++k) {
    if (nodes[k].branch_length == 0) {
      nodes[k].upper_node = 0;
      nodes[k].age = 0;
    }
  }
}

// An unlabelled node with a single child adds nothing to the tree: its child
// takes its place and the two branches are joined.
void splice_single_child_nodes(NodeTable& nodes, int n_tips, int n_nodes) {
  std::vector<int> child_count(static_cast<std::size_t>(n_nodes) + 1, 0);
  std::vector<int> a_child(static_cast<std::size_t>(n_nodes) + 1, 0);
  for (int v = 1; v <= n_nodes; ++v) {
    const int up = nodes[v].upper_node;
    if (up == 0) continue;
    ++child_count[static_cast<std::size_t>(up)];
    a_child[static_cast<std::size_t>(up)] = v;
  }
  // Children have larger indices than their parents, so a node's children
  // are still its own when the node is reached.
  for (int m = n_tips + 2; m <= n_nodes; ++m) {
    TreeNode& node = nodes[m];
    if (node.upper_node == 0 || child_count[static_cast<std::size_t>(m)] != 1 || !node.name.empty()) continue;
    TreeNode& child = nodes[a_child[static_cast<std::size_t>(m)]];
    child.upper_node = node.upper_node;
    child.branch_length += node.branch_length;
    node.upper_node = 0;
    node.branch_length = 0;
    node.age = 0;
  }
}

}  // namespace

std::string newick_body(const std::string& tree_text) { return tree_text.substr(0, tree_text.find(';')); }

int count_newick_colons(const std::string& tree_text) {
  const std::string body = newick_body(tree_text);
  return static_cast<int>(std::count(body.begin(), body.end(), ':'));
}

bool newick_root_has_length(const std::string& tree_text) {
  const std::string body = newick_body(tree_text);
  const std::size_t colon = body.rfind(':');
  const std::size_t close = body.rfind(')');
  return colon != std::string::npos && (close == std::string::npos || colon > close);
}

int count_newick_tips(const std::string& tree_text) {
  const std::string body = newick_body(tree_text);
  int opens = static_cast<int>(std::count(body.begin(), body.end(), '('));
  if (newick_root_has_length(body)) ++opens;
  return count_newick_colons(body) - opens + 1;
}

Phylogeny read_newick_tree(const std::string& tree_text, bool ultrametric, int n_tips, const std::string& source) {
  const std::string body = newick_body(tree_text);
  const ParsedTree parsed = scan_newick(body, n_tips, source);
  if (parsed.depth != 0) {
    input::reader_error(
        format("\nError: %i '(' for %i ')'%s", parsed.opened, parsed.closed, tree_source(source).c_str()),
        kTreeErrorStatus);
  }
  const int tips_read = static_cast<int>(parsed.tips.size()) - 1;
  if (tips_read != n_tips) {
    input::reader_error(format("\nError: %i tips for %i expected%s", tips_read, n_tips, tree_source(source).c_str()),
                        kTreeErrorStatus);
  }

  const int n_internal = static_cast<int>(parsed.internal.size()) - 1;
  const int n_nodes = n_tips + n_internal;
  NodeTable nodes(0, std::max(count_newick_colons(body) + 1, n_nodes + 1));
  auto absolute = [n_tips](int internal_number) { return internal_number == 0 ? 0 : n_tips + internal_number; };
  for (int j = 1; j <= n_tips; ++j) {
    const ParsedNode& tip = parsed.tips[static_cast<std::size_t>(j)];
    nodes[j].name = tip.name;
    nodes[j].upper_node = absolute(tip.upper);
    nodes[j].branch_length = tip.branch_length;
    nodes[j].first_tip = nodes[j].last_tip = j;
  }
  for (int k = 1; k <= n_internal; ++k) {
    const ParsedNode& node = parsed.internal[static_cast<std::size_t>(k)];
    TreeNode& target = nodes[n_tips + k];
    target.name = node.name;
    target.upper_node = absolute(node.upper);
    target.branch_length = node.branch_length;
    target.first_tip = node.first_tip;
    target.last_tip = node.last_tip;
  }

  const PhylogenyOrigin origin = ultrametric ? PhylogenyOrigin::kDatedTree : PhylogenyOrigin::kPathLengthTree;
  if (n_internal == 0) return compact_node_table(nodes, n_tips, n_nodes, origin);
  if (ultrametric) {
    set_ultrametric_ages(nodes, n_tips, n_nodes);
  } else {
    nodes[n_tips + 1].upper_node = 0;
    nodes[n_tips + 1].branch_length = 0;
  }
  dissolve_zero_length_branches(nodes, n_tips, n_nodes);
  splice_single_child_nodes(nodes, n_tips, n_nodes);
  return compact_node_table(nodes, n_tips, n_nodes, origin);
}

}  // namespace quorvel::phylogeny
