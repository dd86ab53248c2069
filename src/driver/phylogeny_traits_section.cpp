#include "driver/phylogeny_traits_section.hpp"

namespace quorvel::driver {

void run_phylogeny_traits_section(RunState& /*state*/) {}

}  // namespace quorvel::driver
