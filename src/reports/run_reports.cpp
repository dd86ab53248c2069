#include "reports/run_reports.hpp"

#include <filesystem>

#include "core/errors.hpp"
#include "core/output_session.hpp"
#include "reports/figures.hpp"
#include "reports/report_files.hpp"

namespace quorvel::reports {

std::vector<std::string> write_run_reports(const RunReports& reports) {
  std::vector<std::string> written;
  if (!reports.table_file.empty()) {
    write_whole_file(reports.table_file, results_table_text(reports.table));
    written.push_back(reports.table_file);
  }
  if (!reports.figures_folder.empty()) {
    // A new folder is made with the other results, when the run has ended.
    if (const int error = core::prepare_output_folder(reports.figures_folder)) {
      core::stop_on_write_failure(reports.figures_folder, error);
    }
    for (const Figure& figure : build_figures(reports.table, reports.data_files)) {
      const std::string name = (std::filesystem::path(reports.figures_folder) / figure.file_name).string();
      write_whole_file(name, render_svg(figure.plot));
      written.push_back(name);
    }
  }
  return written;
}

}  // namespace quorvel::reports
