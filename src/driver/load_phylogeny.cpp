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

// The species list whose variables the tree writers and the classification
// read; without one, a list of no variable.
const input::SpeciesListHeader& species_list(const DataHeaders& headers) {
  static const input::SpeciesListHeader none = [] {
    input::SpeciesListHeader list;
    list.variable_names = core::name_table(0, 0);
    list.variable_categories = core::ivector(0, 0);
    return list;
  }();
  return headers.species_list().counts_read ? headers.species_list() : none;
}

phylogeny::SpeciesVariables species_variables(const DataHeaders& headers, const DataSet& data) {
  const input::SpeciesListHeader& list = species_list(headers);
  const input::SpeciesTraits& traits = data.traits.list;
  return phylogeny::SpeciesVariables{data.n_species,       data.species_names,      list.n_variables,
                                     list.variable_names,  traits.categories_found, traits.values,
                                     traits.category_names};
}

void write_tree_files(const instructions::RunSettings& settings, const DataHeaders& headers,
                      const ResolvedOutputs& outputs, const DataSet& data, const std::string& tree_text) {
  const Phylogeny& tree = data.phylogeny;
  if (!settings.tree_interpretation_output.empty()) {
    phylogeny::write_tree_interpretation(outputs.file(settings.tree_interpretation_output), outputs.main_result_file,
                                         tree_text, tree.nodes, tree.n_tips, tree.n_nodes);
  }
  if (!settings.nexus_tree_output.empty()) {
    const bool has_traits = derive_codes(headers).trait_kind == kSpeciesTraits;
    const phylogeny::SpeciesVariables characters = species_variables(headers, data);
    phylogeny::write_nexus_tree(settings.nexus_tree_output, tree_text, tree.nodes, tree.n_tips, tree.n_nodes,
                                has_traits ? &characters : nullptr);
  }
}

// The divergences of every pair of species, from the tree's nodes.
void compute_divergences(DataSet& data) {
  Phylogeny& tree = data.phylogeny;
  const int n_species = data.n_species;
  tree.divergences = core::matrix(0, n_species, 0, n_species);
  // The cell tells compute_tree_divergences how to measure divergence.
  tree.divergences(0, 0) = divergence_origin_cell(tree.origin);
  tree.max_divergence =
      phylogeny::compute_tree_divergences(tree.nodes, n_species, tree.leaf_of_species, tree.divergences);
}

void load_newick_tree(const instructions::RunSettings& settings, const DataHeaders& headers,
                      const ResolvedOutputs& outputs, DataSet& data) {
  const DerivedCodes codes = derive_codes(headers);
  const std::string& tree_text = headers.tree.text;
  Phylogeny& tree = data.phylogeny;
  tree.origin =
      codes.phylogeny_kind == kUltrametricTree ? PhylogenyOrigin::kDatedTree : PhylogenyOrigin::kPathLengthTree;
  tree.n_tips = phylogeny::count_newick_tips(tree_text);
  tree.n_nodes =
      phylogeny::read_newick_tree(tree_text, is_dated(tree.origin), tree.n_tips, tree.nodes, settings.tree.file);
  write_tree_files(settings, headers, outputs, data, tree_text);
  if (codes.has_abundances || codes.trait_kind != kNoTraits) {
    phylogeny::map_species_to_tips(tree.nodes, tree.n_tips, data.n_species, data.species_names, tree.leaf_of_species,
                                   tree.species_of_leaf);
  } else {
    // A tree alone: its tips are the species of the run.
    phylogeny::species_from_tips(tree.nodes, tree.n_tips, data.species_names, tree.leaf_of_species,
                                 tree.species_of_leaf);
    data.n_species = tree.n_tips;
  }
  compute_divergences(data);
}

void load_taxonomy(const instructions::RunSettings& settings, const DataHeaders& headers,
                   const ResolvedOutputs& outputs, DataSet& data) {
  const input::TaxonomicLevels& levels = headers.taxonomic_levels;
  const input::SpeciesListHeader& list = species_list(headers);
  if (levels.level_names[0] != list.variable_names[0]) {
    core::console_print(core::format(
        "\n\nWARNING: first taxonomic level given (a priori species), called \"%s\", does not match the header of "
        "the first column of the species list, called \"%s\". Stop the program if necessary, otherwise press any "
        "key",
        levels.level_names[0].c_str(), list.variable_names[0].c_str()));
    core::wait_for_key();
  }
  Phylogeny& tree = data.phylogeny;
  tree.origin = PhylogenyOrigin::kClassification;
  const int n_levels = levels.n_levels;
  const phylogeny::SpeciesVariables variables = species_variables(headers, data);
  tree.n_nodes =
      phylogeny::build_taxonomic_tree(variables, n_levels, levels.level_names, levels.level_divergences,
                                      tree.leaf_of_species, tree.level_variable, tree.taxa_per_level, tree.nodes);
  tree.n_tips = data.n_species;
  phylogeny::fill_taxon_tables(tree.nodes, data.n_species, n_levels, tree.taxa_per_level, tree.leaf_of_species,
                               tree.first_member, tree.last_member);
  // Every species has a tip, named after it: the maps come from the names.
  phylogeny::map_species_to_tips(tree.nodes, tree.n_tips, data.n_species, data.species_names, tree.leaf_of_species,
                                 tree.species_of_leaf);
  write_tree_files(settings, headers, outputs, data, std::string());
  compute_divergences(data);
}

