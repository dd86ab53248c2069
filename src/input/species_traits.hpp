#pragma once

#include <string>

#include "core/arrays.hpp"
#include "input/species_lists.hpp"

namespace quorvel::input {

// Species traits: one line per species, one cell per variable. A variable is
// quantitative (a number per species) or categorical (a blank-free label per
// species, announced in the header as "#k name" with k categories).
//
// Representation shared with the taxonomic tree builder:
// - traits matrix (single precision) over variables 0..V x species 0..S:
//   cell (v, s) is the number read (quantitative variable) or the category
//   index 1, 2, ... (categorical variable), MISSING_VALUE for an empty cell;
//   cell (0, s) holds s for every species found in the file.
// - category names: entry v (1..V) is a NameTable over 1..found holding the
//   labels of variable v in order of first appearance, so that category
//   index k of a species is named category_names[v][k]; quantitative
//   variables have an empty table. Labels beyond the announced count are
//   kept and numbered on (the run then stops, see read_species_traits).
// - categories found: IVector over 0..V, entry 0 the number of species,
//   entry v the number of distinct labels of variable v (0 if quantitative).

/// Category labels of each categorical trait variable (see above).
using TraitCategoryNames = core::Vector<core::NameTable>;

/// The traits of the species: values, category labels and the species the
/// list defines.
struct SpeciesTraits {
  core::FMatrix values;               ///< traits matrix [0..V][0..S] (see above)
  TraitCategoryNames category_names;  ///< [0..V]
  core::IVector categories_found;     ///< [0..V]: 0 = number of species
  core::NameTable species_names;      ///< [0..S]: the list's species, when it defines them (else empty)
};

/// Reads the species trait list of `file_name` (keyword line optional, then
/// the header line, then the species lines) with the counts and variables of
/// `header` (scan_species_traits). With `known_species` (the species of the
/// community data, [1..S]) species are looked up by name and lines naming
/// other species are ignored; without (nullptr) the list defines the
/// species: the file's lines in order, their names in `species_names`
/// [0..n_lines]. Labels beyond the announced count and
/// species missing from the file are reported together and end the run with
/// status 101 ("Press any key to stop now"); a malformed cell ends it
/// through the field readers (status 1).
SpeciesTraits read_species_traits(const std::string& file_name, const SpeciesListHeader& header,
                                  const core::NameTable* known_species);

/// Reads the standard errors of the trait values from `file_name` (header
/// line ignored, then up to `header.n_species` species lines, the variables
/// of the trait list `header`). Returns a table [0..V][0..n_species] of 0
/// where only the cells of the species found in `species_names`
/// [1..n_species] are written: an empty cell gives MISSING_VALUE, a
/// categorical variable gives 0, otherwise the number read. Unknown species
/// and missing lines are silent.
core::FMatrix read_species_se_traits(const std::string& file_name, const SpeciesListHeader& header,
                                     const core::NameTable& species_names, int n_species);

}  // namespace quorvel::input
