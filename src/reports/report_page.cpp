#include "reports/report_page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/constants.hpp"
#include "core/format.hpp"
#include "reports/markup_text.hpp"

namespace quorvel::reports {

namespace {

// Inline styles: generic fonts, nothing fetched.
const char* const kStyle =
    "body{font-family:sans-serif;line-height:1.4;max-width:64em;margin:1.5em auto;padding:0 1em;color:#1a1a1a;"
    "background:#ffffff}\n"
    "h1{font-size:1.5em}h2{font-size:1.25em;margin-top:1.8em;border-bottom:1px solid #cccccc}"
    "h3{font-size:1.05em;margin-top:1.4em}\n"
    "pre{white-space:pre-wrap;background:#f4f4f4;padding:.7em;font-size:.85em}\n"
    "table{border-collapse:collapse;font-size:.88em;margin:.5em 0}"
    "th,td{border:1px solid #c8c8c8;padding:.2em .5em;text-align:left;vertical-align:top}"
    "th{background:#eeeeee;font-weight:bold}td.number{text-align:right;white-space:nowrap}\n"
    "figure{margin:1.6em 0}img{max-width:100%;height:auto;border:1px solid #dddddd}"
    "figcaption{font-size:.9em;margin-top:.4em}p.note{font-size:.9em;color:#444444}\n";

struct SectionName {
  const char* section;
  const char* heading;
};
constexpr SectionName kSections[] = {{kPlotsPhylogenySection, "Plots x phylogeny"},
                                     {kPlotsTraitsSection, "Plots x traits"},
                                     {kPhylogenyTraitsSection, "Phylogeny x traits"},
                                     {kIndividualsSection, "Individuals"}};

std::string cell(double value) { return std::isfinite(value) ? core::format("%.6g", value) : std::string(); }

// The lines of the data description, with runs of blank lines made one.
std::string description_text(const std::string& description) {
  std::string out;
  std::size_t at = 0;
  bool blank = true;  // no blank line at the start
  while (at < description.size()) {
    std::size_t end = description.find('\n', at);
    if (end == std::string::npos) end = description.size();
    std::string line = description.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (line.empty()) {
      if (!blank) out += '\n';
      blank = true;
      continue;
    }
    out += xml_escape(line) + '\n';
    blank = false;
  }
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
  return out;
}

// A test of a section's table: its label, its randomizations, and its
// two-sided P-value per row.
struct PageTest {
  randomization::TestIdentity id;
  std::string label;
  int n = 0;
};

struct PageRow {
  std::string statistic;
  std::string scope;
  double value = MISSING_VALUE;
  std::vector<double> p;  // per test
};

std::string section_table(const ResultsTable& table, const char* section) {
  std::vector<PageRow> rows;
  std::vector<PageTest> tests;
  auto row_of = [&](const TableRow& row) -> PageRow& {
    auto found = std::find_if(rows.begin(), rows.end(),
                              [&](const PageRow& r) { return r.statistic == row.statistic && r.scope == row.scope; });
    if (found != rows.end()) return *found;
    rows.push_back({row.statistic, row.scope, row.value, {}});
    return rows.back();
  };
  auto wanted = [&](const TableRow& row) {
    return row.section == section && row.index == kNoIndex && global_scope(row.scope);
  };
  auto label_of = [](const TableRow& row) { return row.test_label.empty() ? row.test : row.test_label; };
  // The tests in the order of the figures' legends: by kind, then number.
  for (const TableRow& row : table.rows) {
    if (!wanted(row) || row.test.empty()) continue;
    const std::string label = label_of(row);
    auto test = std::find_if(tests.begin(), tests.end(), [&](const PageTest& t) { return t.label == label; });
    if (test == tests.end())
      tests.push_back({row.test_id, label, row.n});
    else
      test->n = std::max(test->n, row.n);
  }
  std::stable_sort(tests.begin(), tests.end(), [](const PageTest& a, const PageTest& b) {
    return a.id.kind != b.id.kind ? a.id.kind < b.id.kind : a.id.number < b.id.number;
  });
  for (const TableRow& row : table.rows) {
    if (!wanted(row)) continue;
    PageRow& page_row = row_of(row);
    if (row.test.empty()) {
      page_row.value = row.value;
      continue;
    }
    const std::string label = label_of(row);
    const auto test = std::find_if(tests.begin(), tests.end(), [&](const PageTest& t) { return t.label == label; });
    const auto t = static_cast<std::size_t>(test - tests.begin());
    if (page_row.p.size() <= t) page_row.p.resize(t + 1, MISSING_VALUE);
    page_row.p[t] = row.p_two_sided;
  }
  if (rows.empty()) return std::string();
  std::string out = "<table>\n<tr><th>statistic</th><th>scope</th><th>value</th>";
  for (const PageTest& test : tests)
    out += "<th>P, " + xml_escape(test.label) + core::format(" (%i randomizations)</th>", test.n);
  out += "</tr>\n";
  for (const PageRow& row : rows) {
    out += "<tr><td>" + xml_escape(row.statistic) + "</td><td>" + xml_escape(row.scope) + "</td><td class=\"number\">" +
           cell(row.value) + "</td>";
    for (std::size_t t = 0; t < tests.size(); ++t) {
      const double p = t < row.p.size() ? row.p[t] : MISSING_VALUE;
      out += "<td class=\"number\">";
      out += std::isfinite(p) && p < 0.05 ? "<strong>" + cell(p) + "</strong>" : cell(p);
      out += "</td>";
    }
    out += "</tr>\n";
  }
  return out + "</table>\n";
}

}  // namespace

bool global_scope(const std::string& scope) {
  for (const char* global : {kPoolScope, kWithinScope, kAmongScope, kGlobalScope, kPairScope, kRegressionScope})
    if (scope == global) return true;
  return false;
}

std::string base64(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 63u] : '=';
  }
  return out;
}

