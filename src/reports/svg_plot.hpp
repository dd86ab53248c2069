#pragma once

#include <string>
#include <vector>

namespace quorvel::reports {

/// One curve of a figure: points joined by a line (a missing y breaks the
/// line), and/or a band between `low` and `high` at the same x (an envelope).
/// A series with no y values draws its band alone.
struct Series {
  std::string name;
  std::vector<double> x;
  std::vector<double> y;     ///< empty: no curve
  std::vector<double> low;   ///< empty: no band
  std::vector<double> high;  ///< same size as low
  int colour = 0;            ///< index into the palette; a band takes its curve's colour
};

/// A line chart with axes, a title, a subtitle naming the data, and a legend.
struct LinePlot {
  std::string title;
  std::string subtitle;
  std::string x_label;
  std::string y_label;
  std::vector<Series> series;
};

/// Self-contained SVG 1.1 text of the chart: generic font families only, no
/// scripts, no external references, so that browsers and office software
/// show it alike. Non-finite values are left out.
std::string render_svg(const LinePlot& plot);

/// Text made safe inside an XML element or attribute.
std::string xml_escape(const std::string& text);

/// Tick values for an axis over [lo, hi]: 4 to 8 "nice" numbers (1, 2 or 5
/// times a power of ten apart) covering the range.
std::vector<double> nice_ticks(double lo, double hi);

}  // namespace quorvel::reports
