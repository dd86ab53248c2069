#include "input/taxonomic_levels.hpp"

#include <string>

#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "input/field_reading.hpp"
#include "input/keyword_lines.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

constexpr const char* kKeyword = "TAXONOMIC DIVERGENCES";

}  // namespace

TaxonomicLevels scan_taxonomic_divergences(const DataSource& source) {
  TaxonomicLevels taxonomy;
  taxonomy.level_names = core::name_table(0, 0);
  taxonomy.level_divergences = core::vector(0, 0);
  core::TextInput file;
  int levels = source.number(0);
  if (source.is_inline()) {
    open_inline_data(file, source);
  } else {
    open_data_file(file, source.file, "the taxonomic levels");
    std::string header;
    if (!file.find_keyword_line(kKeyword, header)) {
      core::stop_run(core::format("\nERROR: taxonomic classification not found in file \"%s\".\nNo line beginning "
                                  "with \"%s\" was found. \nPress any key to stop the programm now.\n",
                                  source.file.c_str(), kKeyword),
                     1);
    }
    if (read_line_numbers(after_keyword_text(header, kKeyword), &levels, 1, kKeyword, source.file, file.line_number()) <
        1) {
      core::stop_run(core::format("\n\nERROR: in file %s, \"TAXONOMIC DIVERGENCES\" must be followed by the number "
                                  "of levels.\nPress any key to stop.",
                                  source.file.c_str()),
                     core::kStoppedStatus);
    }
  }
  check_not_negative(kKeyword, levels, "levels");
  if (levels <= 0) return taxonomy;
  std::string names;
  std::string divergences;
  if (!file.read_line(names) || !file.read_line(divergences)) {
    core::stop_run(core::format("\n\nERROR: in file %s, \"TAXONOMIC DIVERGENCES\" must be followed by two lines: the "
                                "%d level names and their %d divergences.\nPress any key to stop.",
                                source.file.c_str(), levels, levels),
                   core::kStoppedStatus);
  }
  // Line numbers of the two block lines, for the field readers' messages.
  const int divergence_line = file.line_number();
  const int names_line = divergence_line - 1;
  check_cells_available(kKeyword, levels, "levels", names, 0, source.file, names_line);
  check_cells_available(kKeyword, levels, "levels", divergences, 0, source.file, divergence_line);
  taxonomy.level_names = core::name_table(0, levels);
  taxonomy.level_divergences = core::vector(0, levels);
  const char* name_cell = names.c_str();
  const char* value_cell = divergences.c_str();
  for (int j = 0; j < levels; ++j) {
    if (j > 0) {
      name_cell = next_field(name_cell, source.file, names_line);
      value_cell = next_field(value_cell, source.file, divergence_line);
    }
    taxonomy.level_names[j] = header_field(name_cell, kNameLimit);
    read_float_field(value_cell, taxonomy.level_divergences[j + 1], source.file, divergence_line);
  }
  taxonomy.level_names[levels] = "ALL";
  taxonomy.level_divergences[0] = 0.0f;
  taxonomy.n_levels = levels - 1;
  return taxonomy;
}

}  // namespace quorvel::input
