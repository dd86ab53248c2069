# quorvel_unit_test(...) for the phylogeny x traits section.
