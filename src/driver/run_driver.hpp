#pragma once

namespace quorvel::driver {

/// The whole run, from the banner to the end stamp; returns the exit status.
int run_program(int argc, char** argv);

}  // namespace quorvel::driver
