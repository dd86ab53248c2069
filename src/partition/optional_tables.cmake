# The optional tables computed after the observed partition: decomposition by
# tree node, plot diversity and similarity, lineages through time.
target_sources(quorvel_partition PRIVATE
  clade_order.cpp
  diversity_indices.cpp
  lineages_through_time.cpp
  node_decomposition.cpp
)
