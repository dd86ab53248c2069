#include "driver/slices.hpp"

#include <cerrno>
#include <cstring>

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

[[noreturn]] void refuse(const std::string& message) { core::stop_run(message + kStop, core::kStoppedStatus); }

std::uint64_t file_checksum(const std::string& name) {
  std::string content;
  if (!randomization::read_whole_file(name, content)) {
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
  if (!randomization::read_whole_file(name, content)) {
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

SliceLedger::Role slice_role(const instructions::CommandLine& command_line, const instructions::RunSettings& settings,
                             int& k, int& K) {
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

std::string write_slice_file(const randomization::SliceFile& slice, const std::string& main_result_file) {
  if (slice.tests.empty()) {
    refuse(
        "\n\nERROR: this run made no randomization test (the tests it asks for need data that it does not "
        "have): there are no randomizations to share out in slices. Run it as a whole (without --slice or "
        "\"RANDOMIZATION SLICE\").");
  }
  const std::string name = randomization::slice_file_name(main_result_file, slice.k, slice.K);
  if (!core::write_file_anew(name, randomization::slice_file_text(slice))) {
    refuse(format("\n\nERROR: cannot create the slice file \"%s\" (%s).", name.c_str(), std::strerror(errno)));
  }
  return name;
}

}  // namespace quorvel::driver
