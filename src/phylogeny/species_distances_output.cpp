#include "phylogeny/species_distances_output.hpp"

#include "core/format.hpp"
#include "core/text_output.hpp"

namespace quorvel::phylogeny {

void write_species_divergence_list(const std::string& file_name, int n_species, const core::NameTable& species_names,
                                   const core::FMatrix& divergences) {
  std::string text;
  for (int i = 1; i < n_species; ++i) {
    for (int j = i + 1; j <= n_species; ++j) {
      text += "\n" + species_names[i] + "\t" + species_names[j] + "\t" +
              core::format_cell("%f", static_cast<double>(divergences[i][j]));
    }
  }
  // Nothing is written, and nothing said, when the file cannot be created.
  core::write_file_anew(file_name, text);
}

}  // namespace quorvel::phylogeny
