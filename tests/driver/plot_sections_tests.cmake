# The plot-level sections and their randomization tests.
quorvel_unit_test(plot_sections_tests SOURCES plot_tests_test.cpp
                  plot_section_data_test.cpp section_order_test.cpp
                  LIBS quorvel_driver)

# The observed reports of the end-to-end cases against the values of an
# independent reference implementation (tests/data/reference).
foreach(check
    "plots_dune_tree results_tree.txt dune/expected-instr_tree"
    "plots_dune_divergences results_divergences.txt dune/expected-instr_divergences"
    "plots_dune_taxonomy results_taxonomy.txt dune/expected-instr_taxonomy"
    "plots_dune_categories results_categories.txt dune/expected-instr_categories"
    "plots_dune_within_NM results_within_NM.txt dune/expected-instr_within_NM"
    "plots_dune_between results_between.txt dune/expected-instr_between"
    "plots_dune_presence results_presence.txt dune/expected-instr_presence"
    "plots_dune_weight2 results_weight2.txt dune/expected-instr_weight2"
    "plots_mite results.txt mite/expected-instr"
    "plots_mite_eqfreq results_eqfreq.txt mite/expected-instr_eqfreq"
    "plots_mite_topo results_topo.txt mite/expected-instr_topo"
    "plots_doubs results.txt doubs/expected-instr")
  separate_arguments(check)
  list(GET check 0 case_name)
  list(GET check 1 result_file)
  list(GET check 2 reference)
  add_test(NAME reference.${case_name}
           COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/e2e/check_reference.py
                   ${PROJECT_SOURCE_DIR}/tests/data/e2e/${case_name}/expected/${result_file}
                   ${PROJECT_SOURCE_DIR}/tests/data/reference/${reference}.tsv)
  set_tests_properties(reference.${case_name} PROPERTIES LABELS e2e)
endforeach()
