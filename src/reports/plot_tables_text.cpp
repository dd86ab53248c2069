#include "reports/plot_tables_text.hpp"

#include <cstddef>

#include "core/format.hpp"

namespace quorvel::reports {

namespace {

using partition::DiversityIndices;
using partition::LineagesThroughTime;
using partition::PlotDiversity;
using partition::PlotPairDiversity;

std::string diversity_row(const DiversityIndices& indices, const std::string& name, const PlotDiversity& row) {
  std::string out = core::format("\n%s\t%i", name.c_str(), row.richness);
  if (indices.has_divergences) out += core::tab_cell("%f", row.mean_divergence);
  if (indices.has_tree) out += core::tab_cell("%f", row.pd);
  return out;
}

std::string pair_table(const core::NameTable& names, const DiversityIndices& indices) {
  std::string out =
      "\n\n\nPHYLOGENETIC DIVERSITY FOR PLOT PAIRS\nPlot1\tPlot2\t\tNumber of shared species\tJaccard\x92s coefficient "
      "of similarity: J=(S1+S2-S1&2)/S1&2";
  if (indices.has_tree) out += "\tPJ=(PD1+PD2-PD1&2)/PD1&2";
  if (indices.has_divergences) out += "\tmean divergence btw ind\tmean divergence btw sp";
  std::size_t p = 0;
  for (int k = 1; k < indices.n_plots; ++k) {
    for (int l = k + 1; l <= indices.n_plots; ++l) {
      const PlotPairDiversity& pair = indices.pairs[p++];
      out += core::format("\n%s\t%s\t\t%i", names[k].c_str(), names[l].c_str(), pair.shared);
      out += core::tab_cell("%f", pair.jaccard);
      if (indices.has_tree) out += core::tab_cell("%f", pair.pj);
      if (indices.has_divergences) {
        out += core::tab_cell("%f", pair.mean_individual_divergence);
        out += core::tab_cell("%f", pair.mean_species_divergence);
      }
    }
  }
  return out;
}

std::string times_header(const LineagesThroughTime& lineages) {
  std::string out;
  for (const partition::LineagesAtTime& at : lineages.times) out += core::format("\t%f", at.time);
  return out;
}

// One row per plot (the pooled sample first when there are several), one
// cell per time.
template <typename Cell>
std::string plot_rows(const core::NameTable& names, const LineagesThroughTime& lineages, Cell cell_of) {
  auto row = [&](int r) {
    std::string text;
    for (const partition::LineagesAtTime& at : lineages.times) text += cell_of(at, static_cast<std::size_t>(r));
    return text;
  };
  std::string out;
  if (lineages.n_plots > 1) out += "\n\nALL plots" + row(0) + "\n";
  for (int k = 1; k <= lineages.n_plots; ++k) out += "\n" + names[k] + row(k);
  return out;
}

template <typename Values>
std::string pair_rows(const core::NameTable& names, const LineagesThroughTime& lineages, Values values_of) {
  std::string out;
  std::size_t p = 0;
  for (int k = 1; k <= lineages.n_plots; ++k) {
    for (int l = k + 1; l <= lineages.n_plots; ++l, ++p) {
      out += "\n" + names[k] + "\t" + names[l];
      for (const partition::LineagesAtTime& at : lineages.times) out += core::tab_cell("%f", values_of(at)[p]);
    }
  }
  return out;
}

}  // namespace

std::string diversity_indices_text(const core::NameTable& names, const DiversityIndices& indices) {
  std::string out = "\n\n\nDIVERSITY indices\nPlot\tSp Richness";
  if (indices.has_divergences) out += "\tMean divergence between species";
  if (indices.has_tree) out += "\tFaith's PD (total size of phylogenetic tree)";
  if (indices.n_plots > 1) out += diversity_row(indices, "All plots", indices.plots[0]) + "\n";
  for (int k = 1; k <= indices.n_plots; ++k)
    out += diversity_row(indices, names[k], indices.plots[static_cast<std::size_t>(k)]);
  if (indices.n_plots > 1) out += pair_table(names, indices);
  return out;
}

std::string lineages_through_time_text(const core::NameTable& names, const LineagesThroughTime& lineages) {
  const std::string times = times_header(lineages);
  std::string out = "\n\n\nNUMBER OF LINEAGES through TIME: \n\tTime (before present):\nPlot" + times;
  out += plot_rows(names, lineages, [](const partition::LineagesAtTime& at, std::size_t r) {
    return core::format("\t%i", at.lineages[r]);
  });
  out += "\n\n\nSIMPSON DIVERSITY of LINEAGES through TIME: \n\tTime (before present):\nPlot" + times;
  out += plot_rows(names, lineages, [](const partition::LineagesAtTime& at, std::size_t r) {
    return core::tab_cell("%f", at.simpson[r]);
  });
  if (lineages.n_plots > 1) {
    out +=
        "\n\n\nJACCARD index of LINEAGE SIMILARITY for PLOT PAIRS through TIME\nPlot1\tPlot2\tTime (before "
        "present)\n\t" +
        times + "\n";
    out += pair_rows(
        names, lineages, [](const partition::LineagesAtTime& at) -> const auto& { return at.jaccard; });
    out +=
        "\n\n\nMORISITA-HORN index of LINEAGE SIMILARITY for PLOT PAIRS through TIME\nPlot1\tPlot2\tTime (before "
        "present)\n\t" +
        times + "\n";
    out += pair_rows(
        names, lineages, [](const partition::LineagesAtTime& at) -> const auto& { return at.morisita_horn; });
  }
  return out;
}

}  // namespace quorvel::reports
