#include "input/triplet_table.hpp"

#include <cstdint>
#include <unordered_set>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/errors.hpp"
#include "core/format.hpp"
#include "core/text_input.hpp"
#include "input/community_counts.hpp"
#include "input/community_matrix.hpp"
#include "input/field_reading.hpp"
#include "input/open_retry.hpp"

namespace quorvel::input {

namespace {

// Index of `name` among the names met so far, appending it when new. Past
// the counted number the tables are full: the file no longer matches its
// counts.
int index_of(core::NameTable& names, int& count, int limit, const std::string& name, const std::string& file_name,
             int line_number, const char* what) {
  const int found = find_name(names, count, name);
  if (found != 0) return found;
  if (count == limit) {
    reader_error(core::format("\nERROR: In triplet file %s, line %d names more %s than the %d counted before "
                              "(%s).\nPress any key to stop.",
                              file_name.c_str(), line_number, what, limit, name.c_str()),
                 kDataStopStatus);
  }
  names[++count] = name;
  return count;
}

}  // namespace

Community read_triplets(const std::string& file_name, const CommunityHeader& counts) {
  const int n_plots = counts.n_plots;
  const int n_species = counts.n_species;
  Community data;
  core::NameTable& species_names = data.species_names;
  core::NameTable& plot_names = data.plot_names;
  core::DMatrix& abundances = data.abundances;
  int& data_type = data.data_type;
  core::TextInput file;
  open_data_file(file, file_name, "plot-abundance-species triplets");
  std::string line;
  const bool after_keyword = file.find_keyword_line(kTripletKeyword, line);
  if (!after_keyword) file.rewind();

  species_names = core::name_table(0, n_species);
  plot_names = core::name_table(0, n_plots);
  abundances = core::dmatrix(0, n_plots, 0, n_species);
  data_type = kPresenceAbsenceData;

  // Pairs already given, and pairs already warned about, as p * (S + 1) + s.
  std::unordered_set<std::int64_t> given;
  std::unordered_set<std::int64_t> warned;
  int plots_found = 0;
  int species_found = 0;
  for_each_triplet(file, file_name, after_keyword, [&](const Triplet& triplet, int line_number) {
    const int p = index_of(plot_names, plots_found, n_plots, triplet.plot, file_name, line_number, "plots");
    const int s = index_of(species_names, species_found, n_species, triplet.species, file_name, line_number, "species");
    const std::int64_t pair = static_cast<std::int64_t>(p) * (n_species + 1) + s;
    if (!given.insert(pair).second) {
      // A pair given twice most likely comes from a table assembled from
      // several sources: its values are pooled, and the user is told once.
      if (warned.insert(pair).second) {
        core::console_printf(
            "\nWARNING: In triplet file %s, species %s is given more than once in plot %s: its "
            "values are added",
            file_name.c_str(), triplet.species.c_str(), triplet.plot.c_str());
      }
    }
    abundances(p, s) += triplet.value;
    abundances(p, 0) += triplet.value;
    abundances(0, s) += triplet.value;
    update_data_type_code(data_type, triplet.value);
    update_data_type_code(data_type, abundances(p, s));
  });
  finish_relative_abundances(n_plots, n_species, plot_names, abundances);
  return data;
}

}  // namespace quorvel::input
