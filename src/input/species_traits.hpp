#pragma once

#include <string>

#include "core/arrays.hpp"

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

/// Reads the species traits file `file_name` ("SPECIES TRAITS" keyword line
/// optional, then a header line, then `n_lines` species lines).
/// `variable_names` and `announced_categories` span 0..n_variables (entry 0 of
/// the names: species column title; categories: 0 for a quantitative
/// variable). With a species-plot matrix (`n_matrix_species` > 0) species are
/// looked up in `species_names` [1..n_matrix_species] and lines naming other
/// species are ignored; otherwise species are the file's lines in order and
/// their names are written into `species_names` (grown to 0..n_lines if
/// needed). `traits` is (re)allocated over 0..V x 0..S (S = n_matrix_species
/// or n_lines) and `category_names` over 0..V.
/// Returns the categories found per variable. Labels beyond the announced
/// count and species missing from the file are reported together and end the
/// run with status 101 ("Press any key to stop now"); a malformed cell ends it
/// through the field readers (status 1).
core::IVector read_species_traits(const std::string& file_name, int n_lines, int n_variables, int n_matrix_species,
                                  const core::NameTable& variable_names, const core::IVector& announced_categories,
                                  core::NameTable& species_names, core::FMatrix& traits,
                                  TraitCategoryNames& category_names);

/// Reads the standard errors of the trait values from `file_name` (header
/// line ignored, then up to `n_lines` species lines, same variables as the
/// traits file). `se` must span variables 1..n_variables x species
/// 1..n_species and be preset by the caller (usually to 0); only cells of the
/// species found in `species_names` [1..n_species] are written: an empty cell
/// gives MISSING_VALUE, a categorical variable (`categories`[v] != 0) gives 0,
/// otherwise the number read. Unknown species and missing lines are silent.
void read_species_se_traits(const std::string& file_name, int n_lines, int n_species, int n_variables,
                            const core::IVector& categories, core::FMatrix& se, const core::NameTable& species_names);

}  // namespace quorvel::input
