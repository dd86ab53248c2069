// Pairwise categories of the plots of a small matrix, in either layout.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/arrays.hpp"
#include "input/pairwise_categories.hpp"

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::run_guarded([] {
    core::NameTable plots = core::name_table(0, 4);
    const char* names[] = {"", "A", "B", "C", "D"};
    for (int p = 1; p <= 4; ++p) plots[p] = names[p];
    core::FMatrix categories;
    input::read_pairwise_categories("data.txt", 4, plots, categories);
  });
  return 0;
}
