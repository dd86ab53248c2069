#Reader of the table of divergences between species.
target_sources(quorvel_input PRIVATE divergence_matrix_file.cpp)
