// A plot-abundance-species triplet table: counting pass, reader and conversion to a matrix.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run(
      "PLOT-ABUNDANCE-SPECIES TRIPLET\tdata.txt\n"
      "CONVERT PLOT-ABUNDANCE-SPECIES TRIPLET TABLE INTO SP-PLOT MATRIX\tconverted.txt\n");
  return 0;
}
