// An instruction file with inline data blocks, read and loaded as a run does.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  // File names stay inside the working folder: no path separators.
  if (std::find(data, data + size, static_cast<std::uint8_t>(0x2F)) != data + size ||
      std::find(data, data + size, static_cast<std::uint8_t>(0x5C)) != data + size) {
    return 0;
  }
  fuzz::load_as_run(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
