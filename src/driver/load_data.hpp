#pragma once

#include "driver/run_state.hpp"

namespace quorvel::driver {

/// Loads every data set the instruction file names, in the fixed order of a
/// run (community data, individuals, traits, phylogeny, intervals, inter-plot
/// distances, selection tests), filling the tables of `state`.
void load_run_data(RunState& state);

/// Loading steps of their own files: species traits and trait distances;
/// the phylogeny with its divergence matrix, the divergence list and the
/// reduction of the data to a clade.
void load_species_traits(RunState& state);
void load_phylogeny(RunState& state);
void write_phylogeny_outputs(RunState& state);

/// Chooses the analysis level once the data are loaded.
void choose_analysis_level(RunState& state);

}  // namespace quorvel::driver
