quorvel_unit_test(community_data_tests
  SOURCES
    interval_files_test.cpp
    pairwise_categories_test.cpp
    plot_distances_test.cpp
    plot_list_test.cpp
    community_matrix_test.cpp
    triplet_table_test.cpp
  LIBS quorvel_input)
