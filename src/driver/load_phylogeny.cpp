#include <memory>
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
#include "reports/phylogeny_outputs.hpp"

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
    reports::write_tree_interpretation(outputs.file(settings.tree_interpretation_output), outputs.main_result_file,
                                       phylogeny::tree_interpretation_text(tree_text, tree));
  }
  if (!settings.nexus_tree_output.empty()) {
    const bool has_traits = derive_codes(headers).trait_kind == kSpeciesTraits;
    const phylogeny::SpeciesVariables characters = species_variables(headers, data);
    reports::write_nexus_tree(settings.nexus_tree_output,
                              phylogeny::nexus_tree_text(tree_text, tree, has_traits ? &characters : nullptr));
  }
}

void load_newick_tree(const instructions::RunSettings& settings, const DataHeaders& headers,
                      const ResolvedOutputs& outputs, DataSet& data) {
  const DerivedCodes codes = derive_codes(headers);
  const std::string& tree_text = headers.tree.text;
  Phylogeny& tree = data.phylogeny;
  tree = phylogeny::read_newick_tree(tree_text, codes.phylogeny_kind == kUltrametricTree,
                                     phylogeny::count_newick_tips(tree_text), settings.tree.file);
  write_tree_files(settings, headers, outputs, data, tree_text);
  if (codes.has_abundances || codes.trait_kind != kNoTraits) {
    phylogeny::map_species_to_tips(tree, data.n_species, data.species_names);
  } else {
    // A tree alone: its tips are the species of the run.
    phylogeny::species_from_tips(tree, data.species_names);
    data.n_species = tree.n_tips;
  }
  tree.max_divergence = phylogeny::largest_divergence(tree, data.n_species);
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
  const phylogeny::SpeciesVariables variables = species_variables(headers, data);
  tree = phylogeny::build_taxonomic_tree(variables, levels.n_levels, levels.level_names, levels.level_divergences);
  // Every species has a tip, named after it: the maps come from the names.
  phylogeny::map_species_to_tips(tree, data.n_species, data.species_names);
  write_tree_files(settings, headers, outputs, data, std::string());
  tree.max_divergence = phylogeny::largest_divergence(tree, data.n_species);
}

void load_divergence_file(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data) {
  Phylogeny& table = data.phylogeny;
  table.origin = PhylogenyOrigin::kDivergenceFile;
  table.divergences = input::read_species_divergences(settings.species_divergences.file, headers.n_divergence_species,
                                                      data.species_names);
  // The largest divergence read closes the last divergence interval.
  table.max_divergence = 0;
  for (int i = 1; i <= data.n_species; ++i) {
    for (int j = 1; j <= data.n_species; ++j) {
      const float d = table.divergences(i, j);
      if (d != MISSING_VALUE_F && d > table.max_divergence) table.max_divergence = d;
    }
  }
}

// The list of divergences between species, row after row: from the tree, or
// from the table read.
void write_divergence_list(const std::string& file_name, const DataSet& data) {
  const Phylogeny& tree = data.phylogeny;
  const int n_species = data.n_species;
  std::vector<float> row(static_cast<std::size_t>(n_species) + 1);
  std::unique_ptr<phylogeny::DivergenceRows> rows;
  if (tree.has_tree()) rows = std::make_unique<phylogeny::DivergenceRows>(tree, tree.tip_of_species, n_species);
  reports::write_species_divergence_list(file_name, n_species, [&](int i) {
    if (rows) {
      rows->fill(i, row.data());
    } else {
      for (int j = 1; j <= n_species; ++j) row[static_cast<std::size_t>(j)] = tree.divergences(i, j);
    }
    return phylogeny::species_divergence_lines(i, n_species, data.species_names, row.data());
  });
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

void tabulate_tree_divergences(const DataHeaders& headers, DataSet& data) {
  const Phylogeny& tree = data.phylogeny;
  const bool wanted = derive_codes(headers).trait_kind != kNoTraits || data.individuals.n_individuals() != 0;
  if (!tree.has_tree() || !wanted) return;
  data.tree_divergences = core::matrix(0, data.n_species, 0, data.n_species);
  phylogeny::compute_tree_divergences(tree, tree.tip_of_species, data.n_species, data.tree_divergences);
}

namespace {

// The individual level's counterpart of the reduction of the plots'
// communities: individuals of species outside the clade, of species without
// a tip and without species leave the analysis, so that the community
// analysed is the clade's, as it is at the plot level. It is the analysis of
// an individual list holding the clade's individuals only, their positions,
// variables and spatial groups kept, the groups renumbered.
void reduce_individuals_to_clade(const instructions::RunSettings& settings, const DataHeaders& headers, DataSet& data,
                                 const phylogeny::CladeTips& clade) {
  Individuals& individuals = data.individuals;
  input::IndividualList& list = individuals.list;
  const int n = individuals.species.hi();
  const int n_species = data.n_species;
  std::vector<int> kept;
  std::vector<char> species_left_out(static_cast<std::size_t>(n_species) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    const int s = individuals.species[i];
    const int tip = s > 0 && s <= n_species ? data.phylogeny.tip_of(s) : 0;
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
    write_divergence_list(settings.phylogenetic_distances_output, data);
  }
  if (settings.reduce_to_clade.empty()) return;
  // A clade is a node of a tree or a taxon of a classification.
  if (!tree.has_tree()) {
    core::stop_run(core::format("\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"%s\", but the run has no "
                                "phylogenetic tree or taxonomic classification whose nodes name clades.\nPress any key "
                                "to stop.",
                                settings.reduce_to_clade.c_str()),
                   core::kStoppedStatus);
  }
  const phylogeny::CladeTips clade = phylogeny::find_clade(settings.reduce_to_clade, tree);
  // The reduction works on community data: species-plot data, or the
  // individual list (whose position groups may become the plots later).
  const int n_plots = headers.community.n_plots;
  if (n_plots != 0) {
    input::Community& community = data.community;
    phylogeny::reduce_data_to_clade(settings.reduce_to_clade, tree, data.n_species, n_plots, community.plot_names,
                                    community.data_type, community.abundances);
  }
  if (headers.individuals.n_individuals != 0) reduce_individuals_to_clade(settings, headers, data, clade);
}

}  // namespace quorvel::driver
