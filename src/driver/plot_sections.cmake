target_sources(quorvel_driver PRIVATE
  plot_randomization_loops.cpp
  plot_section_data.cpp
  plot_sections.cpp
  plot_test_engine.cpp
  plot_test_store.cpp
  plot_tests.cpp
)
