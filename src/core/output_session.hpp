#pragma once

#include <string>

namespace quorvel::core {

/// The output files of one run, kept safe until the run ends. While a session
/// is open, every file the run writes through text_output (the error log
/// excepted) is written to a temporary file in the same folder; commit() moves
/// each one over its file when the run has gone to its end. A run that stops
/// (an error unwinds the session, or the program is interrupted) removes its
/// temporary files, so every result file of earlier runs stays exactly as it
/// was. Outside a session, writes go straight to the files (as in unit tests).
/// One session at a time.
class OutputSession {
 public:
  OutputSession();
  /// Removes the temporary files that were not committed.
  ~OutputSession();
  OutputSession(const OutputSession&) = delete;
  OutputSession& operator=(const OutputSession&) = delete;

  /// Moves every temporary file over its file, in the order the files were
  /// first written. A file that cannot be replaced keeps its old content and
  /// its new one stays in the temporary file: the run then stops (status 3)
  /// with a message naming both.
  void commit();
};

/// Where writes to `file_name` go: the file itself outside a session; inside
/// one, its temporary file, created at the first use as a copy of the present
/// file, so that appending sections keep what the file already held.
std::string output_path(const std::string& file_name);

/// Starts `file_name` anew (empty): inside a session only its temporary file
/// is emptied, so the old content is replaced only when the run commits.
/// Returns false when the file cannot be created.
bool start_output_anew(const std::string& file_name);

/// True while a session is open and `file_name` has a temporary file.
bool is_staged(const std::string& file_name);

}  // namespace quorvel::core
