#pragma once

#include <string>
#include <vector>

#include "reports/results_table.hpp"

namespace quorvel::reports {

/// A level of a taxonomic classification and the divergence of the species
/// pairs whose lowest shared level it is.
struct NamedDivergence {
  double divergence = 0;
  std::string name;
};

/// The tidy results table, the figures and the report page a run was asked
/// for, what they say about the data, and the rows its sections have handed
/// over so far.
struct RunReports {
  std::string table_file;      ///< "RESULTS TABLE": empty when not asked for
  std::string figures_folder;  ///< "FIGURES": empty when not asked for
  std::string data_files;      ///< the data files of the run, named in figure subtitles
  std::string distance_unit;   ///< "DISTANCE UNIT": the unit of the distances, empty when not given
  /// With a classification: its levels, species first and "ALL" last, which
  /// name the divergence axes.
  std::vector<NamedDivergence> divergence_levels;
  std::string data_description;  ///< the data description as the main result file has it
  ResultsTable table;

  /// True when the sections should hand over their records.
  bool wanted() const { return !table_file.empty() || !figures_folder.empty(); }
};

/// The files write_run_reports() wrote.
struct WrittenReports {
  std::string table;                 ///< empty when not asked for
  std::vector<std::string> figures;  ///< the SVG files
  std::string page;                  ///< the report page, empty when no figures were asked for
};

/// Writes the results table, the figures and the report page index.html in
/// the figure folder, each file created anew (within the run's output
/// session, it replaces the old file only when the run ends; the figure
/// folder is created when absent). A file that cannot be written ends the
/// run (status 3) with a message naming it.
WrittenReports write_run_reports(const RunReports& reports);

/// The name of the report page in the figure folder.
inline constexpr const char* kReportPageName = "index.html";

}  // namespace quorvel::reports
