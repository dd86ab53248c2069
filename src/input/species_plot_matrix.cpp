#include "input/species_plot_matrix.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "core/text_output.hpp"
#include "input/community_counts.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// An empty cell: nothing but spaces before the next tab or the line end.
bool cell_is_empty(const char* cell) {
  while (*cell == ' ') ++cell;
  return *cell == '\0' || *cell == '\t' || *cell == '\n' || *cell == '\r';
}

// Reads the header line: plot names from cells 2..P+1, blank-free words of
// at most 50 characters.
void read_matrix_header(const std::string& header, const std::string& file_name, int n_plots,
                        core::NameTable& plot_names) {
  const char* position = header.c_str();
  for (int p = 1; p <= n_plots; ++p) {
    const char* tab = std::strchr(position, '\t');
    if (!tab || cell_is_empty(tab + 1)) {
      core::stop_run(core::format("\nERROR: In species-plot file %s, the header line names only %d plots; %d were "
                                  "announced.\nPress any key to stop.",
                                  file_name.c_str(), p - 1, n_plots),
                     0);
    }
    position = tab + 1;
    scan_word(position, plot_names[p], kLongNameLimit);
  }
}

[[noreturn]] void stop_on_cell(const std::string& file_name, const std::string& species, const std::string& plot) {
  core::stop_run(core::format("ERROR: In species-plot file %s, cannot read the number of individuals of species %s in "
                              "plot %s ",
                              file_name.c_str(), species.c_str(), plot.c_str()),
                 0);
}

}  // namespace

bool same_name(const std::string& a, const std::string& b) { return a.compare(0, kNameLimit, b, 0, kNameLimit) == 0; }

int find_name(const core::NameTable& names, int count, const std::string& name) {
  for (int i = 1; i <= count; ++i) {
    if (same_name(names[i], name)) return i;
  }
  return 0;
}

void update_data_type_code(int& data_type, double value) {
  if (data_type == kRelativeAbundances) return;
  if (std::trunc(value) != value) {
    data_type = kRelativeAbundances;
  } else if (value != 0 && value != 1) {
    data_type = kIndividualCounts;
  }
}

void finish_relative_abundances(int n_plots, int n_species, const core::NameTable& plot_names,
                                core::DMatrix& abundances) {
  double grand_total = 0;
  for (int p = 1; p <= n_plots; ++p) grand_total += abundances(p, 0);
  abundances(0, 0) = grand_total;
  for (int p = 0; p <= n_plots; ++p) {
    const double total = abundances(p, 0);
    if (total == 0) {
      // An empty plot has no composition: its relative abundances are set to
      // 0 rather than 0/0, and the user is told which plot it is.
      if (p >= 1) {
        core::console_printf("\nWARNING: plot %s has no individuals (total 0): its relative abundances are set to 0",
                             plot_names[p].c_str());
      }
      for (int s = 1; s <= n_species; ++s) abundances(p, s) = 0;
      continue;
    }
    for (int s = 1; s <= n_species; ++s) abundances(p, s) /= total;
  }
}

void read_species_plot_matrix(const std::string& file_name, int n_plots, core::NameTable& plot_names, int n_species,
                              core::NameTable& species_names, core::DMatrix& abundances, int& data_type) {
  core::TextInput file;
  open_data_file(file, file_name, "the species-plot matrix");
  std::string line;
  const bool has_keyword = file.find_keyword_line(kMatrixKeyword, line);
  if (!has_keyword) file.rewind();
  if (!file.read_line(line)) {
    core::stop_run(core::format("\nERROR: In species-plot file %s, the header line with the plot names is "
                                "missing.\nPress any key to stop.",
                                file_name.c_str()),
                   0);
  }

  plot_names = core::name_table(0, n_plots);
  species_names = core::name_table(0, n_species);
  abundances = core::dmatrix(0, n_plots, 0, n_species);
  data_type = kPresenceAbsence;
  read_matrix_header(line, file_name, n_plots, plot_names);

  for (int s = 1; s <= n_species; ++s) {
    if (!file.read_line(line)) line.clear();
    // A missing line reads as an empty one, so it stops the run like a blank
    // line would.
    read_name_field(line.c_str(), species_names[s], kNameLimit, file_name, 0);
    strip_line_end(species_names[s]);
    const char* position = line.c_str();
    for (int p = 1; p <= n_plots; ++p) {
      const char* tab = std::strchr(position, '\t');
      if (!tab || cell_is_empty(tab + 1)) stop_on_cell(file_name, species_names[s], plot_names[p]);
      position = tab + 1;
      double value = 0;
      if (!scan_double(position, value)) stop_on_cell(file_name, species_names[s], plot_names[p]);
      abundances(p, s) = value;
      abundances(p, 0) += value;
      abundances(0, s) += value;
      update_data_type_code(data_type, value);
    }
  }
  finish_relative_abundances(n_plots, n_species, plot_names, abundances);
}

namespace {

// Counts written back: the relative abundance times the plot total, rounded.
long long count_of(const core::DMatrix& abundances, int p, int s) {
  return static_cast<long long>(abundances(p, s) * abundances(p, 0) + 0.5);
}

std::string triplet_text(int data_type, int n_plots, int n_species, const core::DMatrix& abundances,
                         const core::NameTable& plot_names, const core::NameTable& species_names) {
  std::string text;
  for (int p = 1; p <= n_plots; ++p) {
    for (int s = 1; s <= n_species; ++s) {
      if (abundances(p, s) == 0) continue;
      const char* plot = plot_names[p].c_str();
      const char* species = species_names[s].c_str();
      if (data_type == kPresenceAbsence) {
        text += core::format("%s\t1\t%s\n", plot, species);
      } else if (data_type == kRelativeAbundances) {
        text += core::format("%s\t%g\t%s\n", plot, abundances(p, s), species);
      } else {
        text += core::format("%s\t%lld\t%s\n", plot, count_of(abundances, p, s), species);
      }
    }
  }
  return text;
}

std::string matrix_text(int data_type, int n_plots, int n_species, const core::DMatrix& abundances,
                        const core::NameTable& plot_names, const core::NameTable& species_names) {
  std::string text;
  for (int p = 1; p <= n_plots; ++p) text += "\t" + plot_names[p];
  for (int s = 1; s <= n_species; ++s) {
    text += "\n" + species_names[s];
    for (int p = 1; p <= n_plots; ++p) {
      if (data_type == kPresenceAbsence) {
        text += abundances(p, s) == 0 ? "\t0" : "\t1";
      } else if (data_type == kRelativeAbundances) {
        text += core::format("\t%g", abundances(p, s));
      } else {
        text += core::format("\t%lld", count_of(abundances, p, s));
      }
    }
  }
  return text;
}

}  // namespace

void write_converted_data(const std::string& conversion_file, const std::string& matrix_source, int data_type,
                          int n_plots, int n_species, const core::DMatrix& abundances,
                          const core::NameTable& plot_names, const core::NameTable& species_names) {
  const std::string text = matrix_source.empty()
                               ? matrix_text(data_type, n_plots, n_species, abundances, plot_names, species_names)
                               : triplet_text(data_type, n_plots, n_species, abundances, plot_names, species_names);
  core::write_file_anew(conversion_file, text);  // skipped silently when it cannot be created
}

}  // namespace quorvel::input
