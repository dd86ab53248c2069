#include "driver/slices.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_output.hpp"
#include "instructions/keyword_table.hpp"

namespace quorvel::driver {

using core::format;
using randomization::SliceLedger;

namespace {

constexpr const char* kStop = "\nPress any key to stop.";

// A mistake on the command line: said at once, without waiting for a key.
[[noreturn]] void refuse_command_line(const std::string& message) {
  throw core::FatalError(message, core::kStoppedStatus, false, false);
}

[[noreturn]] void refuse(const std::string& message) { core::stop_run(message + kStop, core::kStoppedStatus); }

// "k/K" with 1 <= k <= K <= kMaxSlices.
bool read_slice_argument(const std::string& text, int& k, int& K) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == text.size() || slash > 7 || text.size() - slash > 8) {
    return false;
  }
  for (std::size_t j = 0; j < text.size(); ++j) {
    if (j != slash && (text[j] < '0' || text[j] > '9')) return false;
  }
  k = std::stoi(text.substr(0, slash));
  K = std::stoi(text.substr(slash + 1));
  return k >= 1 && k <= K && K <= instructions::kMaxSlices;
}

// The bytes of a file, or false with errno set.
bool read_whole_file(const std::string& path, std::string& content) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return false;
  content = text.str();
  return true;
}

std::uint64_t file_checksum(const std::string& name) {
  std::string content;
  if (!read_whole_file(name, content)) {
    refuse(
        format("\n\nERROR: cannot read \"%s\" again to make its checksum (%s).", name.c_str(), std::strerror(errno)));
  }
  return randomization::fnv1a_64(content.data(), content.size());
}

// Lines that leave the values of every randomization as they are.
bool leaves_values_unchanged(const std::string& line) {
  const instructions::KeywordRecord* record = instructions::find_keyword(line);
  return record &&
         (std::strcmp(record->keyword, "RANDOMIZATION SLICE") == 0 || std::strcmp(record->keyword, "THREADS") == 0);
}

std::uint64_t instruction_checksum(const std::string& name) {
  std::string content;
  if (!read_whole_file(name, content)) {
    refuse(format("\n\nERROR: cannot read the instruction file \"%s\" again to make its checksum (%s).", name.c_str(),
                  std::strerror(errno)));
  }
  std::uint64_t checksum = randomization::kFnvOffsetBasis;
  for (std::size_t start = 0; start < content.size();) {
    std::size_t end = content.find('\n', start);
    end = end == std::string::npos ? content.size() : end + 1;
    const std::string line = content.substr(start, end - start);
    if (!leaves_values_unchanged(line)) checksum = randomization::fnv1a_64(line.data(), line.size(), checksum);
    start = end;
  }
  return checksum;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine command_line;
  if (!arguments.empty() && arguments[0] == "--help") {
    command_line.action = CommandLine::Action::kHelp;
    return command_line;
  }
  if (!arguments.empty() && arguments[0] == "--version") {
    command_line.action = CommandLine::Action::kVersion;
    return command_line;
  }
  for (std::size_t j = 0; j < arguments.size(); ++j) {
    const std::string& argument = arguments[j];
    if (argument == "--slice") {
      if (j + 1 == arguments.size() ||
          !read_slice_argument(arguments[j + 1], command_line.slice_number, command_line.slice_count)) {
        refuse_command_line(
            format("\nERROR: --slice must be followed by k/K, slice k of K slices (1 <= k <= K), as "
                   "in --slice 3/8%s.\n",
                   j + 1 == arguments.size() ? "" : format(", not by \"%s\"", arguments[j + 1].c_str()).c_str()));
      }
      ++j;
    } else if (argument == "--merge") {
      if (arguments.size() < j + 3) {
        refuse_command_line(
            "\nERROR: --merge must be followed by the instruction file and the slice files, as in --merge instr.txt "
            "results.txt.slice-*-of-8.\n");
      }
      command_line.merge = true;
      command_line.arguments = {arguments[j + 1]};
      for (std::size_t s = j + 2; s < arguments.size(); ++s) {
        command_line.slice_names.push_back(arguments[s]);
        std::error_code error;
        const std::filesystem::path path = std::filesystem::absolute(arguments[s], error);
        command_line.slice_paths.push_back(error ? arguments[s] : path.string());
      }
      break;
    } else if (argument.compare(0, 2, "--") == 0) {
      refuse_command_line(
          format("\nERROR: unknown option \"%s\": the options are --slice, --merge, --help and "
                 "--version (see quorvel --help).\n",
                 argument.c_str()));
    } else {
      command_line.arguments.push_back(argument);
    }
  }
  if (command_line.merge && command_line.slice_number > 0) {
    refuse_command_line(
        "\nERROR: --slice and --merge cannot be given together: the slices are made first, then "
        "merged.\n");
  }
  return command_line;
}

