#include "driver/run_reports_hooks.hpp"

#include "core/console.hpp"
#include "core/format.hpp"
#include "instructions/keyword_table.hpp"
#include "reports/run_reports.hpp"

namespace quorvel::driver {

namespace {

// A classification's levels at their divergences, species first, "ALL" last.
std::vector<reports::NamedDivergence> divergence_levels(const RunState& state) {
  std::vector<reports::NamedDivergence> levels;
  const RunSettings& s = state.settings;
  if (state.codes.phylogeny_kind != kTaxonomy) return levels;
  for (int level = 0; level <= s.level_divergences.hi() && level <= s.phyletic_level_names.hi(); ++level)
    levels.push_back({static_cast<double>(s.level_divergences[level]), s.phyletic_level_names[level]});
  return levels;
}

}  // namespace

void open_run_reports(RunState& state) {
  state.reports.table_file = state.settings.results_table_output;
  state.reports.figures_folder = state.settings.figures_folder;
  state.reports.data_files = instructions::data_file_list(state.settings);
  state.reports.distance_unit = state.settings.distance_unit;
  state.reports.divergence_levels = divergence_levels(state);
}

void close_run_reports(const RunState& state) {
  if (!state.reports.wanted()) return;
  const reports::WrittenReports written = reports::write_run_reports(state.reports);
  if (!written.table.empty()) core::console_print(core::format("\n\nResults table: %s", written.table.c_str()));
  if (!written.page.empty()) {
    core::console_print(core::format("\nFigures: %i file(s) in %s", static_cast<int>(written.figures.size()),
                                     state.reports.figures_folder.c_str()));
    core::console_print(core::format("\nReport page: %s", written.page.c_str()));
  }
  core::console_print("\n");
}

}  // namespace quorvel::driver
