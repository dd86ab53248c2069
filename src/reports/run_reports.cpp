#include "reports/run_reports.hpp"

#include <cerrno>
#include <filesystem>

#include "core/errors.hpp"
#include "core/output_session.hpp"
#include "core/text_output.hpp"
#include "reports/figures.hpp"

namespace quorvel::reports {

void write_whole_file(const std::string& file_name, const std::string& text) {
  // During a run the file is written aside and put in place with the other
  // results when the run ends (core/output_session.hpp).
  errno = 0;
  if (!core::write_file_anew(file_name, text)) core::stop_on_write_failure(file_name, errno != 0 ? errno : EIO);
}

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
