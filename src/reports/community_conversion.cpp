#include "reports/community_conversion.hpp"

#include "core/constants.hpp"
#include "core/format.hpp"

namespace quorvel::reports {

namespace {

// Counts written back: the relative abundance times the plot total, rounded.
long long count_of(const core::DMatrix& abundances, int p, int s) {
  return static_cast<long long>(abundances(p, s) * abundances(p, 0) + 0.5);
}

std::string triplet_text(int data_type, int n_plots, int n_species, const core::DMatrix& abundances,
                         const core::NameTable& plot_names, const core::NameTable& species_names) {
  std::string text;
  for (int p = 1; p <= n_plots; ++p) {
    for (int s = 1; s <= n_species; ++s) {
      if (abundances(p, s) == 0) continue;
      const char* plot = plot_names[p].c_str();
      const char* species = species_names[s].c_str();
      if (data_type == kPresenceAbsenceData) {
        text += core::format("%s\t1\t%s\n", plot, species);
      } else if (data_type == kRelativeAbundanceData) {
        text += core::format("%s\t%g\t%s\n", plot, abundances(p, s), species);
      } else {
        text += core::format("%s\t%lld\t%s\n", plot, count_of(abundances, p, s), species);
      }
    }
  }
  return text;
}

std::string matrix_text(int data_type, int n_plots, int n_species, const core::DMatrix& abundances,
                        const core::NameTable& plot_names, const core::NameTable& species_names) {
  std::string text;
  for (int p = 1; p <= n_plots; ++p) text += "\t" + plot_names[p];
  for (int s = 1; s <= n_species; ++s) {
    text += "\n" + species_names[s];
    for (int p = 1; p <= n_plots; ++p) {
      if (data_type == kPresenceAbsenceData) {
        text += abundances(p, s) == 0 ? "\t0" : "\t1";
      } else if (data_type == kRelativeAbundanceData) {
        text += core::format("\t%g", abundances(p, s));
      } else {
        text += core::format("\t%lld", count_of(abundances, p, s));
      }
    }
  }
  return text;
}

}  // namespace

std::string converted_community_text(const input::Community& data, bool from_matrix) {
  return from_matrix ? triplet_text(data.data_type, data.n_plots(), data.n_species(), data.abundances, data.plot_names,
                                    data.species_names)
                     : matrix_text(data.data_type, data.n_plots(), data.n_species(), data.abundances, data.plot_names,
                                   data.species_names);
}

}  // namespace quorvel::reports
