#pragma once

#include "driver/run_state.hpp"

namespace quorvel::driver {

/// Writes the banner (file only) and the description of every data set and
/// instruction of the run at the head of the main result file, echoing the
/// description on the console. Ends with the random seed in use, so that
/// every result file can be reproduced. Returns the description (the text
/// echoed), for the report page.
std::string write_data_description(const RunState& state);

}  // namespace quorvel::driver
