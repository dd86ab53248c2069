#pragma once

#include <string>

#include "driver/run_inputs.hpp"

namespace quorvel::driver {

/// Writes the banner (file only) and the description of every data set and
/// instruction of the run at the head of the main result file, echoing the
/// description on the console, with a pause after each ten selection tests.
/// Ends with the random seed in use (`random_seed`, as the user gives it),
/// so that every result file can be reproduced. Returns the description (the
/// text shown), for the report page.
std::string write_data_description(const RunInputs& run, const DataHeaders& headers,
                                   const std::string& instruction_file, int random_seed);

}  // namespace quorvel::driver
