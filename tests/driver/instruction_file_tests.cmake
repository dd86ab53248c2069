# quorvel_unit_test(...) for the instruction file reader.
