// Standard errors of the carni70 species traits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("SPECIES TRAITS\t" + fuzz::data_set_file("carni70", "carni70_traits.txt") +
                    "\nSPECIES SE-TRAITS\tdata.txt\n");
  return 0;
}
