#pragma once

#include <string>

namespace quorvel::reports {

// The one place where report text reaches its files. During a run every file
// is written aside and put in place when the run ends (core/output_session).

/// Appends a section to the main result file, asking the user to free the
/// file while it cannot be opened (at end of input the run stops, status 2).
void append_section(const std::string& file_name, const std::string& text);

/// Appends a section of test results, after "\nWriting permutation results.
/// Please, wait." on the console.
void append_test_section(const std::string& file_name, const std::string& text);

/// Report text of which some pieces are shown on the console too.
struct EchoedText {
  std::string file;     ///< everything, for the file
  std::string console;  ///< the pieces also shown on the console
  void echo(const std::string& text) {
    file += text;
    console += text;
  }
  void append(const std::string& text) { file += text; }
};

/// Shows the echoed pieces on the console and appends the whole text.
void write_echoed(const std::string& file_name, const EchoedText& text);

/// Writes the optional table `text` to `file_name`: a file of its own is
/// created anew, unless it is the main result file or a file this run has
/// already written (a later block of the same run), which are appended to.
/// While the file cannot be opened, the user is warned ("WARNING: Cannot open
/// results file ...") and asked to press Return; at end of input the run
/// stops (status 2).
void write_table_file(const std::string& file_name, const std::string& main_result_file, const std::string& text);

/// Writes `text` as the whole new content of `file_name`; a file that cannot
/// be created ends the run (status 3) with a message naming it.
void write_whole_file(const std::string& file_name, const std::string& text);

/// Writes `text` as the whole new content of `file_name`, an output the run
/// does without when it must: a file that cannot be created is skipped
/// without a word.
void write_optional_file(const std::string& file_name, const std::string& text);

}  // namespace quorvel::reports
