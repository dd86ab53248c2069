#include "reports/report_files.hpp"

#include <cerrno>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "core/text_output.hpp"

namespace quorvel::reports {

void append_section(const std::string& file_name, const std::string& text) {
  core::wait_for_results_file(file_name);
  core::append_to_file(file_name, text);
}

void append_test_section(const std::string& file_name, const std::string& text) {
  core::wait_for_results_file(file_name);
  core::console_print("\nWriting permutation results. Please, wait.");
  core::append_to_file(file_name, text);
}

void write_echoed(const std::string& file_name, const EchoedText& text) {
  core::wait_for_output_file(file_name);
  core::console_print(text.console);
  core::append_to_file(file_name, text.file);
}

void write_table_file(const std::string& file_name, const std::string& main_result_file, const std::string& text) {
  // A separate file holds this run's tables only. A file the run has
  // written already (the main result file, or another table given the same
  // name) is continued, never emptied, so no table of the run is lost.
  const bool start_anew = file_name != main_result_file && !core::is_staged(file_name);
  core::wait_for_results_file(file_name);
  if (start_anew) core::empty_file(file_name);
  core::append_to_file(file_name, text);
}

void write_whole_file(const std::string& file_name, const std::string& text) {
  // During a run the file is written aside and put in place with the other
  // results when the run ends (core/output_session.hpp).
  errno = 0;
  if (!core::write_file_anew(file_name, text)) core::stop_on_write_failure(file_name, errno != 0 ? errno : EIO);
}

void write_optional_file(const std::string& file_name, const std::string& text) {
  core::write_file_anew(file_name, text);
}

}  // namespace quorvel::reports
