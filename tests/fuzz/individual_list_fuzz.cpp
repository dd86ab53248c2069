// An individual list: its header scanned, then the list read, as a run loads it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("INDIVIDUALS\tdata.txt\n");
  return 0;
}
