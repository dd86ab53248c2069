#pragma once

#include <string>

#include "reports/results_table.hpp"

namespace quorvel::reports {

/// The tidy results table and the figures a run was asked for, and the rows
/// its sections have handed over so far.
struct RunReports {
  std::string table_file;      ///< "RESULTS TABLE": empty when not asked for
  std::string figures_folder;  ///< "FIGURES": empty when not asked for
  std::string data_files;      ///< the data files of the run, named in figure subtitles
  ResultsTable table;

  /// True when the sections should hand over their records.
  bool wanted() const { return !table_file.empty() || !figures_folder.empty(); }
};

/// Writes the results table and the figures asked for, each file created
/// anew (within the run's output session, it replaces the old file only when
/// the run ends; the figure folder is created when absent).
/// Returns the names of the files written. A file that cannot be written
/// ends the run (status 3) with a message naming it.
std::vector<std::string> write_run_reports(const RunReports& reports);

}  // namespace quorvel::reports
