target_sources(quorvel_driver PRIVATE
  phylogeny_traits_section.cpp
)
