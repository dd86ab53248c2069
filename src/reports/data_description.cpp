#include "reports/data_description.hpp"

#include <cstdlib>

#include "core/format.hpp"
#include "partition/plot_section.hpp"
#include "reports/left_out_text.hpp"
#include "reports/statistics.hpp"

namespace quorvel::reports {

using core::format;

namespace {

// Shown on the console ahead of the description.
const std::string kDescriptionLead = "\n\n\n\n\n";

const char* data_type_text(int data_type) {
  switch (data_type) {
    case kPresenceAbsenceData:
      return "\nType of data: presence/absence (only 0 and 1 found)";
    case kRelativeAbundanceData:
      return "\nType of data: relative abundances (non-integers found)";
    default:
      return "\nType of data: individual count (only integers found)";
  }
}

// The plots that plot-level statistics leave out, each line with the
// statistics the run reports: I alone without divergences, the trait
// statistics when traits are given, PI (and TAU) alone for presence/absence
// data, which have no plot of one individual.
std::string plots_left_out_text(const DataDescription& d) {
  const bool presence = d.data_type == kPresenceAbsenceData;
  auto st = [](int code, int analysis_kind) { return statistic_description(code, analysis_kind).st; };
  using partition::kPhylogenyAnalysis;
  using partition::kStatisticI;
  using partition::kStatisticP;
  using partition::kStatisticPI;
  using partition::kStatisticPStar;
  using partition::kTraitAnalysis;
  std::vector<std::string> of_individuals = {st(kStatisticI, kPhylogenyAnalysis)}, of_species;
  if (d.with_phylogeny) of_individuals.push_back(st(kStatisticP, kPhylogenyAnalysis));
  if (d.with_traits) of_individuals.push_back(st(kStatisticP, kTraitAnalysis));
  if (d.with_phylogeny && !presence) of_species.push_back(st(kStatisticPStar, kPhylogenyAnalysis));
  if (d.with_phylogeny) of_species.push_back(st(kStatisticPI, kPhylogenyAnalysis));
  if (d.with_traits && !presence) of_species.push_back(st(kStatisticPStar, kTraitAnalysis));
  if (d.with_traits) of_species.push_back(st(kStatisticPI, kTraitAnalysis));
  const partition::PlotsLeftOut& plots = d.plots_left_out;
  std::string out = left_out_line("every statistic", "no individual", plots.empty, *d.plot_names);
  out += left_out_line(joined_names(of_individuals), "one individual", plots.one_individual, *d.plot_names);
  if (!of_species.empty()) {
    out += left_out_line(joined_names(of_species), "fewer than two species", plots.one_species, *d.plot_names);
  }
  return out;
}

// "\n<text with the count>: <names>" for species left out; "" when none.
std::string species_left_out_line(const char* text, const std::vector<int>& species, const core::NameTable* names) {
  if (species.empty()) return "";
  return format(text, static_cast<int>(species.size())) + plot_name_list(species, *names);
}

std::string limits_line(const char* label, int n, const core::DVector& limits) {
  std::string line = label;
  for (int k = 1; k <= n; ++k) line += format("  %.1f", limits[k]);
  return line;
}

}  // namespace

std::vector<EchoedText> data_description_text(const DataDescription& d) {
  std::vector<EchoedText> parts(1);
  EchoedText* out = &parts.back();
  out->console += kDescriptionLead;
  out->append(
      format("\nQuorvel %s - Spatial & Phylogenetic Analysis of Community Diversity \n"
             "             Program written by the Quorvel developers\n",
             kVersion));
  out->echo(format("\nInstruction file : \"%s\"", d.instruction_file.c_str()));
  out->echo(format("\nMain output file : \"%s\"", d.main_result_file.c_str()));
  out->echo("\n\n\nDescription of main data features and instructions :");

  if (d.n_plots != 0 && d.n_individuals == 0) {
    out->echo(format("\n\nSPECIES PLOT DATA (from file: %s)", d.community_file.c_str()));
    out->echo(format("\n# plots: %i", d.n_plots));
    out->echo(format("\n# species found : %i", d.n_community_species));
    out->echo(data_type_text(d.data_type));
    if (d.plot_categories) {
      out->echo(format("\n# plot categories (from file: %s): %i", d.plot_list_file.c_str(), d.n_categories));
    }
    if (!d.pairwise_categories_file.empty()) {
      out->echo(format("\nCategories of plot pairs defined from file: %s", d.pairwise_categories_file.c_str()));
    }
    // Plots that some statistics leave out, named before any analysis runs.
    out->echo(plots_left_out_text(d));
  }

  if (d.n_individuals != 0) {
    const int columns = static_cast<int>(d.column_names.size());
    out->echo("\n\nINDIVIDUAL LIST");
    out->echo(format("\n# individuals: %i", d.n_individuals));
    out->echo(format("\n# spatial groups: %i", d.n_groups));
    out->echo(format("\n# species found : %i", d.n_individual_species));
    out->echo(format("\n# of variables : %i (=%i+%i)", columns, 4, columns - 4));
    std::string names = "\n  Var names (# categ obs / exp): ";
    for (int j = 0; j < columns; ++j) {
      names += format("%s(%i/%i)  ", d.column_names[j].c_str(), d.column_categories_found[j], d.column_categories[j]);
    }
    out->echo(names);
    if (d.analysis_level_keyword != 0) {
      out->echo(format("\n\nANALYSIS LEVEL : %s", d.analysis_level_keyword == 1 ? "INDIVIDUALS" : "PLOTS"));
    }
  }

  if (d.n_distance_intervals != 0 && d.n_plots != 0) {
    out->echo(format("\n\nINTER-PLOT DISTANCE INTERVALS : %i", d.n_distance_intervals));
    out->echo(limits_line("\nMax dist=", d.n_distance_intervals, *d.distance_limits));
    if (!d.plot_distances_file.empty()) {
      out->echo(format("\n    Inter-plot distances given in file: %s", d.plot_distances_file.c_str()));
    } else {
      out->echo(format("\n    Inter-plot distances computed from plot coordinates given in file: %s",
                       d.plot_list_file.c_str()));
    }
  }

  if (!d.distance_unit.empty()) out->echo(format("\n\nDISTANCE UNIT : %s", d.distance_unit.c_str()));

  if (d.n_levels != 0) {
    std::string levels = "\n\nTAXONOMIC LEVELS (taxonomic distance between taxa from level):\n";
    for (int level = 0; level <= d.n_levels; ++level) {
      levels +=
          format("  %s (%g),", (*d.level_names)[level].c_str(), static_cast<double>((*d.level_divergences)[level]));
    }
    out->echo(levels);
  }

  if (d.classification) {
    out->echo(
        format("\n\nTAXONOMIC TREE : %i species, %i nodes, %i taxonomic levels\n(divergence between species is the "
               "divergence attributed to the lowest common taxonomic level)",
               d.n_species, d.n_tree_nodes, d.n_levels));
  } else if (d.n_tree_tips > 0) {
    out->echo(
        format("\n\nULTRAMETRIC PHYLOGENETIC TREE (file: %s): %i species, %i nodes\n(divergence between species "
               "expressed as the age of most recent common ancestor, that is half the sum of the lengths of "
               "branches linking the species)",
               d.tree_file.c_str(), d.n_tree_tips, d.n_tree_nodes));
  } else if (d.n_tree_tips < 0) {
    out->echo(
        format("\n\nPHYLOGENETIC TREE (file: %s): %i species, %i nodes\n(divergence between species expressed as "
               "the sum of the lengths of branches linking the species)",
               d.tree_file.c_str(), -d.n_tree_tips, d.n_tree_nodes));
  }
  out->echo(species_left_out_line(
      "\nSpecies of the plots without divergences (not in the phylogeny), left out of the PLOTS x PHYLO analyses: "
      "%i: ",
      d.species_without_divergences, d.species_names));

  if (d.n_trait_species != 0) {
    out->echo(format("\n\nSPECIES TRAITS (from file: %s)", d.traits_file.c_str()));
    if (!d.se_file.empty()) out->echo(format(" - standard errors given (in file: %s)", d.se_file.c_str()));
    out->echo(format("\n# species : %i", d.n_trait_species));
    out->echo(format("\n# of variables : %i", static_cast<int>(d.trait_names.size()) - 1));
    std::string names = "\n  Trait names (# categ obs): ";
    for (std::size_t j = 0; j < d.trait_names.size(); ++j) {
      names += format("%s(%i)  ", d.trait_names[j].c_str(), d.trait_categories[j]);
    }
    out->echo(names);
  }

  if (d.n_distance_species != 0) {
    out->echo(format("\n\nINTER-SPECIES TRAIT DISTANCES (from file: %s)", d.trait_distances_file.c_str()));
    out->echo(format("\n# species : %i", d.n_distance_named));
    out->echo(format("\n# of variables : %i", d.n_distance_variables));
  }
  out->echo(species_left_out_line(
      "\nSpecies of the plots without trait distances (no trait value), left out of the PLOTS x TRAITS analyses: %i: ",
      d.species_without_traits, d.species_names));

  if (d.n_divergence_intervals > 2) {
    out->echo(format("\n\nDIVERGENCE INTERVALS : %i", d.n_divergence_intervals));
    out->echo(limits_line("\nMax divergence=", d.n_divergence_intervals, *d.divergence_limits));
  }

  const int n_selection_tests = d.selection_test_counts ? (*d.selection_test_counts)[0] : 0;
  if (n_selection_tests != 0 && d.selection_test_texts && !d.selection_test_texts->empty()) {
    out->echo(format("\n\nSELECTION TESTS for base population: %i tests", n_selection_tests));
    for (int t = 1; t <= std::abs(n_selection_tests); ++t) {
      const int k = (*d.selection_test_counts)[t];
      const core::NameTable& texts = (*d.selection_test_texts)[t];
      out->echo(format("\nTest %i: %s\n    %i pairwise tests:", t, texts[0].c_str(), k));
      for (int j = 1; j <= std::abs(k) && j <= texts.hi(); ++j) out->echo(format("  %s", texts[j].c_str()));
      // The user checks the tests ten at a time.
      if (t % 10 == 0) {
        parts.emplace_back();
        out = &parts.back();
      }
    }
  }

  if (d.n_phylogeny_tests != 0 && d.n_phylogeny_randomizations != 0) {
    out->echo(
        format("\n\nPHYLOGENY TESTS : %i tests (%i permutations)", d.n_phylogeny_tests, d.n_phylogeny_randomizations));
  }
  if (!d.clade.empty()) {
    out->echo(format("\n\nDATA REDUCED TO CLADE (for community structure analyses): %s", d.clade.c_str()));
    out->echo(d.clade_reduction_note);
  }
  out->echo(format("\n\nRANDOM SEED : %i", d.random_seed));
  return parts;
}

std::string write_data_description(const DataDescription& description, const std::function<void()>& pause) {
  const std::vector<EchoedText> parts = data_description_text(description);
  std::string shown;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) pause();
    write_echoed(description.main_result_file, parts[i]);
    shown += parts[i].console;
  }
  // The console alone gets the blank lines ahead of the description.
  return shown.substr(kDescriptionLead.size());
}

}  // namespace quorvel::reports
