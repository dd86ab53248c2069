# The optional tables written after the observed partition.
quorvel_unit_test(optional_tables_tests
  SOURCES
    optional_tables_fixtures.cpp
    partition_fixtures.cpp
    node_decomposition_test.cpp
    diversity_indices_test.cpp
    lineages_through_time_test.cpp
    undefined_cells_test.cpp
  LIBS quorvel_partition quorvel_phylogeny quorvel_reports)

# The reviewed expected tables of the end-to-end cases against the values of
# an independent reference implementation (tests/data/reference).
foreach(check
    "dune_outputs dune/expected-instr_outputs nodes_outputs.txt diversity_outputs.txt lineages_outputs.txt pairwise_outputs.txt"
    "dune_outputs_main dune/expected-instr_outputs_main results_outputs_main.txt"
    "dune_outputs_divergences dune/expected-instr_divergences results_divergences.txt"
    "dune_outputs_categories dune/expected-instr_categories pairwise_categories.txt"
    "plots_mite_pairwise mite/expected-instr results.txt"
    "doubs_outputs doubs/expected-instr_outputs nodes_outputs.txt diversity_outputs.txt lineages_outputs.txt pairwise_outputs.txt")
  separate_arguments(check)
  list(POP_FRONT check case_name reference)
  set(files)
  foreach(file ${check})
    list(APPEND files ${PROJECT_SOURCE_DIR}/tests/data/e2e/${case_name}/expected/${file})
  endforeach()
  add_test(NAME reference.${case_name}
           COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/e2e/check_outputs.py
                   ${PROJECT_SOURCE_DIR}/tests/data/reference/${reference}.tsv ${files})
  set_tests_properties(reference.${case_name} PROPERTIES LABELS e2e)
endforeach()
