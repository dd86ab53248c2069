#include "fuzz_support.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/console.hpp"
#include "core/errors.hpp"
#include "core/output_session.hpp"
#include "driver/load_data.hpp"
#include "instructions/instruction_file.hpp"

namespace quorvel::fuzz {

namespace {

bool prepared = false;

}  // namespace

void prepare() {
  if (prepared) return;
  prepared = true;
  char folder[] = "/tmp/quorvel_fuzz_XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) std::abort();
  // Standard input at its end and the console into the void: pauses return
  // at once and questions stop the run, as in a batch script.
  static std::FILE* input = std::fopen("/dev/null", "r");
  static std::FILE* output = std::fopen("/dev/null", "w");
  core::set_console_streams(input, output);
}

void write_input(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (!file) std::abort();
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fclose(file);
}

void run_guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const core::FatalError&) {
    // The run ends here, as a real run would after its message.
  }
  // Some stops list names in the error log; it must not grow run after run.
  std::remove(core::kErrorFile);
}

void load_as_run(const std::string& text) {
  write_input("instr.txt", reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  run_guarded([] {
    core::OutputSession outputs;  // outputs are written aside and never committed
    const instructions::RunSettings settings = instructions::read_instruction_file("instr.txt");
    const driver::DataHeaders headers = driver::scan_data_files(settings);
    driver::ResolvedOutputs resolved{settings.main_result_file.empty() ? "results.txt" : settings.main_result_file};
    driver::load_data_set(settings, headers, resolved);
  });
}

std::string data_set_file(const std::string& set, const std::string& file) {
  return std::string(QUORVEL_DATA_SETS_DIR) + "/" + set + "/" + file;
}

}  // namespace quorvel::fuzz
