#pragma once

#include <string>
#include <vector>

#include "reports/figures.hpp"
#include "reports/run_reports.hpp"

namespace quorvel::reports {

/// The one-page report of a run (HTML5, one file): the data description, a
/// table per analysis section of its global statistics (every value without
/// a class or interval index) with the two-sided P-value of each test, and
/// every figure with its caption. The figures are embedded (`svgs[i]`, the SVG
/// text of `figures[i]`, as data URIs), the styles are inline and there is no
/// script, font or link that needs a network: the file alone can be sent and
/// read offline.
std::string report_page(const RunReports& reports, const std::vector<Figure>& figures,
                        const std::vector<std::string>& svgs);

/// The scopes whose values the page's tables show.
bool global_scope(const std::string& scope);

/// `bytes` in base64 (RFC 4648, with padding).
std::string base64(const std::string& bytes);

}  // namespace quorvel::reports
