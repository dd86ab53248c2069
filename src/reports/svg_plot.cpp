#include "reports/svg_plot.hpp"

#include <algorithm>
#include <cmath>

#include "core/format.hpp"

namespace quorvel::reports {

namespace {

// Colour-blind-safe colours of the tests (Okabe & Ito); the observed curve is
// black. With more tests than colours, the dash patterns and symbols still
// tell them apart.
const char* const kColours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9"};
constexpr int kColourCount = 6;
const char* const kDashes[] = {"", "7,3", "2,2", "9,3,2,3", "4,4"};
constexpr int kDashCount = 5;
enum class Symbol { kCircle, kSquare, kTriangle, kDiamond, kInvertedTriangle };
constexpr int kSymbolCount = 5;

// Layout in pixels. Text boxes: a line of font size s spans s above its
// baseline and s/4 below.
constexpr double kWidth = 720;
constexpr double kMargin = 16;
constexpr double kTitleSize = 16, kTitleLine = 20;
constexpr double kSmallSize = 12, kSmallLine = 15;
constexpr double kAxisTitleSize = 13, kAxisTitleLine = 16;
constexpr double kTickSize = 11;
constexpr double kLegendSize = 12, kLegendLine = 16, kLegendGap = 6;
constexpr double kSwatchWidth = 40;
constexpr double kInset = 14;         // data kept this far inside the panel frame, for the symbols beside each other
constexpr double kDodge = 9;          // distance between the symbols of two tests at one point
constexpr double kTickRotation = 40;  // degrees
constexpr double kPi = 3.14159265358979323846;

const char* colour_of(int test) { return kColours[test % kColourCount]; }
const char* dash_of(int test) { return kDashes[test % kDashCount]; }
Symbol symbol_of(int test) { return static_cast<Symbol>(test % kSymbolCount); }

std::string num(double v) { return core::format("%.2f", v); }

bool finite(double v) { return std::isfinite(v); }

struct Range {
  double lo = 0;
  double hi = 0;
  bool empty = true;
  void include(double v) {
    if (!finite(v)) return;
    lo = empty ? v : std::min(lo, v);
    hi = empty ? v : std::max(hi, v);
    empty = false;
  }
};

// Maps [lo, hi] onto [a, b] (pixels).
struct Scale {
  double lo, hi, a, b;
  double operator()(double v) const { return hi > lo ? a + (v - lo) / (hi - lo) * (b - a) : (a + b) / 2; }
};

std::string tick_text(double v) { return core::format("%g", std::fabs(v) < 1e-12 ? 0.0 : v); }

std::string text(double x, double y, const std::string& content, const char* anchor, double size,
                 const std::string& attributes = "") {
  return core::format("<text x=\"%s\" y=\"%s\" text-anchor=\"%s\" font-size=\"%g\"%s>", num(x).c_str(), num(y).c_str(),
                      anchor, size, attributes.c_str()) +
         xml_escape(content) + "</text>\n";
}

std::string line(double x1, double y1, double x2, double y2, const std::string& attributes) {
  return core::format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" %s/>\n", num(x1).c_str(), num(y1).c_str(),
                      num(x2).c_str(), num(y2).c_str(), attributes.c_str());
}

std::string dash_attribute(int test) {
  const char* dash = dash_of(test);
  return *dash ? core::format(" stroke-dasharray=\"%s\"", dash) : std::string();
}

// A test's symbol centred on (x, y): filled with its colour or white.
std::string symbol(int test, double x, double y, bool filled) {
  const std::string paint = core::format("fill=\"%s\" stroke=\"%s\" stroke-width=\"1.5\"",
                                         filled ? colour_of(test) : "#ffffff", colour_of(test));
  auto polygon = [&](std::initializer_list<std::pair<double, double>> corners) {
    std::string points;
    for (const auto& c : corners) points += (points.empty() ? "" : " ") + num(x + c.first) + "," + num(y + c.second);
    return core::format("<polygon class=\"symbol\" points=\"%s\" %s/>\n", points.c_str(), paint.c_str());
  };
  switch (symbol_of(test)) {
    case Symbol::kCircle:
      return core::format("<circle class=\"symbol\" cx=\"%s\" cy=\"%s\" r=\"4.2\" %s/>\n", num(x).c_str(),
                          num(y).c_str(), paint.c_str());
    case Symbol::kSquare:
      return core::format("<rect class=\"symbol\" x=\"%s\" y=\"%s\" width=\"7.6\" height=\"7.6\" %s/>\n",
                          num(x - 3.8).c_str(), num(y - 3.8).c_str(), paint.c_str());
    case Symbol::kTriangle:
      return polygon({{0, -5}, {4.6, 3.4}, {-4.6, 3.4}});
    case Symbol::kDiamond:
      return polygon({{0, -5.2}, {5.2, 0}, {0, 5.2}, {-5.2, 0}});
    case Symbol::kInvertedTriangle:
      return polygon({{0, 5}, {4.6, -3.4}, {-4.6, -3.4}});
  }
  return std::string();
}

// The tick labels of the x axis: named ticks inside the range, or numbers.
struct XAxis {
  Scale scale{0, 1, 0, 1};
  std::vector<double> ticks;
  std::vector<std::string> labels;
  bool rotated = false;
};

XAxis x_axis(const PanelFigure& figure) {
  Range range;
  for (const Panel& panel : figure.panels) {
    for (std::size_t i = 0; i < panel.x.size() && i < panel.y.size(); ++i)
      if (finite(panel.y[i])) range.include(panel.x[i]);
    for (const Envelope& envelope : panel.envelopes)
      for (const EnvelopePoint& p : envelope.points)
        if ((finite(p.low) && finite(p.high)) || finite(p.observed)) range.include(p.x);
  }
  if (figure.x_from_zero) range.include(0);
  if (range.empty) range.include(0), range.include(1);
  XAxis axis;
  if (!figure.x_ticks.empty()) {
    for (const AxisTick& tick : figure.x_ticks) range.include(tick.value);
    if (!(range.hi > range.lo)) range.hi = range.lo + 1;
    for (const AxisTick& tick : figure.x_ticks) {
      axis.ticks.push_back(tick.value);
      axis.labels.push_back(tick.label);
    }
    axis.scale = {range.lo, range.hi, 0, 1};
  } else {
    axis.ticks = nice_ticks(range.lo, range.hi, 6);
    for (double t : axis.ticks) axis.labels.push_back(tick_text(t));
    axis.scale = {axis.ticks.front(), axis.ticks.back(), 0, 1};
  }
  return axis;
}

struct YAxis {
  Scale scale{0, 1, 0, 1};
  std::vector<double> ticks;
};

YAxis y_axis(const Panel& panel) {
  Range range;
  for (std::size_t i = 0; i < panel.x.size() && i < panel.y.size(); ++i)
    if (finite(panel.x[i])) range.include(panel.y[i]);
  for (const Envelope& envelope : panel.envelopes) {
    for (const EnvelopePoint& p : envelope.points) {
      if (!finite(p.x)) continue;
      if (finite(p.low) && finite(p.high)) range.include(p.low), range.include(p.high);
      range.include(p.observed);
    }
  }
  if (range.empty) range.include(0), range.include(1);
  YAxis axis;
  axis.ticks = nice_ticks(range.lo, range.hi, 4);
  axis.scale = {axis.ticks.front(), axis.ticks.back(), 0, 1};
  return axis;
}

// The band between the bounds of an envelope and its two edges; a point
// without both bounds splits them.
std::string envelope_band(const Envelope& envelope, const Scale& sx, const Scale& sy) {
  std::string out;
  const std::vector<EnvelopePoint>& p = envelope.points;
  const std::string stroke = core::format("fill=\"none\" stroke=\"%s\" stroke-width=\"1.4\"%s",
                                          colour_of(envelope.test), dash_attribute(envelope.test).c_str());
  std::size_t i = 0;
  while (i < p.size()) {
    auto whole = [&](std::size_t k) { return finite(p[k].x) && finite(p[k].low) && finite(p[k].high); };
    while (i < p.size() && !whole(i)) ++i;
    std::size_t j = i;
    while (j < p.size() && whole(j)) ++j;
    if (j > i) {
      std::string upper, lower, area;
      for (std::size_t k = i; k < j; ++k) {
        upper += (upper.empty() ? "" : " ") + num(sx(p[k].x)) + "," + num(sy(p[k].high));
        lower += (lower.empty() ? "" : " ") + num(sx(p[k].x)) + "," + num(sy(p[k].low));
      }
      area = upper;
      for (std::size_t k = j; k-- > i;) area += " " + num(sx(p[k].x)) + "," + num(sy(p[k].low));
      if (j - i == 1) {
        // A band of one point is a bar from its low to its high bound.
        out += line(sx(p[i].x), sy(p[i].low), sx(p[i].x), sy(p[i].high),
                    core::format("class=\"envelope\" stroke=\"%s\" stroke-width=\"5\" stroke-opacity=\"0.35\"",
                                 colour_of(envelope.test)));
      } else {
        out += core::format("<polygon class=\"envelope\" points=\"%s\" fill=\"%s\" fill-opacity=\"0.14\"/>\n",
                            area.c_str(), colour_of(envelope.test));
      }
      out += core::format("<polyline points=\"%s\" %s/>\n<polyline points=\"%s\" %s/>\n", upper.c_str(), stroke.c_str(),
                          lower.c_str(), stroke.c_str());
    }
    i = j;
  }
  return out;
}

std::string observed_curve(const Panel& panel, const Scale& sx, const Scale& sy) {
  std::string out, points;
  auto flush = [&]() {
    if (!points.empty())
      out += "<polyline class=\"curve\" points=\"" + points +
             "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.6\"/>\n";
    points.clear();
  };
  const std::size_t n = std::min(panel.x.size(), panel.y.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (finite(panel.x[i]) && finite(panel.y[i])) {
      points += (points.empty() ? "" : " ") + num(sx(panel.x[i])) + "," + num(sy(panel.y[i]));
    } else {
      flush();
    }
  }
  flush();
  for (std::size_t i = 0; i < n; ++i) {
    if (finite(panel.x[i]) && finite(panel.y[i]))
      out += core::format("<circle class=\"point\" cx=\"%s\" cy=\"%s\" r=\"2.2\" fill=\"#000000\"/>\n",
                          num(sx(panel.x[i])).c_str(), num(sy(panel.y[i])).c_str());
  }
  return out;
}

// The symbols of the tests on the observed values, side by side where
// several tests judged the same value.
std::string significance_symbols(const Panel& panel, const Scale& sx, const Scale& sy) {
  std::vector<const Envelope*> marked;
  for (const Envelope& envelope : panel.envelopes) {
    for (const EnvelopePoint& p : envelope.points) {
      if (finite(p.x) && finite(p.observed) && finite(p.p_two_sided)) {
        marked.push_back(&envelope);
        break;
      }
    }
  }
  std::string out;
  for (std::size_t k = 0; k < marked.size(); ++k) {
    const double offset = (static_cast<double>(k) - (static_cast<double>(marked.size()) - 1) / 2) * kDodge;
    for (const EnvelopePoint& p : marked[k]->points) {
      if (!finite(p.x) || !finite(p.observed) || !finite(p.p_two_sided)) continue;
      out += symbol(marked[k]->test, sx(p.x) + offset, sy(p.observed), p.p_two_sided < 0.05);
    }
  }
  return out;
}

bool has_symbols(const PanelFigure& figure) {
  for (const Panel& panel : figure.panels)
    for (const Envelope& envelope : panel.envelopes)
      for (const EnvelopePoint& p : envelope.points)
        if (finite(p.observed) && finite(p.p_two_sided)) return true;
  return false;
}

// Lines of text placed from `top`: returns the elements and moves `top`
// below them.
std::string text_lines(const std::vector<std::string>& lines, double x, double& top, const char* anchor, double size,
                       double line_height, const std::string& attributes) {
  std::string out;
  for (const std::string& l : lines) {
    out += text(x, top + size, l, anchor, size, attributes);
    top += line_height;
  }
  return out;
}

// The legend of the tests, from `top` (moved below it): the observed curve,
// each test's band and symbol, and what bands and symbols say.
std::string legend(const PanelFigure& figure, double& top) {
  const double text_x = kMargin + kSwatchWidth + 8;
  const double legend_width = kWidth - kMargin - text_x;
  auto entry = [&](const std::string& swatch, const std::string& name) {
    std::string out = "<g class=\"legend-entry\">\n" + swatch;
    out += text_lines(wrap_text(name, legend_width, kLegendSize), text_x, top, "start", kLegendSize, kLegendLine, "");
    top += kLegendGap;
    return out + "</g>\n";
  };
  // The middle of an entry's first line, where its swatch stands.
  auto middle = [&]() { return top + kLegendSize * 0.62; };
  std::string out = "<g class=\"legend\">\n";
  out += entry(line(kMargin, middle(), kMargin + kSwatchWidth, middle(), "stroke=\"#000000\" stroke-width=\"1.6\"") +
                   core::format("<circle cx=\"%s\" cy=\"%s\" r=\"2.2\" fill=\"#000000\"/>\n",
                                num(kMargin + kSwatchWidth / 2).c_str(), num(middle()).c_str()),
               "observed value");
  for (std::size_t t = 0; t < figure.tests.size(); ++t) {
    const int test = static_cast<int>(t);
    const double y = middle();
    const std::string edge =
        core::format("stroke=\"%s\" stroke-width=\"1.4\"%s", colour_of(test), dash_attribute(test).c_str());
    out +=
        entry(core::format("<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"12\" fill=\"%s\" fill-opacity=\"0.14\"/>\n",
                           num(kMargin).c_str(), num(y - 6).c_str(), num(kSwatchWidth).c_str(), colour_of(test)) +
                  line(kMargin, y - 6, kMargin + kSwatchWidth, y - 6, edge) +
                  line(kMargin, y + 6, kMargin + kSwatchWidth, y + 6, edge) +
                  symbol(test, kMargin + kSwatchWidth / 2, y, false),
              figure.tests[t]);
  }
  const bool symbols = has_symbols(figure);
  std::string swatch;
  for (const bool filled : {true, false}) {
    if (!symbols) break;
    swatch +=
        core::format("<circle cx=\"%s\" cy=\"%s\" r=\"4.2\" fill=\"%s\" stroke=\"#555555\" stroke-width=\"1.5\"/>\n",
                     num(kMargin + (filled ? 10 : kSwatchWidth - 10)).c_str(), num(middle()).c_str(),
                     filled ? "#555555" : "#ffffff");
  }
  out += entry(swatch, symbols ? "band: 95% envelope of the test's randomized values; symbol filled where the "
                                 "test's two-sided P < 0.05, open otherwise"
                               : "band: 95% envelope of the test's randomized values");
  return out + "</g>\n";
}

struct Layout {
  double plot_left = 0;
  double plot_right = 0;
  std::vector<std::string> y_title;
  double tick_label_width = 0;
  double rotated_drop = 0;  // height of the rotated x tick labels below their baseline start
};

}  // namespace

