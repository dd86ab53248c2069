# Reader of the table of divergences between species.
quorvel_unit_test(species_divergences_tests SOURCES species_divergences_test.cpp LIBS quorvel_input)
