#pragma once

#include "driver/individual_tests.hpp"

namespace quorvel::driver {

/// The individual-level section: the check that no variable name is shared
/// by the species and individual lists, the compilation of every selection
/// test, the analysis of the pairs of individuals and its report for each
/// selection test, then the phylogeny permutation tests.
void run_individual_section(RunState& state);

}  // namespace quorvel::driver
