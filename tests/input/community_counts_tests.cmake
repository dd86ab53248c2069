# quorvel_unit_test(...) for this group of readers.
