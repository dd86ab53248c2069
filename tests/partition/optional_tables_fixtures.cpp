#include "optional_tables_fixtures.hpp"

#include "phylogeny/newick_reader.hpp"

namespace quorvel::partition::testing {

SpeciesTree SpeciesTreeFixture::view() const {
  SpeciesTree tree;
  tree.nodes = &nodes;
  tree.n_tips = n_tips;
  tree.n_nodes = n_nodes;
  tree.leaf_of_species = &leaf_of_species;
  return tree;
}

SpeciesTreeFixture species_tree(const std::string& newick) {
  SpeciesTreeFixture tree;
  tree.n_tips = phylogeny::count_newick_tips(newick);
  const phylogeny::Phylogeny parsed = phylogeny::read_newick_tree(newick, true, tree.n_tips);
  tree.nodes = phylogeny::node_table(parsed);
  tree.n_nodes = parsed.last_number;
  tree.leaf_of_species = core::ivector(0, tree.n_tips);
  for (int j = 1; j <= tree.n_tips; ++j) tree.leaf_of_species[j] = j;
  return tree;
}

core::NameTable plot_names(int n) {
  core::NameTable names = core::name_table(0, n);
  for (int k = 1; k <= n; ++k) names[k] = "p" + std::to_string(k);
  return names;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

std::string line_starting(const std::string& text, const std::string& prefix) {
  for (const std::string& line : lines_of(text)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return line;
  }
  return std::string();
}

}  // namespace quorvel::partition::testing
