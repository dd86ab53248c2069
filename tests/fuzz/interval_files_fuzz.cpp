// Distance, regression and divergence interval files.
#include <cstddef>
#include <cstdint>
#include <string>

#include "input/interval_files.hpp"

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  fuzz::prepare();
  fuzz::write_input("data.txt", data, size);
  fuzz::run_guarded([] { input::read_distance_intervals("data.txt"); });
  fuzz::run_guarded([] { input::read_regression_intervals("data.txt"); });
  fuzz::run_guarded([] { input::read_divergence_intervals("data.txt", 120.0f); });
  return 0;
}