SliceLedger::Role slice_role(const CommandLine& command_line, const instructions::RunSettings& settings, int& k,
                             int& K) {
  SliceLedger::Role role = SliceLedger::Role::kWhole;
  if (command_line.merge) {
    role = SliceLedger::Role::kMerge;
  } else if (command_line.slice_number > 0) {
    role = SliceLedger::Role::kSlice;
    k = command_line.slice_number;
    K = command_line.slice_count;
  } else if (settings.slice_number > 0) {
    role = SliceLedger::Role::kSlice;
    k = settings.slice_number;
    K = settings.slice_count;
  }
  if (role == SliceLedger::Role::kWhole) return role;
  if (settings.n_spatial_randomizations <= 0 && settings.n_phylogeny_randomizations <= 0 &&
      settings.n_brownian_replicates <= 0) {
    refuse(
        "\n\nERROR: this instruction file asks for no randomization (\"SPATIAL RANDOMIZATION TEST\", \"PHYLOGENY "
        "RANDOMIZATION TESTS\" or \"BROWNIAN EVOLUTION TEST\"): there is nothing to share out in slices or to "
        "merge. Run it as a whole (without --slice, --merge or \"RANDOMIZATION SLICE\").");
  }
  if (settings.random_seed_keyword <= 0) {
    refuse(
        "\n\nERROR: the instruction file gives no \"RANDOM SEED\": every slice, and the merge, must draw the same "
        "randomizations, from the seed of the instruction file.");
  }
  return role;
}

randomization::RunIdentity run_identity(const instructions::RunSettings& settings,
                                        const std::string& instruction_file) {
  randomization::RunIdentity identity;
  identity.version = kVersion;
  identity.instruction_file = {instruction_file, instruction_checksum(instruction_file)};
  for (const instructions::NamedFile& source : instructions::named_sources(settings)) {
    // Data written inside the instruction file are in its checksum.
    if (source.name == instruction_file) continue;
    bool listed = false;
    for (const randomization::FileChecksum& file : identity.data_files) listed = listed || file.name == source.name;
    if (!listed) identity.data_files.push_back({source.name, file_checksum(source.name)});
  }
  identity.seed = settings.random_seed_keyword;
  return identity;
}

SliceLedger read_merge_slices(const CommandLine& command_line, const randomization::RunIdentity& identity,
                              const std::string& main_result_file) {
  std::vector<randomization::SliceFile> slices;
  for (std::size_t j = 0; j < command_line.slice_paths.size(); ++j) {
    const std::string& name = command_line.slice_names[j];
    std::string text;
    if (!read_whole_file(command_line.slice_paths[j], text)) {
      refuse(format("\n\nERROR: cannot read the slice file \"%s\" (%s).", name.c_str(), std::strerror(errno)));
    }
    slices.push_back(randomization::parse_slice_file(text, name));
    const std::string foreign = randomization::foreign_slice_message(slices.back(), name, identity);
    if (!foreign.empty()) core::stop_run(foreign, core::kStoppedStatus);
  }
  const std::string incomplete =
      randomization::incomplete_slices_message(slices, command_line.slice_names, main_result_file);
  if (!incomplete.empty()) core::stop_run(incomplete, core::kStoppedStatus);
  return SliceLedger::merge(std::move(slices));
}

int slice_threads(int n_threads, const char* slurm_cpus) {
  if (n_threads > 0 || !slurm_cpus) return n_threads;
  const std::string text(slurm_cpus);
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const int cpus = std::stoi(text);
  return cpus >= 1 && cpus <= instructions::kMaxThreads ? cpus : 0;
}

std::string write_slice_file(const SliceLedger& ledger, const randomization::RunIdentity& identity,
                             const std::string& main_result_file) {
  if (ledger.tests().empty()) {
    refuse(
        "\n\nERROR: this run made no randomization test (the tests it asks for need data that it does not "
        "have): there are no randomizations to share out in slices. Run it as a whole (without --slice or "
        "\"RANDOMIZATION SLICE\").");
  }
  randomization::SliceFile slice;
  slice.identity = identity;
  slice.k = ledger.k();
  slice.K = ledger.K();
  slice.tests = ledger.tests();
  const std::string name = randomization::slice_file_name(main_result_file, slice.k, slice.K);
  if (!core::write_file_anew(name, randomization::slice_file_text(slice))) {
    refuse(format("\n\nERROR: cannot create the slice file \"%s\" (%s).", name.c_str(), std::strerror(errno)));
  }
  return name;
}

}  // namespace quorvel::driver
