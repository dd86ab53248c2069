#include "driver/plot_sections.hpp"

namespace quorvel::driver {

void run_plots_phylogeny_section(RunState& /*state*/) {}

void run_plots_traits_section(RunState& /*state*/) {}

}  // namespace quorvel::driver
