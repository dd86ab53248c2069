# Readers of the community data, plots, distances, categories and interval
# files, and the conversion writer.
target_sources(quorvel_input PRIVATE
  interval_files.cpp
  pairwise_categories.cpp
  plot_distances.cpp
  plot_list.cpp
  community_matrix.cpp
  triplet_table.cpp
)
