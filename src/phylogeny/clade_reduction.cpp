#include "phylogeny/clade_reduction.hpp"

#include "core/console.hpp"
#include "core/constants.hpp"

namespace quorvel::phylogeny {

bool reduce_data_to_clade(const std::string& clade_name, const NodeTable& nodes, int n_tips, int n_nodes, int n_species,
                          const core::IVector& leaf_of_species, int n_plots, const core::NameTable& plot_names,
                          core::DMatrix& abundances) {
  int clade = 0;
  for (int k = n_tips + 1; k <= n_nodes && clade == 0; ++k) {
    if (nodes[k].name.compare(0, kNameLimit, clade_name, 0, kNameLimit) == 0) clade = k;
  }
  if (clade == 0) return false;
  const int first = nodes[clade].first_tip;
  const int last = nodes[clade].last_tip;
  for (int s = 1; s <= n_species; ++s) {
    const int tip = leaf_of_species[s];
    if (tip != 0 && tip >= first && tip <= last) continue;
    for (int p = 0; p <= n_plots; ++p) abundances[p][s] = 0;
  }
  for (int p = 0; p <= n_plots; ++p) {
    double total = 0;
    for (int s = 1; s <= n_species; ++s) total += abundances[p][s];
    abundances[p][0] = total;
    if (total == 0) {
      // Relative abundances of an empty plot are undefined: they stay 0 and
      // the plot weighs nothing in the analyses.
      if (p == 0) {
        core::console_printf("\nWARNING: no species of clade %s occurs in the data", clade_name.c_str());
      } else {
        core::console_printf("\nWARNING: plot %s holds no species of clade %s: its total is 0", plot_names[p].c_str(),
                             clade_name.c_str());
      }
      continue;
    }
    for (int s = 1; s <= n_species; ++s) abundances[p][s] /= total;
  }
  return true;
}

}  // namespace quorvel::phylogeny
