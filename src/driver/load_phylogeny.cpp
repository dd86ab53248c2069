#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "driver/load_data.hpp"
#include "input/divergence_matrix_file.hpp"
#include "input/field_reading.hpp"
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

namespace {

// The individual level's counterpart of the reduction of the plots'
// communities: individuals of species outside the clade, of species without
// a tip and without species leave the analysis, so that the community
// analysed is the clade's, as it is at the plot level. It is the analysis of
// an individual list holding the clade's individuals only, their positions,
// variables and spatial groups kept, the groups renumbered.
void reduce_individuals_to_clade(RunState& state, const phylogeny::TreeNode& clade) {
  RunSettings& settings = state.settings;
  input::IndividualList& list = state.individuals;
  const int n = settings.n_individuals;
  const int n_species = state.codes.n_species;
  std::vector<int> kept;
  std::vector<char> species_left_out(static_cast<std::size_t>(n_species) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    const int s = state.individual_species[i];
    const int tip = s > 0 && s <= n_species ? state.leaf_of_species[s] : 0;
    if (tip != 0 && tip >= clade.first_tip && tip <= clade.last_tip) {
      kept.push_back(i);
    } else {
      species_left_out[static_cast<std::size_t>(s)] = 1;
    }
  }
  const int m = static_cast<int>(kept.size());
  if (m == n) return;
  if (m == 0) {
    core::stop_run(core::format("\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"%s\", to which no individual "
                                "of the individual list belongs: nothing would be left to analyse.\nPress any key to "
                                "stop.",
                                settings.reduce_to_clade.c_str()),
                   core::kStoppedStatus);
  }
  std::vector<std::string> left_out_names;
  if (species_left_out[0]) left_out_names.push_back("(no species)");
  for (int s = 1; s <= n_species; ++s) {
    if (species_left_out[static_cast<std::size_t>(s)]) left_out_names.push_back(state.species_names[s]);
  }
  state.clade_reduction_note =
      core::format("\nIndividuals left out (of species outside clade %s or not in the tree): %i of %i, of the species",
                   settings.reduce_to_clade.c_str(), n - m, n) +
      input::listed_names(left_out_names);

  const int C = settings.n_individual_columns;
  input::IndividualList reduced;
  reduced.values = core::matrix(0, C - 1, 0, m);
  reduced.x = core::dvector(0, m);
  reduced.y = core::dvector(0, m);
  reduced.group_names = core::name_table(0, list.n_groups);
  reduced.category_names = list.category_names;
  reduced.categories_found = list.categories_found;
  reduced.individuals_per_species = core::ivector(0, list.individuals_per_species.hi());
  core::IVector species = core::ivector(0, m);
  std::vector<int> new_group(static_cast<std::size_t>(list.n_groups) + 1, 0);
  for (int k = 1; k <= m; ++k) {
    const int i = kept[static_cast<std::size_t>(k - 1)];
    for (int j = 0; j < C; ++j) reduced.values(j, k) = list.values(j, i);
    int& group = new_group[static_cast<std::size_t>(list.values(0, i))];
    if (group == 0) {
      group = ++reduced.n_groups;
      reduced.group_names[group] = list.group_names[static_cast<int>(list.values(0, i))];
    }
    reduced.values(0, k) = static_cast<float>(group);
    reduced.x[k] = list.x[i];
    reduced.y[k] = list.y[i];
    species[k] = state.individual_species[i];
    ++reduced.individuals_per_species[species[k]];
  }
  list = std::move(reduced);
  state.individual_species = std::move(species);
  settings.n_individuals = m;
  state.position_groups = group_individuals_by_position(m, list.x, list.y);
}

}  // namespace

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
  const int clade = phylogeny::find_clade(settings.reduce_to_clade, state.nodes, state.n_tips, state.n_tree_nodes);
  // The reduction works on community data: species-plot data, or the
  // individual list (whose position groups may become the plots later).
  if (settings.n_matrix_plots != 0) {
    phylogeny::reduce_data_to_clade(settings.reduce_to_clade, state.nodes, state.n_tips, state.n_tree_nodes,
                                    state.codes.n_species, state.leaf_of_species, settings.n_matrix_plots,
                                    state.plot_names, state.data_type, state.abundances);
  }
  if (settings.n_individuals != 0) reduce_individuals_to_clade(state, state.nodes[clade]);
}

}  // namespace quorvel::driver
