#pragma once

#include <string>

#include "core/arrays.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "input/community_counts.hpp"

namespace quorvel::input {

/// Exit status of a run stopped by data that cannot be analysed (a reader's
/// own check, not a malformed field).
inline constexpr int kDataStopStatus = core::kStoppedStatus;

/// Largest abundance accepted: 2^53, the largest count a double holds exactly.
inline constexpr double kMaxAbundance = 9007199254740992.0;

/// Reads the abundance that fills the cell at `cell` (a number from 0 to
/// kMaxAbundance); a negative or too large value stops the run naming the
/// file, line and column. `readable` is false (and 0 returned) when the cell
/// is empty or holds text, for the caller to report in its own words.
double read_abundance_cell(const char* cell, const std::string& file_name, int line_number, const char* line_start,
                           bool& readable);

/// Index (1..count) of `name` among names[1..count], comparing the first 49
/// characters; 0 when absent. The first match wins.
int find_name(const core::NameTable& names, int count, const std::string& name);

/// True when two names agree over their first 49 characters.
bool same_name(const std::string& a, const std::string& b);

/// Updates the data type code with one value read: 1 once a value is not a
/// whole number; 2 when whole values other than 0 and 1 appear; else 0.
void update_data_type_code(int& data_type, double value);

/// Ends the reading of community data whose raw values sit in cells (p, s),
/// with plot totals in column 0 and species totals in row 0: sets the grand
/// total (0, 0) and divides every cell (p, s), s >= 1, by its row total, so
/// rows hold relative abundances. A plot of total 0 keeps relative
/// abundances 0 and gets a console warning naming it.
void finish_relative_abundances(int n_plots, int n_species, const core::NameTable& plot_names,
                                core::DMatrix& abundances);

/// Community data: the species found in the plots and their abundances.
struct Community {
  core::NameTable species_names;  ///< [0..S]
  core::NameTable plot_names;     ///< [0..P]
  /// [0..P][0..S] doubles: relative abundances, column 0 the plot totals, row
  /// 0 the pooled sample, (0, 0) the grand total.
  core::DMatrix abundances;
  int data_type = kPresenceAbsenceData;  ///< what the values read were (update_data_type_code)

  int n_plots() const { return plot_names.hi(); }
  int n_species() const { return species_names.hi(); }
};

/// Reads the species-plot matrix of `file_name` (header line of plot names,
/// then one line per species: name and one value per plot) of the size that
/// `counts` gives. A "SPECIES-PLOT MATRIX" keyword line, when present,
/// stands just before the header line. The header and the species lines are
/// checked against the counts before any table is allocated. A cell without
/// a number (missing, empty or text), a negative value, or a value in a
/// column beyond the header's plots stops the run.
Community read_species_plot_matrix(const std::string& file_name, const CommunityHeader& counts);

}  // namespace quorvel::input
