#include "partition/table_file.hpp"

#include "core/text_output.hpp"

namespace quorvel::partition {

void write_table_file(const std::string& file_name, const std::string& main_result_file, const std::string& text,
                      TableFileMode mode) {
  core::wait_for_results_file(file_name);
  // A separate file holds this run's tables only; the main result file keeps
  // everything earlier runs and sections appended to it.
  if (mode == TableFileMode::kNewFile && file_name != main_result_file) core::empty_file(file_name);
  core::append_to_file(file_name, text);
}

}  // namespace quorvel::partition
