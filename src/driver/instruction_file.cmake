target_sources(quorvel_driver PRIVATE
  instruction_file.cpp
  instruction_scan.cpp
  instruction_checks.cpp
  instruction_species_lists.cpp
  instruction_phylogeny.cpp
  instruction_plot_data.cpp
)
