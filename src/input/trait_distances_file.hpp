#pragma once

#include <string>

#include "core/arrays.hpp"

namespace quorvel::input {

/// Layout code of an inter-species trait distance file: the square matrix of
/// one distance variable; a positive code is the list layout with that many
/// distance variables per pair line.
inline constexpr int kTraitDistanceMatrixLayout = -1;

/// The size and layout of an inter-species trait distance file.
struct TraitDistanceHeader {
  int n_rows = 0;  ///< data lines: species of a matrix, pairs of a list
  int layout = 0;  ///< kTraitDistanceMatrixLayout, or the number of distance variables of a list
};

/// Reads the size and layout of the trait distance file `file_name` (opened
/// with the generic open retry): from its keyword line "INTER-SPECIES TRAIT
/// DISTANCES rows layout", checked against the lines and columns that follow
/// (status 3); otherwise from the file: a square matrix when a row begins
/// with one of the first two column names, else a list with one distance
/// variable per filled header cell after the two species columns; the rows
/// run to the first empty line or line beginning with a tab.
TraitDistanceHeader scan_trait_distances(const std::string& file_name);

/// Reads inter-species trait distances from `file_name` (optional keyword
/// line "INTER-SPECIES TRAIT DISTANCES", then a header line and `n_data_lines`
/// lines). `layout` is kTraitDistanceMatrixLayout or the number M >= 1 of
/// distance variables of the list layout.
/// With `build_species_list` false, names are looked up in `species_names`
/// [1..n_known_species] and pairs of other species are ignored; the matrices
/// span species 0..n_known_species. With it true (no other species list in
/// the run), `species_names` is replaced by the names met in file order,
/// [0..n], and the matrices span 0..n.
/// `variable_names` becomes [0..M] (matrix layout: the header's first cell,
/// "var" when empty) and `distances` [1..M], every cell MISSING_VALUE unless
/// read; values are stored symmetrically (single precision).
/// Returns the number of species found in the file (build mode: n);
/// `n_named`, when given, receives the number of distinct species the file
/// names, species of the run or not. A pair
/// given two different values stops the run (status 0, after a key press);
/// known species absent from the file are reported on the console only.
int read_trait_distances(const std::string& file_name, int n_known_species, int n_data_lines, int layout,
                         bool build_species_list, core::NameTable& species_names, core::NameTable& variable_names,
                         core::Vector<core::FMatrix>& distances, int* n_named = nullptr);

}  // namespace quorvel::input
