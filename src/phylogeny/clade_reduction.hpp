#pragma once

#include <string>
#include <vector>

#include "core/arrays.hpp"
#include "phylogeny/phylogeny.hpp"

namespace quorvel::phylogeny {

/// Keeps only the species s = 1..n_species with keep[s] != 0 in an abundance
/// table [0..n_plots][0..n_species] (cell 0 of a row its total, cells 1..s
/// relative abundances): the others get 0 in every row, the cells of each row
/// are divided by the share r of the species kept and the total of the row is
/// multiplied by r, so that it still counts what the data type counts for the
/// species kept: individuals (data type 2) or species (type 0), rounded to a
/// whole number, or summed abundance (type 1). A row with none of the species
/// kept gets a total of 0 and cells 0. `keep` is indexed 0..n_species.
void retain_species(const std::vector<char>& keep, int n_plots, int n_species, int data_type,
                    core::DMatrix& abundances);

/// The tips first_tip..last_tip of a clade.
struct CladeTips {
  int first_tip = 0;
  int last_tip = 0;
};

/// The tips of the first internal node of the table as read (in table order,
/// dissolved nodes included) named `clade_name` (compared over its first 49
/// characters). When no node has that name, stops the run (status 3) listing
/// the names of the clades.
CladeTips find_clade(const std::string& clade_name, const Phylogeny& tree);

/// Restricts the community data to one clade, the tips find_clade gives
/// (an unknown name stops the run): every species whose tip lies outside
/// that range, or that has no tip, leaves every row 0..n_plots of
/// `abundances` (retain_species: each plot keeps as its total its count of
/// the individuals of the clade). A row left with no species of the clade
/// has a total of 0 and relative abundances 0, with a console warning naming
/// the plot (row 0: the whole data set).
void reduce_data_to_clade(const std::string& clade_name, const Phylogeny& tree, int n_species, int n_plots,
                          const core::NameTable& plot_names, int data_type, core::DMatrix& abundances);

}  // namespace quorvel::phylogeny
