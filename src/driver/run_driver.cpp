#include "driver/run_driver.hpp"

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"

namespace quorvel::driver {

int run_program(int /*argc*/, char** /*argv*/) {
  try {
    core::console_printf("Quorvel %s - Spatial & Phylogenetic Analysis of Community Diversity \n", kVersion);
    core::console_print("             Program written by the Quorvel developers\n");
    return 0;
  } catch (const core::FatalError& error) {
    return core::report_fatal_error(error);
  }
}

}  // namespace quorvel::driver
