# The optional tables written after the observed partition.
quorvel_unit_test(optional_tables_tests
  SOURCES
    optional_tables_fixtures.cpp
    partition_fixtures.cpp
    node_decomposition_test.cpp
    diversity_indices_test.cpp
    lineages_through_time_test.cpp
    pairwise_values_test.cpp
  LIBS quorvel_partition quorvel_phylogeny)
