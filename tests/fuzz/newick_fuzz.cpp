// A Newick tree file, dated and undated, with the divergences computed from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::load_as_run("ULTRAMETRIC PHYLOGENETIC TREE\tdata.txt\n");
  fuzz::load_as_run("PHYLOGENETIC TREE\tdata.txt\n");
  return 0;
}
