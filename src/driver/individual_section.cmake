# The individual level: the individual-level section and its phylogeny
# permutation tests.
target_sources(quorvel_driver PRIVATE
  individual_section.cpp
  individual_tests.cpp
)
