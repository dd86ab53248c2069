# Species traits, their standard errors and inter-species trait distances.
target_sources(quorvel_input PRIVATE
  species_traits.cpp
  trait_distances_file.cpp
)
