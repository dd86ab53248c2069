// An inter-species trait distances file, defining the species or over the dune species.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("INTER-SPECIES TRAIT DISTANCES\tdata.txt\n");
  fuzz::load_as_run("SPECIES-PLOT MATRIX\t" + fuzz::data_set_file("dune", "dune_matrix.txt") +
                    "\nINTER-SPECIES TRAIT DISTANCES\tdata.txt\n");
  return 0;
}
