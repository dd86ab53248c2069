#pragma once

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

/// The levels of a taxonomic classification and the divergence between two
/// taxa that part at each ("TAXONOMIC DIVERGENCES L", then a line of L level
/// names from the species level up, then a line of their L divergences).
struct TaxonomicLevels {
  int n_levels = 0;                 ///< levels above the species level (L - 1); 0 when L <= 1
  core::NameTable level_names;      ///< [0..L]: the species level first, "ALL" at L ([0..0] when L <= 0)
  core::FVector level_divergences;  ///< [0..L]: entry 0 = 0
};

/// Reads the taxonomic levels of `source`: the block after the keyword
/// (inline data) or after the keyword line of a file (opened with the open
/// retry, "the taxonomic levels"; a file without it stops the run with
/// status 1). Counts the block cannot back, a missing line and a divergence
/// that is not a number stop the run.
TaxonomicLevels scan_taxonomic_divergences(const DataSource& source);

}  // namespace quorvel::input
