#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::input {

/// Reads a plot-abundance-species triplet table (lines "plot<TAB>value<TAB>
/// species", up to the end of the file or the first line that is not a
/// triplet). Plots and species take their indices in order of first
/// appearance. Allocates and fills species_names [0..S], plot_names [0..P]
/// and abundances [0..P][0..S] exactly as the species-plot matrix reader
/// does, and sets the data type code. A plot-species pair given twice gets
/// the sum of its values, with one console warning per pair. More distinct
/// plots or species than counted beforehand stop the run (status 0).
void read_triplets(const std::string& file_name, int n_plots, int n_species, core::NameTable& species_names,
                   core::NameTable& plot_names, core::DMatrix& abundances, int& data_type);

}  // namespace quorvel::input
