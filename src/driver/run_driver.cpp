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
#include "driver/run_reports_hooks.hpp"
#include "driver/run_state.hpp"
#include "driver/slices.hpp"
#include "driver/start_up.hpp"
#include "instructions/instruction_file.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::driver {

using core::console_print;
using core::format;
using instructions::output_conflict_messages;
using instructions::prepare_main_result_file;
using instructions::read_instruction_file;
using randomization::SliceLedger;

namespace {

constexpr const char* kUsage =
    "Usage: quorvel [INSTRUCTION_FILE [RESULT_FILE]]\n"
    "       quorvel --slice k/K INSTRUCTION_FILE [RESULT_FILE]\n"
    "       quorvel --merge INSTRUCTION_FILE SLICE_FILE...\n"
    "\n"
    "Runs the analysis described by INSTRUCTION_FILE, a text file of keyword lines\n"
    "(see the user guide, docs/guide.md). The program changes to the folder of\n"
    "INSTRUCTION_FILE, reads the data files it names there and writes its results\n"
    "to the main result file: the one named by \"MAIN RESULT FILE\" (a complete run\n"
    "replaces its content) or \"ADD TO MAIN RESULT FILE\" (a complete run appends to\n"
    "it) in the instruction file, else RESULT_FILE, else the name asked for on the\n"
    "console (\"out.txt\" by default); when that file exists, you are asked whether\n"
    "to append to it (the default) or erase it.\n"
    "Without arguments the program asks for the instruction file.\n"
    "\n"
    "  --slice k/K  evaluate only slice k of K of the randomizations (the\n"
    "               randomizations i of every test with i mod K = k - 1) and\n"
    "               write their values to <main result file>.slice-k-of-K\n"
    "               instead of the results; the instruction file must give\n"
    "               RANDOM SEED. Without THREADS, a slice uses the number of\n"
    "               threads in SLURM_CPUS_PER_TASK when it is set.\n"
    "  --merge      write the results of the whole run from its K slice files\n"
    "               (in any order), evaluating no randomization again: the\n"
    "               same results as one run on one machine\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Exit status:\n"
    "  0    the run went to its end (\"Analyses finished\" in the main result file;\n"
    "       for a slice: its slice file is written)\n"
    "  1    a data file could not be read (the message is also in error.txt),\n"
    "       or a file lacks the keyword line it must hold\n"
    "  2    standard input ended where the run needed an answer\n"
    "  3    the run was stopped by an error on the command line, in the\n"
    "       instruction file or the data, by slice files that are not the\n"
    "       slices of the run, or by an output that cannot be written (a full\n"
    "       disk, a file-size limit)\n"
    "  22   the tree text cannot be read\n"
    "  87   a field longer than the program accepts\n"
    "  101  errors in the species traits\n"
    "Any other non-zero status also means that the run stopped before its end\n"
    "(128 + the signal's number for a run ended by a signal: 130 for Ctrl+C).\n"
    "A run that stops leaves the result files of earlier runs as they were.\n";

void print_banner() {
  console_print(format("Quorvel %s - Spatial & Phylogenetic Analysis of Community Diversity \n", kVersion));
  console_print("             Program written by the Quorvel developers\n");
}

void write_end_stamp(const std::string& main_result_file) {
  core::wait_for_output_file(main_result_file);
  const std::string now = core::local_time_text();
  console_print(format("Current local time and date: %s", now.c_str()));
  core::append_to_file(main_result_file, format("\n\nAnalyses finished at %s\n\n\n", now.c_str()));
}

int run(const CommandLine& command_line) {
  // Every result file of the run is written aside and put in place only when
  // the run has gone to its end: a run that stops leaves them as they were.
  core::OutputSession output_session;
  print_banner();
  RunState state;
  state.random_seed = -randomization::clock_seed();
  state.instruction_file = ask_instruction_file_name(command_line.arguments);

  const instructions::RunSettings settings = read_instruction_file(state.instruction_file);
  int k = 0;
  int K = 0;
  const SliceLedger::Role role = slice_role(command_line, settings, k, K);
  const DataHeaders headers = scan_data_files(settings);
  // A slice writes its slice file alone: the main result file keeps its content.
  if (role != SliceLedger::Role::kSlice) prepare_main_result_file(settings);
  if (settings.random_seed_keyword > 0) state.random_seed = -settings.random_seed_keyword;
  state.generator = randomization::make_random_generator(state.random_seed);
  // Shown positive: the number to give to "RANDOM SEED" to repeat the run.
  console_print(format("\nRandom seed: %i\n", -state.random_seed));

  ResolvedOutputs outputs{settings.main_result_file};
  if (outputs.main_result_file.empty()) {
    outputs.main_result_file = ask_result_file_name(
        command_line.arguments,
        [&](const std::string& candidate) {
          return output_conflict_messages(settings, state.instruction_file, candidate);
        },
        role != SliceLedger::Role::kSlice);
  }

  randomization::RunIdentity identity;
  if (role != SliceLedger::Role::kWhole) identity = run_identity(settings, state.instruction_file);
  if (role == SliceLedger::Role::kSlice) state.slices = SliceLedger::slice(k, K);
  if (role == SliceLedger::Role::kMerge) {
    state.slices = read_merge_slices(command_line, identity, outputs.main_result_file);
    console_print(format("\nRandomizations from %i slice files: none is evaluated again\n", state.slices.K()));
  }

  DataSet data = load_data_set(settings, headers, outputs);
  state.codes = loaded_codes(headers, data);
  const int n_individuals = std::max(data.individuals.species.hi(), 0);
  state.settings = section_settings(settings, outputs, headers, headers.community.n_plots, n_individuals);
  if (role == SliceLedger::Role::kSlice) {
    state.settings.n_threads = slice_threads(settings.n_threads, std::getenv("SLURM_CPUS_PER_TASK"));
    if (settings.n_threads == 0 && state.settings.n_threads > 0) {
      console_print(format("\nThreads: %i (SLURM_CPUS_PER_TASK)\n", state.settings.n_threads));
    }
  }
  use_data_set(state, std::move(data));
  open_run_reports(state);

  state.reports.data_description = write_data_description(state);
  choose_analysis_level(state, settings, outputs, headers);
  run_analysis_sequence(state);

  if (role == SliceLedger::Role::kSlice) {
    // Only the slice file is kept: the reports of a slice are those of a
    // part of the randomizations.
    const std::string slice_file = write_slice_file(state.slices, identity, outputs.main_result_file);
    console_print(format("\n\nSlice %i of %i: its randomizations are in %s\n", k, K, slice_file.c_str()));
    console_print(format("Current local time and date: %s", core::local_time_text().c_str()));
    output_session.commit_only(slice_file);
    return 0;
  }
  state.slices.check_every_test_used();
  close_run_reports(state);

  write_end_stamp(outputs.main_result_file);
  output_session.commit();
  return 0;
}

}  // namespace

int run_program(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    const CommandLine command_line = parse_command_line(arguments);
    if (command_line.action == CommandLine::Action::kHelp) {
      console_print(kUsage);
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
