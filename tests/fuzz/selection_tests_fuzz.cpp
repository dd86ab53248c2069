// A selection tests file: its numbers scanned, then the test texts read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("SELECTION TESTS\tdata.txt\n");
  return 0;
}
