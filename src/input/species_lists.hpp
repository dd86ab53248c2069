#pragma once

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

// The headers of the two species lists: the species trait list ("SPECIES
// TRAITS") and the taxonomy list ("SPECIES TAXONOMY"). Each list opens with
// an optional keyword line carrying its counts, then a header line naming
// its columns, then one line per species. Without keyword line the counts
// are those of the file: the filled header cells after the species column,
// and every line to the end of the file (blank lines at its very end
// excepted).

/// The header of a species trait list, or of a taxonomy list read as the
/// list that carries the taxonomic levels.
struct SpeciesListHeader {
  bool counts_read = false;           ///< false: the counts could not be read (reported); the list is not used
  int n_species = 0;                  ///< species lines announced or counted (at least 1)
  int n_variables = 0;                ///< variables after the species column
  core::NameTable variable_names;     ///< [0..V]: 0 the header of the species column
  core::IVector variable_categories;  ///< [0..V]: 0 = n_species; v: categories announced ("#k name"), 0 quantitative
  bool unreadable_category = false;   ///< a "#" cell without a number (reported; the run stops after the scans)
};

/// The header of a taxonomy list.
struct TaxonomyHeader {
  bool counts_read = false;        ///< false: the counts could not be read (reported); the list is not used
  int n_species = 0;               ///< species lines announced or counted (at least 1)
  int n_columns = 0;               ///< name columns, the species column included (taxonomic levels + 1)
  core::NameTable level_names;     ///< [0..n_columns-1]: 0 the header of the species column
  core::IVector level_sizes;       ///< [0..n_columns-1]: each n_species, the most taxa a level can hold
  bool header_line_first = false;  ///< a file of its own that begins with its header line (no keyword line)
  /// The columns as categorical variables: "#k name" announces k taxa, a
  /// plain name at most one taxon per species.
  SpeciesListHeader levels_as_variables;
};

/// Reads the counts and the header line of the species trait list of
/// `source` (the file is opened with the open retry naming "the species
/// list"). Header cells "#k name" announce a categorical variable of k
/// categories; a "#" without number is reported and marked. Counts that the
/// list cannot back, and a list without species, stop the run (status 3);
/// unreadable counts on the list's keyword line are reported and give a
/// header with `counts_read` false.
SpeciesListHeader scan_species_traits(const DataSource& source);

/// As scan_species_traits for the taxonomy list ("the species taxonomy"): a
/// level without a name in the header stops the run.
TaxonomyHeader scan_species_taxonomy(const DataSource& source);

/// The taxonomy list of `source` as the species list that carries the
/// taxonomic levels, when no species trait list is given: it must be a file
/// of its own that begins with its header line, or the run stops (status 3).
SpeciesListHeader taxonomy_as_species_list(const DataSource& source, const TaxonomyHeader& taxonomy);

}  // namespace quorvel::input
