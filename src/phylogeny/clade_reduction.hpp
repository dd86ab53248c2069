#pragma once

#include <string>

#include "core/arrays.hpp"
#include "phylogeny/tree_node.hpp"

namespace quorvel::phylogeny {

/// Restricts the community data to one clade: the first internal node (in
/// table order, n_tips + 1..n_nodes) named exactly `clade_name` is found;
/// every species whose tip lies outside its tip range, or that has no tip,
/// gets abundance 0 in every row 0..n_plots of `abundances`; each row is
/// then renormalised (cell 0 = sum of cells 1..n_species, which are divided
/// by it). A row left with no species of the clade keeps a total of 0 and
/// relative abundances 0, with a console warning naming the plot (row 0: the
/// whole data set). Returns false, changing nothing, when no node has that
/// name.
bool reduce_data_to_clade(const std::string& clade_name, const NodeTable& nodes, int n_tips, int n_nodes, int n_species,
                          const core::IVector& leaf_of_species, int n_plots, const core::NameTable& plot_names,
                          core::DMatrix& abundances);

}  // namespace quorvel::phylogeny
