#include "reports/pairwise_values_text.hpp"

#include <algorithm>
#include <cmath>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "core/format.hpp"

namespace quorvel::reports {

namespace {

using partition::kStatisticI;
using partition::kStatisticPI;
using partition::PairSelection;
using partition::PairwiseStatMatrix;

const char* const kPlotTitles[5] = {"", "Pairwise Ist", "Pairwise Pst", "Pairwise P*st", "Pairwise PIst"};
const char* const kIndividualTitles[5] = {"", "Pairwise Iij", "Pairwise Pij", "Pairwise P*ij", "Pairwise PIij"};

const char* title(const PairwiseValuesInput& in, int code) {
  if (code < kStatisticI || code > kStatisticPI) return "";
  return in.data_level == 1 ? kIndividualTitles[code] : kPlotTitles[code];
}

// The column form lists the pairs of the selection's kind: within one
// category, between two, or of one pairwise category; the named categories
// of modes 1 and 2 are not consulted, so every pair of that kind has a row.
bool listed(const PairSelection& selection, int k, int l) {
  switch (selection.mode) {
    case 1:
      return selection.categories == nullptr || (*selection.categories)[k] == (*selection.categories)[l];
    case 2:
      return selection.categories == nullptr || (*selection.categories)[k] != (*selection.categories)[l];
    case 3:
      return selection.pairwise_categories == nullptr ||
             (*selection.pairwise_categories)[k][l] == static_cast<float>(selection.key1);
    default:
      return true;
  }
}

double coordinate(const core::DVector* values, int k) {
  if (values == nullptr || k < values->lo() || k > values->hi()) return 0.0;
  return (*values)[k];
}

double spatial_distance(const PairwiseValuesInput& in, int k, int l) {
  const bool from_coordinates = in.distances == nullptr || in.distances->empty() || (*in.distances)(0, 0) == 0.0;
  if (from_coordinates) {
    if (in.data_level == 1 && in.groups != nullptr && (*in.groups)[k] == (*in.groups)[l]) return -1.0;
    const double dx = coordinate(in.x, k) - coordinate(in.x, l);
    const double dy = coordinate(in.y, k) - coordinate(in.y, l);
    return std::sqrt(dx * dx + dy * dy);
  }
  return (*in.distances)(k, l);
}

std::string matrix_form(const PairwiseValuesInput& in) {
  const int n = in.n_plots;
  const core::NameTable& names = *in.plot_names;
  std::string out = "\n\nPAIRWISE VALUES written as matrices";
  for (const int code : in.statistics) {
    const PairwiseStatMatrix& w = in.matrices[code];
    out += "\n\n";
    out += title(in, code);
    for (int k = 1; k <= n; ++k) out += "\t" + names[k];
    for (int j = 1; j <= n; ++j) {
      out += "\n" + names[j];
      for (int k = 1; k <= n; ++k)
        out += k == j ? std::string("\t") : core::tab_cell("%.4f", w(std::min(j, k), std::max(j, k)));
    }
  }
  return out;
}

std::string column_form(const PairwiseValuesInput& in) {
  const int n = in.n_plots;
  const core::NameTable& names = *in.plot_names;
  std::string out = "\n\n\nPAIRWISE VALUES written in column form\nName i\tName j\tN\xB0i\tN\xB0j\tSpatial dist";
  for (const int code : in.statistics) out += std::string("\t") + title(in, code);
  for (int k = 1; k <= n; ++k) {
    for (int l = k + 1; l <= n; ++l) {
      if (!listed(in.selection, k, l)) continue;
      // A pair the distance file leaves out has no distance: an empty cell.
      out += core::format("\n%s\t%s\t%i\t%i\t", names[k].c_str(), names[l].c_str(), k, l) +
             core::format_cell("%G", spatial_distance(in, k, l));
      for (const int code : in.statistics) out += core::tab_cell("%.6f", in.matrices[code](k, l));
    }
  }
  out += "\n\nDiversity coefficients within each plot\tn\xB0 plot\tDi\tDp\tDELTA";
  for (int k = 1; k <= n; ++k) {
    out += core::format("\n%s\t%i", names[k].c_str(), k);
    for (const int code : in.statistics) out += core::tab_cell("%.6f", in.matrices[code](k, k));
  }
  return out;
}

}  // namespace

std::string pairwise_values_text(const PairwiseValuesInput& input) {
  std::string out;
  if (input.form < 1) out += matrix_form(input);
  if (input.form >= 0) out += column_form(input);
  return out;
}

}  // namespace quorvel::reports
