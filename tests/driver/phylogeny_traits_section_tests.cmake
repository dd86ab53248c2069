# The phylogeny x traits section: in-process runs on small data and on the
# carni70 cases, checked against independent reference values.
quorvel_unit_test(phylogeny_traits_section_tests
  SOURCES phylogeny_traits_section_test.cpp phylogeny_traits_reference_test.cpp
  LIBS quorvel_driver)

# The divergence lists written by the carni70 end-to-end cases against the
# reference divergences.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
foreach(case_file signal:phylodist:instr pathlength:phylodist_pathlength:instr_pathlength)
  string(REPLACE ":" ";" parts ${case_file})
  list(GET parts 0 case)
  list(GET parts 1 list_file)
  list(GET parts 2 instruction)
  add_test(NAME e2e.traits_carni70_${case}.reference
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/e2e/check_divergence_list.py
                   ${PROJECT_BINARY_DIR}/tests/e2e/runs/traits_carni70_${case}/${list_file}.txt
                   ${PROJECT_SOURCE_DIR}/tests/data/reference/carni70/expected-${instruction}.tsv)
  set_tests_properties(e2e.traits_carni70_${case}.reference PROPERTIES LABELS e2e
                       DEPENDS e2e.traits_carni70_${case})
endforeach()
