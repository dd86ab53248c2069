#include "reports/run_reports.hpp"

#include <filesystem>

#include "core/errors.hpp"
#include "core/output_session.hpp"
#include "reports/figures.hpp"
#include "reports/report_files.hpp"
#include "reports/report_page.hpp"

namespace quorvel::reports {

WrittenReports write_run_reports(const RunReports& reports) {
  WrittenReports written;
  if (!reports.table_file.empty()) {
    write_whole_file(reports.table_file, results_table_text(reports.table));
    written.table = reports.table_file;
  }
  if (!reports.figures_folder.empty()) {
    // A new folder is made with the other results, when the run has ended.
    if (const int error = core::prepare_output_folder(reports.figures_folder)) {
      core::stop_on_write_failure(reports.figures_folder, error);
    }
    const std::filesystem::path folder(reports.figures_folder);
    const std::vector<Figure> figures = build_figures(reports);
    std::vector<std::string> svgs;
    for (const Figure& figure : figures) {
      svgs.push_back(render_svg(figure.plot));
      const std::string name = (folder / figure.file_name).string();
      write_whole_file(name, svgs.back());
      written.figures.push_back(name);
    }
    written.page = (folder / kReportPageName).string();
    write_whole_file(written.page, report_page(reports, figures, svgs));
  }
  return written;
}

}  // namespace quorvel::reports
