#pragma once

#include "driver/run_state.hpp"

namespace quorvel::driver {

/// Takes the results table file and the figure folder from the settings and
/// names the run's data files for the figure titles.
void open_run_reports(RunState& state);

/// Writes the results table and the figures asked for, from the rows the
/// sections handed over, and says on the console where they are.
void close_run_reports(const RunState& state);

}  // namespace quorvel::driver
