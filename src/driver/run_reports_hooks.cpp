#include "driver/run_reports_hooks.hpp"

#include "core/console.hpp"
#include "core/format.hpp"
#include "instructions/keyword_table.hpp"
#include "reports/run_reports.hpp"

namespace quorvel::driver {

void open_run_reports(RunState& state) {
  state.reports.table_file = state.settings.results_table_output;
  state.reports.figures_folder = state.settings.figures_folder;
  state.reports.data_files = instructions::data_file_list(state.settings);
}

void close_run_reports(const RunState& state) {
  if (!state.reports.wanted()) return;
  const std::vector<std::string> written = reports::write_run_reports(state.reports);
  if (!state.reports.table_file.empty()) {
    core::console_print(core::format("\n\nResults table: %s", state.reports.table_file.c_str()));
  }
  if (!state.reports.figures_folder.empty()) {
    const std::size_t figures = written.size() - (state.reports.table_file.empty() ? 0 : 1);
    core::console_print(
        core::format("\nFigures: %i file(s) in %s", static_cast<int>(figures), state.reports.figures_folder.c_str()));
  }
  core::console_print("\n");
}

}  // namespace quorvel::driver