std::vector<double> nice_ticks(double lo, double hi, int target) {
  if (!(hi > lo)) {
    const double half = lo == 0 ? 0.5 : std::fabs(lo) * 0.1;
    lo -= half;
    hi += half;
  }
  const double raw = (hi - lo) / std::max(1, target);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (raw <= step) break;
  }
  std::vector<double> ticks;
  for (double t = std::floor(lo / step) * step; t <= hi + step * 0.999; t += step) {
    ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
  }
  return ticks;
}

std::string render_svg(const PanelFigure& figure) {
  XAxis xa = x_axis(figure);
  std::vector<YAxis> ya;
  for (const Panel& panel : figure.panels) ya.push_back(y_axis(panel));
  const double plot_height = figure.panels.size() == 1 ? 220 : figure.panels.size() > 4 ? 120 : 150;
  const double panel_gap = 16;
  const double text_width_all = kWidth - 2 * kMargin;

  // Horizontal layout: the y axis title (wrapped to the height of the
  // panels), the widest y tick label, the panels; the x tick labels at the
  // ends must stay inside the picture.
  Layout layout;
  for (const YAxis& axis : ya)
    for (double t : axis.ticks)
      layout.tick_label_width = std::max(layout.tick_label_width, text_width(tick_text(t), kTickSize));
  double x_label_widest = 0;
  for (const std::string& label : xa.labels) x_label_widest = std::max(x_label_widest, text_width(label, kTickSize));
  const double stack_height = figure.panels.size() * (plot_height + panel_gap + 2 * kSmallLine);
  layout.y_title = wrap_text(figure.y_label, std::max(80.0, stack_height * 0.8), kAxisTitleSize);
  layout.plot_left = kMargin + layout.y_title.size() * kAxisTitleLine + 6 + layout.tick_label_width + 6;
  layout.plot_right = kWidth - kMargin;
  auto tick_pixel = [&](double v) {
    return Scale{xa.scale.lo, xa.scale.hi, layout.plot_left + kInset, layout.plot_right - kInset}(v);
  };
  // Named ticks that would overlap are turned; then they hang to the left of
  // their tick, which must leave room on the left.
  for (std::size_t i = 1; i < xa.ticks.size(); ++i) {
    const double room = std::fabs(tick_pixel(xa.ticks[i]) - tick_pixel(xa.ticks[i - 1]));
    if (room < (text_width(xa.labels[i], kTickSize) + text_width(xa.labels[i - 1], kTickSize)) / 2 + 6)
      xa.rotated = true;
  }
  const double cos_r = std::cos(kTickRotation * kPi / 180), sin_r = std::sin(kTickRotation * kPi / 180);
  if (xa.rotated) {
    // Moving the panels right moves the ticks less than the panels: repeat
    // until every turned label clears the margin.
    for (int pass = 0; pass < 8; ++pass) {
      double shift = 0;
      for (std::size_t i = 0; i < xa.ticks.size(); ++i) {
        const double left = tick_pixel(xa.ticks[i]) - text_width(xa.labels[i], kTickSize) * cos_r - kTickSize;
        shift = std::max(shift, kMargin - left);
      }
      if (shift <= 0) break;
      layout.plot_left += shift + 1;
    }
    layout.rotated_drop = x_label_widest * sin_r + kTickSize * 1.4;
  } else if (!xa.ticks.empty()) {
    const double first_left = tick_pixel(xa.ticks.front()) - text_width(xa.labels.front(), kTickSize) / 2;
    if (first_left < kMargin) layout.plot_left += kMargin - first_left;
    const double last_right = tick_pixel(xa.ticks.back()) + text_width(xa.labels.back(), kTickSize) / 2;
    if (last_right > kWidth - kMargin) layout.plot_right -= last_right - (kWidth - kMargin);
  }
  xa.scale = {xa.scale.lo, xa.scale.hi, layout.plot_left + kInset, layout.plot_right - kInset};
  const double plot_width = layout.plot_right - layout.plot_left;

  std::string body;
  double top = kMargin;
  body += text_lines(wrap_text(figure.title, text_width_all, kTitleSize, true), kWidth / 2, top, "middle", kTitleSize,
                     kTitleLine, " class=\"title\" font-weight=\"bold\"");
  if (!figure.subtitle.empty())
    body += text_lines(wrap_text(figure.subtitle, text_width_all, kSmallSize), kWidth / 2, top, "middle", kSmallSize,
                       kSmallLine, " class=\"subtitle\" fill=\"#444444\"");
  top += 10;

  // The panels, one below the other; the x tick labels under the last.
  const double panels_top = top;
  double plot_bottom = top;
  for (std::size_t k = 0; k < figure.panels.size(); ++k) {
    const Panel& panel = figure.panels[k];
    body += "<g class=\"panel\">\n";
    body += text_lines(wrap_text(panel.heading, plot_width, kSmallSize, true), layout.plot_left, top, "start",
                       kSmallSize, kSmallLine, " class=\"panel-heading\" font-weight=\"bold\"");
    top += 4;
    const double plot_top = top;
    plot_bottom = top + plot_height;
    const Scale sy{ya[k].scale.lo, ya[k].scale.hi, plot_bottom - 6, plot_top + 6};
    for (double t : xa.ticks)
      body += line(xa.scale(t), plot_top, xa.scale(t), plot_bottom, "stroke=\"#e4e4e4\"") +
              line(xa.scale(t), plot_bottom, xa.scale(t), plot_bottom + 4, "stroke=\"#000000\"");
    for (double t : ya[k].ticks) {
      const bool zero = std::fabs(t) < 1e-12 && t != ya[k].ticks.front();
      body +=
          line(layout.plot_left, sy(t), layout.plot_right, sy(t), zero ? "stroke=\"#999999\"" : "stroke=\"#e4e4e4\"");
      body += text(layout.plot_left - 6, sy(t) + kTickSize * 0.35, tick_text(t), "end", kTickSize,
                   " class=\"tick-label y-tick\"");
    }
    body += line(layout.plot_left, plot_top, layout.plot_left, plot_bottom, "stroke=\"#000000\"");
    body += line(layout.plot_left, plot_bottom, layout.plot_right, plot_bottom, "stroke=\"#000000\"");
    // Bands first, so that the observed curve and the symbols stay visible.
    for (const Envelope& envelope : panel.envelopes) body += envelope_band(envelope, xa.scale, sy);
    body += observed_curve(panel, xa.scale, sy);
    body += significance_symbols(panel, xa.scale, sy);
    body += "</g>\n";
    top = plot_bottom + panel_gap;
  }
  top = plot_bottom + 6;
  for (std::size_t i = 0; i < xa.ticks.size(); ++i) {
    const double x = xa.scale(xa.ticks[i]);
    if (xa.rotated) {
      const double y = top + kTickSize * 0.8;
      body += text(x + 3, y, xa.labels[i], "end", kTickSize,
                   core::format(" class=\"tick-label x-tick\" transform=\"rotate(-%g %s %s)\"", kTickRotation,
                                num(x + 3).c_str(), num(y).c_str()));
    } else {
      body += text(x, top + kTickSize, xa.labels[i], "middle", kTickSize, " class=\"tick-label x-tick\"");
    }
  }
  top += (xa.rotated ? layout.rotated_drop : kTickSize * 1.25) + 8;
  body += text_lines(wrap_text(figure.x_label, plot_width, kAxisTitleSize), (layout.plot_left + layout.plot_right) / 2,
                     top, "middle", kAxisTitleSize, kAxisTitleLine, " class=\"axis-title x-title\"");

  // The y axis title, turned, centred on the panels.
  const double middle = (panels_top + plot_bottom) / 2;
  for (std::size_t i = 0; i < layout.y_title.size(); ++i) {
    const double x = kMargin + kAxisTitleSize + i * kAxisTitleLine;
    body += text(x, middle, layout.y_title[i], "middle", kAxisTitleSize,
                 core::format(" class=\"axis-title y-title\" transform=\"rotate(-90 %s %s)\"", num(x).c_str(),
                              num(middle).c_str()));
  }

  if (!figure.tests.empty()) {
    top += 12;
    body += legend(figure, top);
    top -= kLegendGap;
  }

  const int height = static_cast<int>(std::ceil(top + kMargin));
  std::string out = core::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%i\" height=\"%i\" viewBox=\"0 0 %i %i\" "
      "font-family=\"sans-serif\">\n",
      static_cast<int>(kWidth), height, static_cast<int>(kWidth), height);
  out += "<title>" + xml_escape(figure.title) + "</title>\n";
  out += "<desc>" + xml_escape(figure.description) + "</desc>\n";
  out += core::format("<rect width=\"%i\" height=\"%i\" fill=\"#ffffff\"/>\n", static_cast<int>(kWidth), height);
  return out + body + "</svg>\n";
}

}  // namespace quorvel::reports
