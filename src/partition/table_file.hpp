#pragma once

#include <string>

namespace quorvel::partition {

/// How an optional table reaches its file.
enum class TableFileMode {
  kNewFile,    ///< a file of its own is created anew (the main result file is appended to)
  kAppendFile  ///< appended to, as a later block of the same run
};

/// Writes `text` to `file_name`: created anew with kNewFile, unless it is the
/// main result file or a file this run has already written, otherwise
/// appended. While the file cannot be
/// opened, the user is warned ("WARNING: Cannot open results file ...") and
/// asked to press Return; at end of input the run stops (status 2).
void write_table_file(const std::string& file_name, const std::string& main_result_file, const std::string& text,
                      TableFileMode mode);

}  // namespace quorvel::partition
