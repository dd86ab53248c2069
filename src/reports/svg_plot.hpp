#pragma once

#include <string>
#include <vector>

#include "reports/markup_text.hpp"

namespace quorvel::reports {

/// One point of a test's envelope: its 95% envelope (low, high) at x, the
/// observed value there and the test's two-sided P-value. Missing values
/// (MISSING_VALUE) leave out the band (a gap splits it) or the mark.
struct EnvelopePoint {
  double x = 0;
  double low = 0;
  double high = 0;
  double observed = 0;
  double p_two_sided = 0;
};

/// The envelope of one test in one panel.
struct Envelope {
  int test = 0;  ///< index into PanelFigure::tests
  std::vector<EnvelopePoint> points;
};

/// One statistic: its observed curve (a missing y breaks the line) and the
/// envelope of each test that was run for it.
struct Panel {
  std::string heading;  ///< the statistic's name
  std::vector<double> x;
  std::vector<double> y;
  std::vector<Envelope> envelopes;
};

/// A tick of the x axis with a name (a taxonomic level at its divergence).
struct AxisTick {
  double value = 0;
  std::string label;
};

/// Small multiples: one panel per statistic, stacked so that they share the
/// x axis, and one legend naming the tests.
struct PanelFigure {
  std::string title;
  std::string subtitle;     ///< the data files
  std::string description;  ///< what is plotted and how the envelopes were made
  std::string x_label;
  std::string y_label;
  bool x_from_zero = true;         ///< the x axis starts at 0 (distances, divergences)
  std::vector<AxisTick> x_ticks;   ///< named ticks; empty: evenly spaced numbers
  std::vector<std::string> tests;  ///< legend name of each test, in legend order
  std::vector<Panel> panels;
};

/// Self-contained SVG 1.1 text of the figure, with its <title> and <desc>:
/// one generic font family ("sans-serif"), no scripts, styles, fonts or
/// external references, and only elements and attributes that browsers and
/// rsvg-convert draw alike. Each test has its colour, the dash pattern of its
/// envelope's edges and its symbol; the symbols on the observed values are
/// filled where the test's two-sided P-value is below 0.05. The picture's
/// height follows from the panels and the legend, laid out by text_width(),
/// so that no text leaves the picture. Non-finite values are left out.
std::string render_svg(const PanelFigure& figure);

/// Tick values for an axis over [lo, hi]: about `target` "nice" steps (1, 2
/// or 5 times a power of ten) covering the range.
std::vector<double> nice_ticks(double lo, double hi, int target = 5);

}  // namespace quorvel::reports
