#include "input/tree_file.hpp"

#include <algorithm>

#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

NewickText scan_newick_tree(const DataSource& source, bool dated) {
  const char* keyword = dated ? "ULTRAMETRIC PHYLOGENETIC TREE" : "PHYLOGENETIC TREE";
  NewickText tree;
  tree.dated = dated;
  core::TextInput file;
  int announced = source.number(0);
  if (source.is_inline()) {
    if (announced > 2) {
      open_inline_data(file, source);
      read_whole_line(file, tree.text);
    }
  } else {
    open_data_file(file, source.file, "the dated phylogenetic tree");
    // "PHYLOGENETIC TREE" or "ULTRAMETRIC PHYLO": 17 characters recognise the header.
    const std::string header_prefix(keyword, 17);
    std::string header;
    if (file.find_keyword_line(header_prefix, header)) {
      const char* numbers = after_keyword_text(header, keyword);
      read_line_numbers(numbers ? numbers : header.c_str() + header_prefix.size(), &announced, 1, keyword, source.file,
                        file.line_number());
      if (announced > 2) read_whole_line(file, tree.text);
    } else {
      file.rewind();
      read_whole_line(file, tree.text);
    }
  }
  tree.n_tips = count_tree_tips(tree.text);
  return tree;
}

int count_tree_tips(const std::string& tree_text) {
  const std::string text = tree_text.substr(0, tree_text.find(';'));
  const int colons = static_cast<int>(std::count(text.begin(), text.end(), ':'));
  const int openings = static_cast<int>(std::count(text.begin(), text.end(), '('));
  // Every node but the root carries a branch length, and every "(" opens an
  // internal node; a root without its own length adds back one.
  const std::size_t last_close = text.rfind(')');
  const std::size_t last_colon = text.rfind(':');
  const bool root_without_length =
      last_close != std::string::npos && (last_colon == std::string::npos || last_close > last_colon);
  return colons - openings + (root_without_length ? 1 : 0);
}

}  // namespace quorvel::input
