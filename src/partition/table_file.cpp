#include "partition/table_file.hpp"

#include "core/output_session.hpp"
#include "core/text_output.hpp"

namespace quorvel::partition {

void write_table_file(const std::string& file_name, const std::string& main_result_file, const std::string& text,
                      TableFileMode mode) {
  // A separate file holds this run's tables only. A file the run has
  // written already (the main result file, or another table given the same
  // name) is continued, never emptied, so no table of the run is lost.
  const bool start_anew =
      mode == TableFileMode::kNewFile && file_name != main_result_file && !core::is_staged(file_name);
  core::wait_for_results_file(file_name);
  if (start_anew) core::empty_file(file_name);
  core::append_to_file(file_name, text);
}

}  // namespace quorvel::partition
