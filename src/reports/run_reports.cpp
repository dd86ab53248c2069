#include "reports/run_reports.hpp"

#include <filesystem>
#include <system_error>

#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "reports/figures.hpp"

namespace quorvel::reports {

namespace {

constexpr int kWriteFailureStatus = 3;

[[noreturn]] void stop_writing(const std::string& file_name, const std::string& reason) {
  throw core::FatalError(core::format("\n\nERROR: cannot write \"%s\": %s\n", file_name.c_str(), reason.c_str()),
                         kWriteFailureStatus, false, false);
}

}  // namespace

void write_whole_file(const std::string& file_name, const std::string& text) {
  // During a run the file is written aside and put in place with the other
  // results when the run ends (core/output_session.hpp).
  if (!core::write_file_anew(file_name, text)) stop_writing(file_name, "the file cannot be created");
}

std::vector<std::string> write_run_reports(const RunReports& reports) {
  std::vector<std::string> written;
  if (!reports.table_file.empty()) {
    write_whole_file(reports.table_file, results_table_text(reports.table));
    written.push_back(reports.table_file);
  }
  if (!reports.figures_folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(reports.figures_folder, error);
    if (error || !std::filesystem::is_directory(reports.figures_folder)) {
      stop_writing(reports.figures_folder, "the folder cannot be created");
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
