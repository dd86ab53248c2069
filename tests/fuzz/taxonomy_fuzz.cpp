// A species taxonomy made into a tree, with the dune taxonomic divergences.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("SPECIES TRAITS\tdata.txt\nSPECIES TAXONOMY\tdata.txt\nTAXONOMIC DIVERGENCES\t" +
                    fuzz::data_set_file("dune", "dune_taxdiv.txt") + "\n");
  return 0;
}
