#pragma once

#include <string>

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

/// Number of species of the table of divergences of `source`: the number
/// written after the keyword (inline data), or after the table's keyword
/// line "INTER-SPECIES DIVERGENCES n", checked against the lines that follow
/// (status 3); without keyword line, the rows after the first line up to the
/// first empty line or line beginning with a tab. A file is opened with the
/// generic open retry.
int scan_species_divergences(const DataSource& source);

/// Reads the square table of divergences between species of `file_name`,
/// of `n_table_species` rows and columns (scan_species_divergences), into a
/// table [0..S][0..S] (floats) over the species `species_names` [1..S]:
/// every cell, (0, 0) included, is first MISSING_VALUE; values are stored
/// symmetrically; names not among the species (first 49 characters) are
/// dropped, so row and column 0 are never written. A table may give one or
/// both triangles; a pair given twice with different values stops the run
/// (status 3, after a key press) with the "is redefined" message, and so
/// does a pair of species the table names whose two cells are both empty
/// (naming the pairs). The file is opened with the Return-waiting retry and
/// the data start after a line beginning with "INTER-SPECIES DIVERGENCES"
/// (the first line when none).
core::FMatrix read_species_divergences(const std::string& file_name, int n_table_species,
                                       const core::NameTable& species_names);

}  // namespace quorvel::input
