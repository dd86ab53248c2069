#include <cstdlib>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "driver/load_data.hpp"
#include "input/divergence_matrix_file.hpp"
#include "phylogeny/clade_reduction.hpp"
#include "phylogeny/newick_reader.hpp"
#include "phylogeny/species_distances_output.hpp"
#include "phylogeny/species_variables.hpp"
#include "phylogeny/taxonomic_tree.hpp"
#include "phylogeny/tree_divergences.hpp"
#include "phylogeny/tree_writers.hpp"

namespace quorvel::driver {

namespace {

// The Newick text ends at its line break; the interpretation shows it as read.
std::string tree_text_without_line_end(const std::string& text) {
  std::string tree = text;
  while (!tree.empty() && (tree.back() == '\n' || tree.back() == '\r')) tree.pop_back();
  return tree;
}

phylogeny::SpeciesVariables species_variables(const RunState& state) {
  const RunSettings& settings = state.settings;
  return phylogeny::SpeciesVariables{
      state.codes.n_species,        state.species_names, settings.n_trait_variables, settings.trait_variable_names,
      state.trait_categories_found, state.traits,        state.trait_category_names};
}

void write_tree_files(RunState& state, const std::string& tree_text) {
  const RunSettings& settings = state.settings;
  if (!settings.tree_interpretation_output.empty()) {
    phylogeny::write_tree_interpretation(settings.tree_interpretation_output, settings.main_result_file, tree_text,
                                         state.nodes, state.n_tips, state.n_tree_nodes);
  }
  if (!settings.nexus_tree_output.empty()) {
    const bool has_traits = state.codes.trait_kind == kSpeciesTraits;
    const phylogeny::SpeciesVariables characters = species_variables(state);
    phylogeny::write_nexus_tree(settings.nexus_tree_output, tree_text, state.nodes, state.n_tips, state.n_tree_nodes,
                                has_traits ? &characters : nullptr);
  }
}

void load_newick_tree(RunState& state) {
  const RunSettings& settings = state.settings;
  const std::string tree_text = tree_text_without_line_end(settings.tree_text);
  state.n_tips = phylogeny::count_newick_tips(tree_text);
  state.n_tree_nodes = phylogeny::read_newick_tree(tree_text, settings.n_tree_species > 0, state.n_tips, state.nodes,
                                                   settings.tree_file);
  write_tree_files(state, tree_text);
  if (state.codes.has_abundances || state.codes.trait_kind != kNoTraits) {
    phylogeny::map_species_to_tips(state.nodes, state.n_tips, state.codes.n_species, state.species_names,
                                   state.leaf_of_species, state.species_of_leaf);
  } else {
    // A tree alone: its tips are the species of the run.
    phylogeny::species_from_tips(state.nodes, state.n_tips, state.species_names, state.leaf_of_species,
                                 state.species_of_leaf);
    state.codes.n_species = state.n_tips;
  }
  const int n_species = state.codes.n_species;
  state.divergences = core::matrix(0, n_species, 0, n_species);
  state.divergences(0, 0) = settings.n_tree_species > 0 ? 1.0f : -1.0f;
  state.max_divergence =
      phylogeny::compute_tree_divergences(state.nodes, n_species, state.leaf_of_species, state.divergences);
}

void load_taxonomy(RunState& state) {
  RunSettings& settings = state.settings;
  if (settings.phyletic_level_names[0] != settings.trait_variable_names[0]) {
    core::console_print(core::format(
        "\n\nWARNING: first taxonomic level given (a priori species), called \"%s\", does not match the header of "
        "the first column of the species list, called \"%s\". Stop the program if necessary, otherwise press any "
        "key",
        settings.phyletic_level_names[0].c_str(), settings.trait_variable_names[0].c_str()));
    core::wait_for_key();
  }
  const int n_levels = settings.n_divergence_levels;
  settings.phyletic_level_names[n_levels + 1] = "ALL";
  const phylogeny::SpeciesVariables variables = species_variables(state);
  state.n_tree_nodes =
      phylogeny::build_taxonomic_tree(variables, n_levels, settings.phyletic_level_names, settings.level_divergences,
                                      state.leaf_of_species, state.level_variable, state.taxa_per_level, state.nodes);
  state.n_tips = state.codes.n_species;
  phylogeny::fill_taxon_tables(state.nodes, state.codes.n_species, n_levels, state.taxa_per_level,
                               state.leaf_of_species, state.first_member, state.last_member);
  // Every species has a tip, named after it: the maps come from the names.
  phylogeny::map_species_to_tips(state.nodes, state.n_tips, state.codes.n_species, state.species_names,
                                 state.leaf_of_species, state.species_of_leaf);
  write_tree_files(state, std::string());
  const int n_species = state.codes.n_species;
  state.divergences = core::matrix(0, n_species, 0, n_species);
  state.divergences(0, 0) = 1.0f;  // a classification is ultrametric
  state.max_divergence =
      phylogeny::compute_tree_divergences(state.nodes, n_species, state.leaf_of_species, state.divergences);
}

void load_divergence_file(RunState& state) {
  const RunSettings& settings = state.settings;
  const int n_species = state.codes.n_species;
  state.divergences = core::matrix(0, n_species, 0, n_species);
  state.divergences(0, 0) = -2.0f;
  input::read_species_divergences(settings.inter_species_divergences_source, n_species, state.species_names,
                                  settings.n_divergence_species, state.divergences);
  // The largest divergence read closes the last divergence interval.
  state.max_divergence = 0;
  for (int i = 1; i <= n_species; ++i) {
    for (int j = 1; j <= n_species; ++j) {
      const float d = state.divergences(i, j);
      if (d != MISSING_VALUE_F && d > state.max_divergence) state.max_divergence = d;
    }
  }
}

}  // namespace

void load_phylogeny(RunState& state) {
  switch (state.codes.phylogeny_kind) {
    case kUltrametricTree:
    case kOtherTree:
      load_newick_tree(state);
      break;
    case kTaxonomy:
      load_taxonomy(state);
      break;
    case kDivergenceFile:
      load_divergence_file(state);
      break;
    default:
      state.codes.n_reported_indices = 1;
      break;
  }
}

void write_phylogeny_outputs(RunState& state) {
  const RunSettings& settings = state.settings;
  if (!settings.phylogenetic_distances_output.empty() && state.codes.phylogeny_kind != kNoPhylogeny) {
    phylogeny::write_species_divergence_list(settings.phylogenetic_distances_output, state.codes.n_species,
                                             state.species_names, state.divergences);
  }
  if (settings.reduce_to_clade.empty()) return;
  // A clade is a node of a tree or a taxon of a classification.
  if (state.n_tree_nodes <= 0) {
    core::stop_run(core::format("\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"%s\", but the run has no "
                                "phylogenetic tree or taxonomic classification whose nodes name clades.\nPress any key "
                                "to stop.",
                                settings.reduce_to_clade.c_str()),
                   core::kStoppedStatus);
  }
  phylogeny::find_clade(settings.reduce_to_clade, state.nodes, state.n_tips, state.n_tree_nodes);
  // The reduction works on species-plot data; without plots there is nothing to reduce.
  if (settings.n_matrix_plots != 0) {
    phylogeny::reduce_data_to_clade(settings.reduce_to_clade, state.nodes, state.n_tips, state.n_tree_nodes,
                                    state.codes.n_species, state.leaf_of_species, settings.n_matrix_plots,
                                    state.plot_names, state.data_type, state.abundances);
  }
}

}  // namespace quorvel::driver
