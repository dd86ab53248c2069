#include "phylogeny/species_distances_output.hpp"

#include "core/format.hpp"

namespace quorvel::phylogeny {

std::string species_divergence_lines(int i, int n_species, const core::NameTable& species_names, const float* row) {
  std::string text;
  for (int j = i + 1; j <= n_species; ++j) {
    text +=
        "\n" + species_names[i] + "\t" + species_names[j] + "\t" + core::format_cell("%f", static_cast<double>(row[j]));
  }
  return text;
}

}  // namespace quorvel::phylogeny
