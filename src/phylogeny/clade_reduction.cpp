#include "phylogeny/clade_reduction.hpp"

#include <algorithm>
#include <cmath>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"

namespace quorvel::phylogeny {

void retain_species(const std::vector<char>& keep, int n_plots, int n_species, int data_type,
                    core::DMatrix& abundances) {
  for (int p = 0; p <= n_plots; ++p) {
    double share = 0;
    for (int s = 1; s <= n_species; ++s) {
      if (keep[static_cast<std::size_t>(s)])
        share += abundances[p][s];
      else
        abundances[p][s] = 0;
    }
    if (share == 0) {
      // Relative abundances of an empty plot are undefined: they stay 0 and
      // the plot weighs nothing in the analyses.
      abundances[p][0] = 0;
      continue;
    }
    for (int s = 1; s <= n_species; ++s) abundances[p][s] /= share;
    // Counts of individuals or of species stay whole numbers, so that a plot
    // of one individual is recognised as such.
    const double total = abundances[p][0] * share;
    abundances[p][0] = data_type == kRelativeAbundanceData ? total : std::round(total);
  }
}

CladeTips find_clade(const std::string& clade_name, const Phylogeny& tree) {
  // The table as read: a labelled node whose zero-length branch was
  // dissolved still names the tips of its clade.
  const NodeTable nodes = node_table(tree);
  const int n_tips = tree.n_tips;
  const int n_nodes = tree.last_number;
  for (int k = n_tips + 1; k <= n_nodes; ++k) {
    if (nodes[k].name.compare(0, kNameLimit, clade_name, 0, kNameLimit) == 0)
      return {nodes[k].first_tip, nodes[k].last_tip};
  }
  // The whole tree in place of an unknown clade would be an analysis of
  // other data than asked.
  std::vector<std::string> named;
  for (int k = n_tips + 1; k <= n_nodes; ++k) {
    const std::string& name = nodes[k].name;
    if (!name.empty() && std::find(named.begin(), named.end(), name) == named.end()) named.push_back(name);
  }
  std::string message = core::format(
      "\n\nERROR: \"REDUCE DATA TO CLADE\" names the clade \"%s\", which no node of "
      "the phylogeny has",
      clade_name.c_str());
  if (named.empty()) {
    message +=
        ", and no clade of the phylogeny is named (a clade is named after its closing parenthesis, as Poaceae "
        "in ((A:1,B:1)Poaceae:2,C:3);).";
  } else {
    message += ". The clades named are" + input::listed_names(named) + ".";
  }
  core::stop_run(message + "\nPress any key to stop.", core::kStoppedStatus);
}

void reduce_data_to_clade(const std::string& clade_name, const Phylogeny& tree, int n_species, int n_plots,
                          const core::NameTable& plot_names, int data_type, core::DMatrix& abundances) {
  const CladeTips clade = find_clade(clade_name, tree);
  const int first = clade.first_tip;
  const int last = clade.last_tip;
  std::vector<char> keep(static_cast<std::size_t>(n_species) + 1, 0);
  for (int s = 1; s <= n_species; ++s) {
    const int tip = tree.tip_of(s);
    keep[static_cast<std::size_t>(s)] = tip != 0 && tip >= first && tip <= last;
  }
  retain_species(keep, n_plots, n_species, data_type, abundances);
  for (int p = 0; p <= n_plots; ++p) {
    if (abundances[p][0] != 0) continue;
    if (p == 0) {
      core::console_printf("\nWARNING: no species of clade %s occurs in the data", clade_name.c_str());
    } else {
      core::console_printf("\nWARNING: plot %s holds no species of clade %s: its total is 0", plot_names[p].c_str(),
                           clade_name.c_str());
    }
  }
}

}  // namespace quorvel::phylogeny
