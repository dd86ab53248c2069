#pragma once

#include <string>

namespace quorvel::core {

/// Prints `text` on the console unchanged, then appends it to `file_name`.
/// A file that cannot be opened ends the run with status 3 after
/// "error in writing <text> : cannot open file" and a key press.
///
/// Every function here checks its writes and the close: a file that is open
/// but cannot take the text (a full disk, a file-size limit) stops the run
/// with status 3 (core::stop_on_write_failure), also where a file that cannot
/// be opened is only skipped.
void echo_to_file(const std::string& file_name, const std::string& text);

/// Appends `text` to `file_name`, without console echo; same failure as
/// echo_to_file.
void append_to_file(const std::string& file_name, const std::string& text);

// Inside an output session (core/output_session.hpp) every function below
// writes to the file's temporary file, which replaces the file only when the
// run has gone to its end; the error log "error.txt" is always written at once.

/// Creates `file_name` empty (replacing an old file). Returns false when it
/// cannot be created.
bool empty_file(const std::string& file_name);

/// Writes `text` as the whole new content of `file_name` (an output created
/// anew). Returns false, writing nothing, when the file cannot be created.
bool write_file_anew(const std::string& file_name, const std::string& text);

/// Appends `text` to `file_name`; false when the file cannot be opened (for
/// optional outputs, which are then skipped without stopping the run).
bool try_append_to_file(const std::string& file_name, const std::string& text);

/// Waits until the result file `file_name` can be opened for appending: while
/// it cannot, shows "\nWARNING: Cannot open results file "<name>".\n..." and
/// waits for the user's Return. At end of input the run stops (status 2).
void wait_for_results_file(const std::string& file_name);

/// The same for the main output file, with "\nWarning: cannot open output file
/// <name>.\n..." and one key press per try.
void wait_for_output_file(const std::string& file_name);

/// True when `file_name` exists and can be opened for reading.
bool file_is_readable(const std::string& file_name);

}  // namespace quorvel::core
