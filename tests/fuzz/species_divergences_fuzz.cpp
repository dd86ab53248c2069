// A table of divergences between the species of the dune matrix.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("SPECIES-PLOT MATRIX\t" + fuzz::data_set_file("dune", "dune_matrix.txt") +
                    "\nINTER-SPECIES DIVERGENCES\tdata.txt\n");
  return 0;
}
