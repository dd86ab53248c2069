#include "driver/data_description.hpp"

#include <cstdlib>

#include "core/console.hpp"
#include "partition/species_distances.hpp"
#include "reports/data_description.hpp"
#include "traits/trait_distances.hpp"

namespace quorvel::driver {

namespace {

// The species of the plots that the plots x phylogeny section (no
// divergence) and the plots x traits section (no trait distance, or with
// species traits no value of a quantitative trait) leave out.
void describe_species_left_out(const RunInputs& run, reports::DataDescription& d) {
  const DataSet& data = run.data;
  const int n_species = run.codes.n_species;
  const core::DMatrix& A = data.community.abundances;
  const int n_plots = d.n_plots;
  const partition::SpeciesDistances divergences = partition::phylogeny_distances(data.phylogeny, nullptr);
  if (run.codes.phylogeny_kind != kNoPhylogeny && divergences.given() &&
      (divergences.matrix == nullptr || divergences.matrix->row_hi() >= n_species)) {
    d.species_without_divergences = partition::species_without_distances(divergences, A, n_plots, n_species);
  }
  const Traits& traits = data.traits;
  if (run.codes.trait_kind == kTraitDistances && traits.distances.matrices.hi() >= 1 &&
      traits.distances.matrices[1].row_hi() >= n_species) {
    d.species_without_traits = partition::species_without_distances(
        partition::table_distances(&traits.distances.matrices[1]), A, n_plots, n_species);
  } else if (run.codes.trait_kind == kSpeciesTraits && n_species >= 2) {
    d.species_without_traits = traits::species_without_trait_values(
        traits.list.values, traits.variables.variable_categories, traits.variables.n_variables, A, n_plots, n_species);
  }
}

}  // namespace

std::string write_data_description(const RunInputs& run, const DataHeaders& headers,
                                   const std::string& instruction_file, int random_seed) {
  const instructions::RunSettings& settings = run.settings;
  const DataSet& data = run.data;
  reports::DataDescription d;
  d.instruction_file = instruction_file;
  d.main_result_file = run.outputs.main_result_file;

  const input::Community& community = data.community;
  d.community_file =
      settings.species_plot_matrix.file.empty() ? settings.triplets.file : settings.species_plot_matrix.file;
  d.n_plots = headers.community.n_plots;
  d.n_community_species = headers.n_community_species();
  d.data_type = community.data_type;
  d.plot_categories = headers.plot_list.n_categories != 0;
  d.n_categories = data.positions.list.n_categories;
  d.plot_list_file = settings.plot_list.file;
  d.pairwise_categories_file = settings.pairwise_categories.file;
  d.plot_names = &community.plot_names;
  d.with_phylogeny = run.codes.phylogeny_kind != kNoPhylogeny;
  d.with_traits = run.codes.trait_kind != kNoTraits;

  const Individuals& individuals = data.individuals;
  d.n_individuals = individuals.n_individuals();
  if (d.n_plots != 0 && d.n_individuals == 0) {
    d.plots_left_out = partition::plots_left_out(community.abundances, d.n_plots, run.codes.n_species, d.data_type);
    describe_species_left_out(run, d);
  }
  d.n_groups = individuals.list.n_groups;
  d.n_individual_species = run.codes.n_species;
  for (int j = 0; j < individuals.n_columns && d.n_individuals != 0; ++j) {
    // Observed: spatial groups, species found, or the labels of a categorical variable.
    d.column_names.push_back(individuals.column_names[j]);
    d.column_categories_found.push_back(j == 0   ? individuals.list.n_groups
                                        : j == 3 ? run.codes.n_species
                                                 : individuals.list.categories_found[j]);
    d.column_categories.push_back(individuals.column_categories[j]);
  }
  d.analysis_level_keyword = settings.analysis_level_keyword;

  d.n_distance_intervals = data.intervals.distance.n;
  d.distance_limits = &data.intervals.distance.limits;
  d.plot_distances_file = settings.plot_distances.file;
  d.distance_unit = settings.distance_unit;

  d.n_levels = headers.taxonomic_levels.n_levels;
  d.level_names = &data.levels.level_names;
  d.level_divergences = &data.levels.level_divergences;
  d.classification = run.codes.phylogeny_kind == kTaxonomy;
  d.n_tree_tips = headers.signed_tree_tips();
  d.tree_file = settings.tree.file;
  d.n_species = run.codes.n_species;
  d.n_tree_nodes = data.phylogeny.last_number;
  d.species_names = &data.species_names;

  const Traits& traits = data.traits;
  if (traits.species_traits) {
    d.traits_file = settings.species_traits.file;
    d.se_file = settings.species_se_traits.file;
    d.n_trait_species = headers.species_traits.n_species;
    for (int j = 0; j <= traits.variables.n_variables; ++j) {
      d.trait_names.push_back(traits.variables.variable_names[j]);
      d.trait_categories.push_back(traits.variables.variable_categories[j]);
    }
  }
  d.trait_distances_file = settings.trait_distances.file;
  d.n_distance_species = headers.trait_distances.n_rows;
  d.n_distance_named = traits.distances.n_named;
  d.n_distance_variables = std::abs(headers.trait_distances.layout);

  d.n_divergence_intervals = data.intervals.divergence.n;
  d.divergence_limits = &data.intervals.divergence.limits;
  d.selection_test_counts = &individuals.selection_test_counts;
  d.selection_test_texts = &individuals.selection_test_texts;
  d.n_phylogeny_tests = settings.n_phylogeny_tests;
  d.n_phylogeny_randomizations = settings.n_phylogeny_randomizations;
  d.clade = settings.reduce_to_clade;
  d.clade_reduction_note = individuals.clade_reduction_note;
  d.random_seed = random_seed;

  return reports::write_data_description(d, [] {
    core::console_print("\n\nCheck the values and press RETURN to continue");
    std::string answer;
    core::console_read_line(answer);  // a pause: at end of input it returns at once
  });
}

}  // namespace quorvel::driver