std::string report_page(const RunReports& reports, const std::vector<Figure>& figures,
                        const std::vector<std::string>& svgs) {
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += core::format("<title>Quorvel %s results</title>\n", kVersion);
  out += std::string("<style>\n") + kStyle + "</style>\n</head>\n<body>\n";
  out += core::format("<h1>Quorvel %s results</h1>\n", kVersion);
  if (!reports.data_files.empty()) out += "<p>" + xml_escape(reports.data_files) + "</p>\n";

  out += "<h2>Data and instructions</h2>\n<pre>" + description_text(reports.data_description) + "</pre>\n";

  std::string tables;
  for (const SectionName& section : kSections) {
    const std::string table = section_table(reports.table, section.section);
    if (!table.empty()) tables += std::string("<h3>") + section.heading + "</h3>\n" + table;
  }
  if (!tables.empty()) {
    out += "<h2>Global statistics</h2>\n" + tables;
    out +=
        "<p class=\"note\">P: the two-sided P-value of each test (in bold below 0.05); the results table gives the "
        "one-sided P-values and the envelopes too.</p>\n";
  }

  if (!figures.empty()) out += "<h2>Figures</h2>\n";
  for (std::size_t i = 0; i < figures.size() && i < svgs.size(); ++i) {
    const PanelFigure& plot = figures[i].plot;
    out += "<figure>\n<img src=\"data:image/svg+xml;base64," + base64(svgs[i]) + "\" alt=\"" + xml_escape(plot.title) +
           "\">\n";
    out += core::format("<figcaption><strong>Figure %i.</strong> ", static_cast<int>(i + 1)) + xml_escape(plot.title) +
           ". " + xml_escape(plot.description) + " File: " + xml_escape(figures[i].file_name) +
           ".</figcaption>\n</figure>\n";
  }
  return out + "</body>\n</html>\n";
}

}  // namespace quorvel::reports
