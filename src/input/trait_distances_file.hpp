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

/// The distances between species of one or more trait distance variables.
struct TraitDistances {
  core::NameTable variable_names;        ///< [0..M] (matrix layout: the header's first cell, "var" when empty)
  core::Vector<core::FMatrix> matrices;  ///< [1..M], each [0..S][0..S]: MISSING_VALUE unless read, diagonal 0
  core::NameTable species_names;         ///< [0..n] the species met in file order, when the file defines them
  int n_found = 0;                       ///< species of the run the file gives (the file's own: n)
  int n_named = 0;                       ///< distinct species the file names, of the run or not
};

/// Reads the inter-species trait distances of `file_name` (optional keyword
/// line "INTER-SPECIES TRAIT DISTANCES", then a header line and
/// `header.n_rows` lines) in the layout of `header` (kTraitDistanceMatrixLayout
/// or M >= 1 distance variables per pair line). With `known_species` (the
/// species of the run, [1..S]) names are looked up in it and pairs of other
/// species are ignored; the matrices span species 0..S. Without (nullptr),
/// the file defines the species, in the order they are met. Values are
/// stored symmetrically (single precision). A pair given two different
/// values stops the run (status 3, after a key press); known species absent
/// from the file are reported on the console only.
TraitDistances read_trait_distances(const std::string& file_name, const TraitDistanceHeader& header,
                                    const core::NameTable* known_species);

}  // namespace quorvel::input
