#include "reports/phylogeny_outputs.hpp"

#include "core/text_output.hpp"

namespace quorvel::reports {

namespace {

// Lines gathered before each write of the divergence list.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

}  // namespace

void write_tree_interpretation(const std::string& file_name, const std::string& main_result_file,
                               const std::string& text) {
  if (file_name != main_result_file) core::write_file_anew(file_name, "");
  core::try_append_to_file(file_name, text);
}

void write_nexus_tree(const std::string& file_name, const std::string& text) { core::write_file_anew(file_name, text); }

void write_species_divergence_list(const std::string& file_name, int n_species,
                                   const std::function<std::string(int)>& lines_of) {
  if (!core::write_file_anew(file_name, "")) return;
  std::string block;
  for (int i = 1; i < n_species; ++i) {
    block += lines_of(i);
    if (block.size() < kBlockBytes) continue;
    if (!core::try_append_to_file(file_name, block)) return;
    block.clear();
  }
  if (!block.empty()) core::try_append_to_file(file_name, block);
}

}  // namespace quorvel::reports