void load_divergence_file(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  Phylogeny& table = data.phylogeny;
  table.origin = PhylogenyOrigin::kDivergenceFile;
  table.divergences = input::read_species_divergences(settings.species_divergences.file, headers.n_divergence_species,
                                                      data.species_names);
  table.divergences(0, 0) = divergence_origin_cell(table.origin);
  // The largest divergence read closes the last divergence interval.
  table.max_divergence = 0;
  for (int i = 1; i <= data.n_species; ++i) {
    for (int j = 1; j <= data.n_species; ++j) {
      const float d = table.divergences(i, j);
      if (d != MISSING_VALUE_F && d > table.max_divergence) table.max_divergence = d;
    }
  }
}

}  // namespace

void load_phylogeny(const instructions::RunSettings& settings, const DataHeaders& headers,
                    const ResolvedOutputs& outputs, DataSet& data) {
  switch (derive_codes(headers).phylogeny_kind) {
    case kUltrametricTree:
    case kOtherTree:
      load_newick_tree(settings, headers, outputs, data);
      break;
    case kTaxonomy:
      load_taxonomy(settings, headers, outputs, data);
      break;
    case kDivergenceFile:
      load_divergence_file(settings, headers, data);
      break;
    default:
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
void reduce_individuals_to_clade(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data,
                                 const phylogeny::TreeNode& clade) {
  Individuals& individuals = data.individuals;
  input::IndividualList& list = individuals.list;
  const int n = individuals.species.hi();
  const int n_species = data.n_species;
  std::vector<int> kept;
  std::vector<char> species_left_out(static_cast<std::size_t>(n_species) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    const int s = individuals.species[i];
    const int tip = s > 0 && s <= n_species ? data.phylogeny.leaf_of_species[s] : 0;
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
    if (species_left_out[static_cast<std::size_t>(s)]) left_out_names.push_back(data.species_names[s]);
  }
  individuals.clade_reduction_note =
      core::format("\nIndividuals left out (of species outside clade %s or not in the tree): %i of %i, of the species",
                   settings.reduce_to_clade.c_str(), n - m, n) +
      input::listed_names(left_out_names);

  const int C = headers.individuals.n_columns;
  input::IndividualList reduced;
  reduced.values = core::matrix(0, C - 1, 0, m);
  reduced.x = core::dvector(0, m);
  reduced.y = core::dvector(0, m);
  reduced.group_names = core::name_table(0, list.n_groups);
  reduced.category_names = list.category_names;
  reduced.categories_found = list.categories_found;
  reduced.individuals_per_species = core::ivector(0, list.individuals_per_species.hi());
  reduced.species_names = list.species_names;
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
    species[k] = individuals.species[i];
    ++reduced.individuals_per_species[species[k]];
  }
  list = std::move(reduced);
  individuals.species = std::move(species);
  individuals.position_groups = group_individuals_by_position(m, list.x, list.y);
}

}  // namespace

void write_phylogeny_outputs(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  const Phylogeny& tree = data.phylogeny;
  if (!settings.phylogenetic_distances_output.empty() && tree.origin != PhylogenyOrigin::kNone) {
    phylogeny::write_species_divergence_list(settings.phylogenetic_distances_output, data.n_species, data.species_names,
                                             tree.divergences);
  }
  if (settings.reduce_to_clade.empty()) return;
  // A clade is a node of a tree or a taxon of a classification.
  if (tree.n_nodes <= 0) {
    core::stop_run(core::format("\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"%s\", but the run has no "
                                "phylogenetic tree or taxonomic classification whose nodes name clades.\nPress any key "
                                "to stop.",
                                settings.reduce_to_clade.c_str()),
                   core::kStoppedStatus);
  }
  const int clade = phylogeny::find_clade(settings.reduce_to_clade, tree.nodes, tree.n_tips, tree.n_nodes);
  // The reduction works on community data: species-plot data, or the
  // individual list (whose position groups may become the plots later).
  const int n_plots = headers.community.n_plots;
  if (n_plots != 0) {
    input::Community& community = data.community;
    phylogeny::reduce_data_to_clade(settings.reduce_to_clade, tree.nodes, tree.n_tips, tree.n_nodes, data.n_species,
                                    tree.leaf_of_species, n_plots, community.plot_names, community.data_type,
                                    community.abundances);
  }
  if (headers.individuals.n_individuals != 0) reduce_individuals_to_clade(settings, headers, data, tree.nodes[clade]);
}

}  // namespace quorvel::driver
