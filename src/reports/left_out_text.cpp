#include "reports/left_out_text.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "core/format.hpp"
#include "reports/statistics.hpp"

namespace quorvel::reports {

using partition::kQuantityI;
using partition::kQuantityPI;
using partition::kQuantityPStar;
using partition::kQuantityS;
using partition::kStatisticP;
using partition::LeftOutPlots;
using partition::quantity_of_statistic;

namespace {

// One candidate of a line: what is left out, why, and of which plots.
struct LeftOutEntry {
  std::string what;
  std::string reason;
  std::vector<int> plots;
};

// Entries with the same plots share one line (in the order of their first
// entry, with its reason); entries without plots give none.
std::string grouped_lines(const std::vector<LeftOutEntry>& entries, const core::NameTable& names) {
  std::string out;
  std::vector<char> done(entries.size(), 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (done[i] || entries[i].plots.empty()) continue;
    std::vector<std::string> what;
    for (std::size_t j = i; j < entries.size(); ++j) {
      if (done[j] || entries[j].plots != entries[i].plots) continue;
      done[j] = 1;
      what.push_back(entries[j].what);
    }
    out += left_out_line(joined_names(what), entries[i].reason, entries[i].plots, names);
  }
  return out;
}

// Why a plot with individuals has no within value of a statistic over all
// divergences: I and P need two individuals, P* and PI two species apart.
std::string global_reason(int code, int analysis_kind) {
  if (code <= kStatisticP) return "one individual";
  return analysis_kind == 2 ? "fewer than two species with different traits" : "fewer than two species";
}

}  // namespace

std::string plot_name_list(const std::vector<int>& plots, const core::NameTable& names) {
  std::string text;
  for (std::size_t k = 0; k < plots.size() && k < static_cast<std::size_t>(kListedPlots); ++k) {
    if (k > 0) text += ", ";
    const int plot = plots[k];
    text += plot >= names.lo() && plot <= names.hi() ? names[plot] : core::format("%i", plot);
  }
  if (plots.size() > static_cast<std::size_t>(kListedPlots))
    text += core::format(" and %i more", static_cast<int>(plots.size()) - kListedPlots);
  return text;
}

std::string joined_names(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

std::string left_out_line(const std::string& what, const std::string& reason, const std::vector<int>& plots,
                          const core::NameTable& names) {
  if (plots.empty()) return std::string();
  return "\nPlots left out of " + what + " (" + reason + "): " + plot_name_list(plots, names);
}

std::string partition_left_out_lines(const PartitionReportInput& in) {
  if (!in.plot_names || !in.tables) return std::string();
  const core::NameTable& names = *in.plot_names;
  std::string out = left_out_line("the whole analysis", "no individual", in.empty_plots, names);
  // The statistics the section shows: presence/absence data show PI alone.
  const int a = static_cast<int>(in.statistics.size());
  const bool only_last = in.data_type == kPresenceAbsenceData && a >= 4;
  std::vector<LeftOutEntry> entries;
  for (int position = only_last ? 4 : 1; position <= a; ++position) {
    const int code = in.statistics[static_cast<std::size_t>(position) - 1];
    entries.push_back({statistic_description(code, in.analysis_kind).st, global_reason(code, in.analysis_kind),
                       in.tables->left_out.plots(quantity_of_statistic(code), 0)});
  }
  return out + grouped_lines(entries, names);
}

std::string interval_left_out_lines(const PartitionReportInput& in) {
  if (!in.plot_names || !in.tables || in.analysis_kind != 1 || in.n_intervals <= 2) return std::string();
  const LeftOutPlots& left_out = in.tables->left_out;
  struct Shown {
    const char* what;
    int quantity;
    const char* reason;
  };
  std::vector<Shown> shown;
  const char* apart = "no two species at most t apart";
  if (in.data_type != kPresenceAbsenceData)
    shown.insert(shown.end(), {{"Di(t)", kQuantityI, "one individual"}, {"P*st(<t)", kQuantityPStar, apart}});
  shown.insert(shown.end(), {{"Ds(t)", kQuantityS, "fewer than two species"}, {"PIst(<t)", kQuantityPI, apart}});
  // Per statistic, the columns that leave out the same plots; then the
  // statistics with the same columns and plots share a line, in the order
  // of their first column.
  struct ColumnEntry {
    std::size_t statistic;
    std::vector<int> columns;
    std::vector<int> plots;
  };
  std::vector<ColumnEntry> entries;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const std::size_t first = entries.size();
    for (int m = 1; m <= in.n_intervals; ++m) {
      std::vector<int> plots = left_out.plots(shown[i].quantity, m);
      if (plots.empty()) continue;
      auto same = std::find_if(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
                               [&](const ColumnEntry& e) { return e.plots == plots; });
      if (same != entries.end())
        same->columns.push_back(m);
      else
        entries.push_back({i, {m}, std::move(plots)});
    }
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const ColumnEntry& a, const ColumnEntry& b) { return a.columns[0] < b.columns[0]; });
  std::string out;
  std::vector<char> done(entries.size(), 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (done[i]) continue;
    std::vector<std::string> what;
    for (std::size_t j = i; j < entries.size(); ++j) {
      if (done[j] || entries[j].columns != entries[i].columns || entries[j].plots != entries[i].plots) continue;
      done[j] = 1;
      what.push_back(shown[entries[j].statistic].what);
    }
    std::vector<std::string> limits;
    for (const int m : entries[i].columns) limits.push_back(core::format("%.4g", (*in.limits)[m]));
    out += left_out_line(joined_names(what) + " at t = " + joined_names(limits), shown[entries[i].statistic].reason,
                         entries[i].plots, *in.plot_names);
  }
  return out;
}

}  // namespace quorvel::reports
