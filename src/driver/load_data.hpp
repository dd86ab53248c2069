#pragma once

#include "driver/data_set.hpp"
#include "driver/run_inputs.hpp"
#include "individuals/position_groups.hpp"
#include "instructions/run_settings.hpp"

namespace quorvel::driver {

using individuals::group_individuals_by_position;

/// Reads the headers of every data file `settings` names (their counts,
/// columns and levels) in a fixed order (community data, plot list,
/// individuals, species lists, taxonomic levels, tree, divergences, trait
/// distances, divergence intervals, selection tests), then runs the checks
/// that need them: a taxonomy list that must carry the levels, an unreadable
/// number of categories, data named that give nothing to analyse. Nothing is
/// allocated from a count before it is checked against its file.
DataHeaders scan_data_files(const instructions::RunSettings& settings);

/// Loads every data set `settings` names, with the headers of the scans, in
/// the fixed order of a run: community data (and its conversion), plot list,
/// individuals, traits, phylogeny (with the tree files, the divergence list
/// and the reduction to a clade), intervals, inter-plot distances and
/// selection tests.
DataSet load_data_set(const instructions::RunSettings& settings, const DataHeaders& headers,
                      const ResolvedOutputs& outputs);

/// Loading steps of their own files: species traits and trait distances;
/// the phylogeny with its divergence matrix and tree files; the divergence
/// list and the reduction of the data to a clade.
void load_species_traits(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data);
void load_phylogeny(const instructions::RunSettings& settings, const DataHeaders& headers,
                    const ResolvedOutputs& outputs, DataSet& data);
/// The table of the tree's divergences between species (DataSet::
/// tree_divergences) when the run has traits or individuals, which read one.
void tabulate_tree_divergences(const DataHeaders& headers, DataSet& data);

void write_phylogeny_outputs(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data);

/// Chooses the analysis level once the data are described (asking, when
/// the individuals stand in a few groups and "ANALYSIS LEVEL" does not say).
/// At level 3 the position groups become the plots: they have positions,
/// and a selection of plot pairs by category reads the categories of the
/// pairs of groups.
void choose_analysis_level(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data,
                           DerivedCodes& codes);

}  // namespace quorvel::driver
