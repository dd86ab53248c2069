#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::input {

/// Pairwise values need distinct plot names: when two of names[1..P] agree
/// over 49 characters, prints `warning` and stops the run (status 3) with the
/// list of every name as its message, which goes to "error.txt" and the
/// console.
void check_distinct_plot_names(int n_plots, const core::NameTable& plot_names, const std::string& warning);

/// Reads the inter-plot distances file: optional keyword line, the number E
/// of entry lines, then E lines "plot<TAB>plot<TAB>distance" (comment lines
/// skipped and not counted; an "END" line may end them early after the
/// user's consent). Returns the distances [0..P][0..P] between the plots
/// `plot_names` [1..P], every cell first MISSING_VALUE, each distance stored
/// symmetrically. Entries naming a plot absent from the matrix are ignored;
/// a pair given two different distances stops the run (status 3); missing
/// pairs are reported and keep MISSING_VALUE.
core::DMatrix read_plot_distances(const std::string& file_name, const core::NameTable& plot_names);

}  // namespace quorvel::input
