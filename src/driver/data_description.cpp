#include "driver/data_description.hpp"

#include <cstdio>
#include <cstdlib>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "driver/plot_section_data.hpp"

namespace quorvel::driver {

using core::format;

namespace {

const char* data_type_text(int data_type) {
  switch (data_type) {
    case 0:
      return "\nType of data: presence/absence (only 0 and 1 found)";
    case 1:
      return "\nType of data: relative abundances (non-integers found)";
    default:
      return "\nType of data: individual count (only integers found)";
  }
}

}  // namespace

std::string write_data_description(const RunState& state) {
  const RunSettings& settings = state.settings;
  const std::string& out = settings.main_result_file;
  std::string description;
  auto echo = [&out, &description](const std::string& text) {
    core::echo_to_file(out, text);
    description += text;
  };

  core::wait_for_output_file(out);
  core::console_print("\n\n\n\n\n");
  core::append_to_file(out, format("\nQuorvel %s - Spatial & Phylogenetic Analysis of Community Diversity \n"
                                   "             Program written by the Quorvel developers\n",
                                   kVersion));
  echo(format("\nInstruction file : \"%s\"", state.instruction_file.c_str()));
  echo(format("\nMain output file : \"%s\"", out.c_str()));
  echo("\n\n\nDescription of main data features and instructions :");

  if (settings.n_matrix_plots != 0 && settings.n_individuals == 0) {
    const std::string& source =
        settings.species_plot_matrix_source.empty() ? settings.triplet_file : settings.species_plot_matrix_source;
    echo(format("\n\nSPECIES PLOT DATA (from file: %s)", source.c_str()));
    echo(format("\n# plots: %i", settings.n_matrix_plots));
    echo(format("\n# species found : %i", settings.n_matrix_species));
    echo(data_type_text(state.data_type));
    if (settings.n_plot_categories != 0) {
      echo(format("\n# plot categories (from file: %s): %i", settings.plot_list_source.c_str(), state.n_categories));
    }
    if (!settings.pairwise_categories_source.empty()) {
      echo(format("\nCategories of plot pairs defined from file: %s", settings.pairwise_categories_source.c_str()));
    }
    // Plots that some statistics leave out, named before any analysis runs.
    if (const std::string left_out = plots_left_out_description(state); !left_out.empty()) echo(left_out);
  }

  if (settings.n_individuals != 0) {
    const input::IndividualList& list = state.individuals;
    const int columns = settings.n_individual_columns;
    echo("\n\nINDIVIDUAL LIST");
    echo(format("\n# individuals: %i", settings.n_individuals));
    echo(format("\n# spatial groups: %i", list.n_groups));
    echo(format("\n# species found : %i", state.codes.n_species));
    echo(format("\n# of variables : %i (=%i+%i)", columns, 4, columns - 4));
    std::string names = "\n  Var names (# categ obs / exp): ";
    for (int j = 0; j < columns; ++j) {
      // Observed: spatial groups, species found, or the labels of a categorical variable.
      const int observed = j == 0 ? list.n_groups : j == 3 ? state.codes.n_species : list.categories_found[j];
      names += format("%s(%i/%i)  ", settings.individual_column_names[j].c_str(), observed,
                      settings.individual_column_categories[j]);
    }
    echo(names);
    if (settings.analysis_level_keyword != 0) {
      echo(format("\n\nANALYSIS LEVEL : %s", settings.analysis_level_keyword == 1 ? "INDIVIDUALS" : "PLOTS"));
    }
  }

  if (state.n_distance_intervals != 0 && settings.n_matrix_plots != 0) {
    echo(format("\n\nINTER-PLOT DISTANCE INTERVALS : %i", state.n_distance_intervals));
    std::string limits = "\nMax dist=";
    for (int k = 1; k <= state.n_distance_intervals; ++k) limits += format("  %.1f", state.distance_limits[k]);
    echo(limits);
    if (!settings.inter_plot_distances_source.empty()) {
      echo(format("\n    Inter-plot distances given in file: %s", settings.inter_plot_distances_source.c_str()));
    } else {
      echo(format("\n    Inter-plot distances computed from plot coordinates given in file: %s",
                  settings.plot_list_source.c_str()));
    }
  }

  if (!settings.distance_unit.empty()) echo(format("\n\nDISTANCE UNIT : %s", settings.distance_unit.c_str()));

  if (settings.n_divergence_levels != 0) {
    std::string levels = "\n\nTAXONOMIC LEVELS (taxonomic distance between taxa from level):\n";
    for (int level = 0; level <= settings.n_divergence_levels; ++level) {
      levels += format("  %s (%g),", settings.phyletic_level_names[level].c_str(),
                       static_cast<double>(settings.level_divergences[level]));
    }
    echo(levels);
  }

  if (state.codes.phylogeny_kind == kTaxonomy) {
    echo(
        format("\n\nTAXONOMIC TREE : %i species, %i nodes, %i taxonomic levels\n(divergence between species is the "
               "divergence attributed to the lowest common taxonomic level)",
               state.codes.n_species, state.n_tree_nodes, settings.n_divergence_levels));
  } else if (settings.n_tree_species != 0) {
    if (settings.n_tree_species > 0) {
      echo(
          format("\n\nULTRAMETRIC PHYLOGENETIC TREE (file: %s): %i species, %i nodes\n(divergence between species "
                 "expressed as the age of most recent common ancestor, that is half the sum of the lengths of "
                 "branches linking the species)",
                 settings.tree_file.c_str(), settings.n_tree_species, state.n_tree_nodes));
    } else {
      echo(
          format("\n\nPHYLOGENETIC TREE (file: %s): %i species, %i nodes\n(divergence between species expressed as "
                 "the sum of the lengths of branches linking the species)",
                 settings.tree_file.c_str(), -settings.n_tree_species, state.n_tree_nodes));
    }
  }

  // Species of the plots the plots x phylogeny section leaves out.
  if (const std::string left_out = phylogeny_left_out_description(state); !left_out.empty()) echo(left_out);

  if (settings.n_trait_species != 0) {
    echo(format("\n\nSPECIES TRAITS (from file: %s)", settings.species_traits_file.c_str()));
    if (!settings.species_se_traits_file.empty()) {
      echo(format(" - standard errors given (in file: %s)", settings.species_se_traits_file.c_str()));
    }
    echo(format("\n# species : %i", settings.n_trait_species));
    echo(format("\n# of variables : %i", settings.n_trait_variables));
    std::string names = "\n  Trait names (# categ obs): ";
    for (int j = 0; j <= settings.n_trait_variables; ++j) {
      names += format("%s(%i)  ", settings.trait_variable_names[j].c_str(), settings.trait_variable_categories[j]);
    }
    echo(names);
  }

  if (settings.n_trait_distance_species != 0) {
    echo(format("\n\nINTER-SPECIES TRAIT DISTANCES (from file: %s)", settings.trait_distances_file.c_str()));
    echo(format("\n# species : %i", state.trait_distance_species));
    echo(format("\n# of variables : %i", std::abs(settings.trait_distance_layout)));
  }

  // Species of the plots the plots x traits section leaves out.
  if (const std::string left_out = traits_left_out_description(state); !left_out.empty()) echo(left_out);

  if (state.n_divergence_intervals > 2) {
    echo(format("\n\nDIVERGENCE INTERVALS : %i", state.n_divergence_intervals));
    std::string limits = "\nMax divergence=";
    for (int m = 1; m <= state.n_divergence_intervals; ++m) limits += format("  %.1f", state.divergence_limits[m]);
    echo(limits);
  }

  const int n_selection_tests = settings.selection_test_counts.empty() ? 0 : settings.selection_test_counts[0];
  if (n_selection_tests != 0 && !state.selection_test_texts.empty()) {
    echo(format("\n\nSELECTION TESTS for base population: %i tests", n_selection_tests));
    for (int t = 1; t <= std::abs(n_selection_tests); ++t) {
      const int k = settings.selection_test_counts[t];
      const core::NameTable& texts = state.selection_test_texts[t];
      echo(format("\nTest %i: %s\n    %i pairwise tests:", t, texts[0].c_str(), k));
      for (int j = 1; j <= std::abs(k) && j <= texts.hi(); ++j) echo(format("  %s", texts[j].c_str()));
      if (t % 10 == 0) {
        core::console_print("\n\nCheck the values and press RETURN to continue");
        std::string answer;
        core::console_read_line(answer);  // a pause: at end of input it returns at once
      }
    }
  }

  if (settings.n_phylogeny_tests != 0 && settings.n_phylogeny_randomizations != 0) {
    echo(format("\n\nPHYLOGENY TESTS : %i tests (%i permutations)", settings.n_phylogeny_tests,
                settings.n_phylogeny_randomizations));
  }
  if (!settings.reduce_to_clade.empty()) {
    echo(format("\n\nDATA REDUCED TO CLADE (for community structure analyses): %s", settings.reduce_to_clade.c_str()));
    if (!state.clade_reduction_note.empty()) echo(state.clade_reduction_note);
  }
  echo(format("\n\nRANDOM SEED : %i", -state.random_seed));
  return description;
}

}  // namespace quorvel::driver
