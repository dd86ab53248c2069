#include "phylogeny/species_distances_output.hpp"

#include <cstdio>
#include <memory>

#include "core/format.hpp"

namespace quorvel::phylogeny {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void write_species_divergence_list(const std::string& file_name, int n_species, const core::NameTable& species_names,
                                   const core::FMatrix& divergences) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "w"));
  if (!file) return;
  std::string line;
  for (int i = 1; i < n_species; ++i) {
    for (int j = i + 1; j <= n_species; ++j) {
      line = "\n" + species_names[i] + "\t" + species_names[j] + "\t" +
             core::format_cell("%f", static_cast<double>(divergences[i][j]));
      std::fwrite(line.data(), 1, line.size(), file.get());
    }
  }
}

}  // namespace quorvel::phylogeny
