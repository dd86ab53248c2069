#pragma once

#include <limits>

namespace quorvel {

/// The one marker of an absent value in double and float tables: positive
/// infinity. Every result writer prints it as an empty cell.
inline constexpr double MISSING_VALUE = std::numeric_limits<double>::infinity();
inline constexpr float MISSING_VALUE_F = std::numeric_limits<float>::infinity();

inline bool is_missing(double value) { return value == MISSING_VALUE; }

/// Data type codes of the community data: what its abundance values are. The
/// code follows from the values read (see input::update_data_type_code).
inline constexpr int kPresenceAbsenceData = 0;    ///< only 0 and 1
inline constexpr int kRelativeAbundanceData = 1;  ///< some value is not a whole number
inline constexpr int kCountData = 2;              ///< whole numbers of individuals, some above 1

/// Program version shown in the banner and by --version.
inline constexpr const char* kVersion = "0.10";

/// Names are copied with at most this many characters and compared over them.
inline constexpr int kNameLimit = 49;
/// A few names (plot names of a matrix header, species of an individual list)
/// are kept with one more character.
inline constexpr int kLongNameLimit = 50;
/// A line of a data file holds at most this many characters, line feed included;
/// a longer line is read in pieces.
inline constexpr int kMaxLineLength = 99999;
/// The Newick text of a tree holds at most this many characters.
inline constexpr int kMaxTreeText = 699999;

}  // namespace quorvel
