#include "driver/run_driver.hpp"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/output_session.hpp"
#include "core/text_output.hpp"
#include "driver/analysis_sequence.hpp"
#include "driver/data_description.hpp"
#include "driver/load_data.hpp"
#include "driver/slices.hpp"
#include "instructions/file_prompts.hpp"
#include "instructions/instruction_file.hpp"
#include "instructions/keyword_table.hpp"
#include "randomization/random_generator.hpp"
#include "reports/run_notes.hpp"
#include "reports/run_reports.hpp"

namespace quorvel::driver {

using core::console_print;
using core::format;
using instructions::ask_instruction_file_name;
using instructions::ask_result_file_name;
using instructions::CommandLine;
using instructions::output_conflict_messages;
using instructions::prepare_main_result_file;
using instructions::read_instruction_file;
using randomization::SliceLedger;

namespace {

void print_banner() {
  console_print(format("Quorvel %s - Spatial & Phylogenetic Analysis of Community Diversity \n", kVersion));
  console_print("             Program written by the Quorvel developers\n");
}

// The results table, the figures and the report page asked for, from the
// rows the sections handed over; the console says where they are.
void write_run_reports(const RunInputs& run, std::string data_description, reports::ResultsTable table) {
  const instructions::RunSettings& settings = run.settings;
  reports::RunReports run_reports;
  run_reports.table_file = settings.results_table_output;
  run_reports.figures_folder = settings.figures_folder;
  if (!run_reports.wanted()) return;
  run_reports.data_files = instructions::data_file_list(settings);
  run_reports.distance_unit = settings.distance_unit;
  // A classification's levels name the divergence axes.
  const input::TaxonomicLevels& levels = run.data.levels;
  if (run.codes.phylogeny_kind == kTaxonomy) {
    for (int level = 0; level <= levels.level_divergences.hi() && level <= levels.level_names.hi(); ++level)
      run_reports.divergence_levels.push_back(
          {static_cast<double>(levels.level_divergences[level]), levels.level_names[level]});
  }
  run_reports.data_description = std::move(data_description);
  run_reports.table = std::move(table);
  const reports::WrittenReports written = reports::write_run_reports(run_reports);
  if (!written.table.empty()) console_print(format("\n\nResults table: %s", written.table.c_str()));
  if (!written.page.empty()) {
    console_print(format("\nFigures: %i file(s) in %s", static_cast<int>(written.figures.size()),
                         run_reports.figures_folder.c_str()));
    console_print(format("\nReport page: %s", written.page.c_str()));
  }
  console_print("\n");
}

int run(const CommandLine& command_line) {
  // Every result file of the run is written aside and put in place only when
  // the run has gone to its end: a run that stops leaves them as they were.
  core::OutputSession output_session;
  print_banner();
  int random_seed = -randomization::clock_seed();
  const std::string instruction_file = ask_instruction_file_name(command_line.arguments);

  instructions::RunSettings settings = read_instruction_file(instruction_file);
  int k = 0;
  int K = 0;
  const SliceLedger::Role role = slice_role(command_line, settings, k, K);
  const DataHeaders headers = scan_data_files(settings);
  // A slice writes its slice file alone: the main result file keeps its content.
  if (role != SliceLedger::Role::kSlice) prepare_main_result_file(settings);
  if (settings.random_seed_keyword > 0) random_seed = -settings.random_seed_keyword;
  randomization::RandomGenerator generator = randomization::make_random_generator(random_seed);
  // Shown positive: the number to give to "RANDOM SEED" to repeat the run.
  console_print(format("\nRandom seed: %i\n", -random_seed));

  ResolvedOutputs outputs{settings.main_result_file};
  if (outputs.main_result_file.empty()) {
    outputs.main_result_file = ask_result_file_name(
        command_line.arguments,
        [&](const std::string& candidate) { return output_conflict_messages(settings, instruction_file, candidate); },
        role != SliceLedger::Role::kSlice);
  }

  // The randomizations evaluated here: all, a slice of them, or none (a merge
  // takes them from the slice files).
  SliceLedger slices;
  randomization::RunIdentity identity;
  if (role != SliceLedger::Role::kWhole) identity = run_identity(settings, instruction_file);
  if (role == SliceLedger::Role::kSlice) slices = SliceLedger::slice(k, K);
  if (role == SliceLedger::Role::kMerge) {
    slices = SliceLedger::merge(randomization::read_slice_files(command_line.slice_names, command_line.slice_paths,
                                                                identity, outputs.main_result_file));
    console_print(format("\nRandomizations from %i slice files: none is evaluated again\n", slices.K()));
  }

  DataSet data = load_data_set(settings, headers, outputs);
  if (role == SliceLedger::Role::kSlice) {
    const int threads = instructions::slice_threads(settings.n_threads, std::getenv("SLURM_CPUS_PER_TASK"));
    if (settings.n_threads == 0 && threads > 0) {
      console_print(format("\nThreads: %i (SLURM_CPUS_PER_TASK)\n", threads));
    }
    settings.n_threads = threads;
  }
  DerivedCodes codes = loaded_codes(headers, data);
  std::string description =
      write_data_description({settings, outputs, codes, data}, headers, instruction_file, -random_seed);
  choose_analysis_level(settings, headers, data, codes);

  reports::ResultsTable table;
  const RunInputs inputs{settings, outputs, codes, data};
  run_analysis_sequence(inputs, generator, &slices, table);

  if (role == SliceLedger::Role::kSlice) {
    // Only the slice file is kept: the reports of a slice are those of a
    // part of the randomizations.
    const std::string slice_file = write_slice_file(slices.slice_file(identity), outputs.main_result_file);
    console_print(format("\n\nSlice %i of %i: its randomizations are in %s\n", k, K, slice_file.c_str()));
    console_print(format("Current local time and date: %s", core::local_time_text().c_str()));
    output_session.commit_only(slice_file);
    return 0;
  }
  slices.check_every_test_used();
  write_run_reports(inputs, std::move(description), std::move(table));
  reports::write_end_stamp(outputs.main_result_file);
  output_session.commit();
  return 0;
}

}  // namespace

int run_program(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    const CommandLine command_line = instructions::parse_command_line(arguments);
    if (command_line.action == CommandLine::Action::kHelp) {
      console_print(instructions::kCommandLineUsage);
      return 0;
    }
    if (command_line.action == CommandLine::Action::kVersion) {
      console_print(format("Quorvel %s\n", kVersion));
      return 0;
    }
    return run(command_line);
  } catch (const core::FatalError& error) {
    return core::report_fatal_error(error);
  } catch (const std::bad_alloc&) {
    // Working storage of an analysis too large for the memory: an allocation
    // failure like any other, never a crash.
    return core::report_fatal_error(core::FatalError("\nallocation failure", 1, true, false));
  }
}

}  // namespace quorvel::driver
