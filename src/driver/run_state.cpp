#include "driver/run_state.hpp"

#include <cstdlib>
#include <utility>

#include "instructions/keyword_table.hpp"

namespace quorvel::driver {

DerivedCodes derive_codes(const DataHeaders& headers) {
  DerivedCodes codes;
  const int tree_tips = headers.signed_tree_tips();
  if (headers.taxonomy.counts_read && headers.taxonomic_levels.n_levels != 0) {
    codes.phylogeny_kind = kTaxonomy;
  } else if (tree_tips > 0) {
    codes.phylogeny_kind = kUltrametricTree;
  } else if (tree_tips < 0) {
    codes.phylogeny_kind = kOtherTree;
  } else if (headers.n_divergence_species != 0) {
    codes.phylogeny_kind = kDivergenceFile;
  }
  const int n_trait_species = headers.species_traits.counts_read ? headers.species_traits.n_species : 0;
  if (n_trait_species != 0) {
    codes.trait_kind = kSpeciesTraits;
  } else if (headers.trait_distances.layout != 0) {
    codes.trait_kind = kTraitDistances;
  }
  codes.has_abundances = headers.n_community_species() != 0;
  // The species of the run come from the first source that defines them.
  const int n_taxonomy_species = headers.taxonomy.counts_read ? headers.taxonomy.n_species : 0;
  for (const int count : {headers.n_community_species(), n_trait_species, headers.trait_distances.n_rows,
                          std::abs(tree_tips), n_taxonomy_species, headers.n_divergence_species}) {
    if (count != 0) {
      codes.n_species = count;
      break;
    }
  }
  return codes;
}

DerivedCodes loaded_codes(const DataHeaders& headers, const DataSet& data) {
  DerivedCodes codes = derive_codes(headers);
  codes.n_species = data.n_species;
  // Pairwise values with plot positions: coordinates or a distance matrix.
  if (headers.community.n_plots != 0 && (headers.plot_list.n_coordinates != 0 || data.positions.distances_read)) {
    codes.spatial_kind = 2;
  }
  if (codes.phylogeny_kind == kNoPhylogeny) codes.n_reported_indices = 1;
  return codes;
}

std::string ResolvedOutputs::file(const std::string& name) const {
  return instructions::output_file(name, main_result_file);
}

SectionSettings section_settings(const instructions::RunSettings& settings, const ResolvedOutputs& outputs,
                                 const DataHeaders& headers, int n_plots, int n_individuals) {
  SectionSettings view;
  static_cast<instructions::RunSettings&>(view) = settings;
  view.main_result_file = outputs.main_result_file;
  for (const instructions::KeywordRecord& record : instructions::keyword_table()) {
    if (record.role == instructions::KeywordRole::kTableOutput) view.*record.name = outputs.file(settings.*record.name);
  }

  const input::SpeciesListHeader& list = headers.species_list();
  const bool traits_read = headers.species_traits.counts_read;
  const bool taxonomy_read = headers.taxonomy.counts_read;
  const bool individuals_read = headers.individuals.counts_read;
  view.species_plot_matrix_source = settings.species_plot_matrix.file;
  view.triplet_file = settings.triplets.file;
  view.tree_file = settings.tree.file;
  view.species_traits_file = traits_read ? settings.species_traits.file : "";
  view.species_se_traits_file = settings.species_se_traits.file;
  view.trait_distances_file = settings.trait_distances.file;
  view.plot_list_source = settings.plot_list.file;
  view.inter_plot_distances_source = settings.plot_distances.file;
  view.pairwise_categories_source = settings.pairwise_categories.file;

  view.n_matrix_species = headers.n_community_species();
  view.n_matrix_plots = n_plots;
  view.n_trait_species = traits_read ? headers.species_traits.n_species : 0;
  view.n_trait_variables = list.counts_read ? list.n_variables : 0;
  view.n_tree_species = headers.signed_tree_tips();
  view.n_individuals = n_individuals;
  view.n_individual_columns = individuals_read ? headers.individuals.n_columns : 0;
  view.n_plot_categories = headers.plot_list.n_categories;
  view.n_trait_distance_species = headers.trait_distances.n_rows;
  view.trait_distance_layout = std::abs(headers.trait_distances.layout);
  view.n_divergence_levels = headers.taxonomic_levels.n_levels;

  view.trait_variable_names = list.counts_read ? list.variable_names : core::name_table(0, 0);
  view.trait_variable_categories = list.counts_read ? list.variable_categories : core::ivector(0, 0);
  view.individual_column_names = individuals_read ? headers.individuals.column_names : core::name_table(0, 0);
  view.individual_column_categories = individuals_read ? headers.individuals.column_categories : core::ivector(0, 0);
  const input::TaxonomicLevels& levels = headers.taxonomic_levels;
  if (levels.level_names.hi() > 0) {
    view.phyletic_level_names = levels.level_names;
    view.level_divergences = levels.level_divergences;
  } else {
    // Without levels the species level is named by the species list.
    view.phyletic_level_names = core::name_table(0, 0);
    if (traits_read) {
      view.phyletic_level_names[0] = headers.species_traits.variable_names[0];
    } else if (taxonomy_read) {
      view.phyletic_level_names[0] = headers.taxonomy.level_names[0];
    }
    view.level_divergences = core::vector(0, 0);
  }
  view.selection_test_counts =
      headers.selection_test_counts.empty() ? core::ivector(0, 0) : headers.selection_test_counts;
  return view;
}

void use_data_set(RunState& state, DataSet data) {
  state.species_names = std::move(data.species_names);

  input::Community& community = data.community;
  state.plot_names = std::move(community.plot_names);
  state.abundances = std::move(community.abundances);
  state.data_type = community.data_type;

  input::PlotList& plots = data.positions.list;
  state.plot_x = std::move(plots.x);
  state.plot_y = std::move(plots.y);
  state.plot_category = std::move(plots.plot_category);
  state.category_names = std::move(plots.category_names);
  state.n_categories = plots.n_categories;
  state.plot_list_titles = std::move(plots.column_titles);
  state.plot_distances = std::move(data.positions.plot_distances);

  Individuals& individuals = data.individuals;
  state.individuals = std::move(individuals.list);
  state.individual_species = std::move(individuals.species);
  state.position_groups = std::move(individuals.position_groups);
  state.clade_reduction_note = std::move(individuals.clade_reduction_note);
  state.selection_test_texts = std::move(individuals.selection_test_texts);

  Traits& traits = data.traits;
  state.traits = std::move(traits.list.values);
  state.trait_se = std::move(traits.se);
  state.trait_category_names = std::move(traits.list.category_names);
  state.trait_categories_found = std::move(traits.list.categories_found);
  state.trait_distances = std::move(traits.distances.matrices);
  state.trait_distance_names = std::move(traits.distances.variable_names);
  state.trait_distance_species = traits.distances.n_named;

  Phylogeny& phylogeny = data.phylogeny;
  state.nodes = std::move(phylogeny.nodes);
  state.n_tips = phylogeny.n_tips;
  state.n_tree_nodes = phylogeny.n_nodes;
  state.leaf_of_species = std::move(phylogeny.leaf_of_species);
  state.species_of_leaf = std::move(phylogeny.species_of_leaf);
  state.divergences = std::move(phylogeny.divergences);
  state.max_divergence = phylogeny.max_divergence;
  state.level_variable = std::move(phylogeny.level_variable);
  state.taxa_per_level = std::move(phylogeny.taxa_per_level);
  state.first_member = std::move(phylogeny.first_member);
  state.last_member = std::move(phylogeny.last_member);

  IntervalSet& intervals = data.intervals;
  state.n_distance_intervals = intervals.distance.n;
  state.distance_limits = std::move(intervals.distance.limits);
  state.n_divergence_intervals = intervals.divergence.n;
  state.divergence_limits = std::move(intervals.divergence.limits);
  state.n_regression_intervals = intervals.regression.n;
  state.regression_limits = std::move(intervals.regression.limits);
}

}  // namespace quorvel::driver
