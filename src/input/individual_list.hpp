#pragma once

#include <string>

#include "core/arrays.hpp"
#include "input/data_source.hpp"

namespace quorvel::input {

/// The tables of an individual list. Columns are numbered 0..C-1: 0 the
/// spatial group, 1 and 2 the coordinates x and y, 3 the species, 4.. the
/// variables of the list.
struct IndividualList {
  /// Values [0..C-1][0..n] (single precision): group index, x, y, species
  /// index (0 = no species), then the value of a quantitative variable or the
  /// category index 1, 2, ... (order of first appearance) of a categorical one.
  core::FMatrix values;
  core::DVector x, y;                            ///< exact coordinates [0..n]
  core::NameTable group_names;                   ///< [1..n_groups]
  int n_groups = 0;                              ///< spatial groups found
  core::Vector<core::NameTable> category_names;  ///< [0..C-1]: labels [1..found] of categorical columns j >= 4
  core::IVector categories_found;                ///< [0..C-1]: labels found (0 for quantitative columns)
  core::IVector individuals_per_species;         ///< [0..S]: entry 0 counts individuals without species
  core::NameTable species_names;                 ///< [0..S]: the species in order of first appearance
};

/// The header of an individual list: its counts, its column names and the
/// number of distinct species among its individuals.
struct IndividualListHeader {
  bool counts_read = false;  ///< false: the counts could not be read (reported); the list is not used
  int n_individuals = 0;
  int n_columns = 0;                 ///< the four fixed columns (group, x, y, species) and the variables
  core::NameTable column_names;      ///< [0..C-1]
  core::IVector column_categories;   ///< [0..C-1]: 0 = n_individuals, 3 = species, j >= 4 categories (0 quantitative)
  int n_species = 0;                 ///< distinct species names (a name beginning with "0" is no species)
  bool unreadable_category = false;  ///< a "#" cell without a number (reported; the run stops after the scans)
};

/// Reads the counts ("INDIVIDUAL", a tabulation, the numbers of individuals
/// and of variables), the header line and the species names of the list of
/// `source` (the file is opened with the open retry naming "the individual
/// list" and must hold the keyword line). Unreadable counts are reported
/// and give a header with `counts_read` false; a header without the cells
/// announced, fewer individual lines than announced, and malformed species
/// cells stop the run.
IndividualListHeader scan_individual_list(const DataSource& source);

/// Reads the individual list of `file_name` with the counts and columns of
/// `header` (scan_individual_list), from its required "INDIVIDUAL" keyword
/// line (the header line after it is skipped). Species take their indices
/// in order of first appearance (a name beginning with "0" means no
/// species); a list holding another number of species than the header
/// counted stops the run (status 344). A categorical column holding more
/// labels than announced is reported and the run goes on. Malformed cells
/// stop the run with a message naming the file and the data line (status
/// 1); an x or y cell must hold a whole number.
IndividualList read_individual_list(const std::string& file_name, const IndividualListHeader& header);

}  // namespace quorvel::input
