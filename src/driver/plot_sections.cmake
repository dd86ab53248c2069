target_sources(quorvel_driver PRIVATE
  plot_sections.cpp
)
