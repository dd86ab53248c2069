# quorvel_unit_test(...) for the plot-level sections and their tests.
