quorvel_unit_test(species_traits_tests
  SOURCES species_traits_test.cpp species_lists_test.cpp trait_distances_file_test.cpp taxonomic_levels_test.cpp
          tree_file_test.cpp
  LIBS quorvel_input)
