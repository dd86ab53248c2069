#Reader of the table of divergences between species.
target_sources(quorvel_input PRIVATE species_divergences.cpp)
