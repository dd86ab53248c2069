#include "reports/run_notes.hpp"

#include "core/console.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"

namespace quorvel::reports {

void write_note(const std::string& file_name, const std::string& text) { core::echo_to_file(file_name, text); }

std::string skipped_table_note(const std::string& keyword, const std::string& needs) {
  return "\n\nWARNING: \"" + keyword + "\" needs " + needs + ": nothing is written for it.";
}

std::string no_tree_for_clades_note(int number) {
  return core::format(
      "\n\nPhylogeny randomization test %i not run: permutations within clades need a phylogenetic tree\n", number);
}

const char* individual_tests_not_run_note(bool classification) {
  // Permuting clades needs the ages of an ultrametric tree; permuting the
  // taxa of a classification needs the levels to permute and within which,
  // which no keyword of the instruction file gives.
  return classification
             ? "\n\nPhylogeny tests at the individual level with a taxonomic classification need the levels to "
               "permute, which the instruction file cannot give: they are not run."
             : "\n\nPhylogeny tests at the individual level permute the clades of an ultrametric tree: without one "
               "they are not run.";
}

void write_end_stamp(const std::string& main_result_file) {
  core::wait_for_output_file(main_result_file);
  const std::string now = core::local_time_text();
  core::console_print(core::format("Current local time and date: %s", now.c_str()));
  core::append_to_file(main_result_file, core::format("\n\nAnalyses finished at %s\n\n\n", now.c_str()));
}

}  // namespace quorvel::reports
