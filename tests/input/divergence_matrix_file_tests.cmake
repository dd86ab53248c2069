# Reader of the table of divergences between species.
quorvel_unit_test(divergence_matrix_file_tests SOURCES divergence_matrix_file_test.cpp LIBS quorvel_input)
