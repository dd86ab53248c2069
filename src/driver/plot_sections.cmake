target_sources(quorvel_driver PRIVATE
  plot_section_data.cpp
  plot_sections.cpp
  plot_tests.cpp
)
