#include "reports/svg_plot.hpp"

#include <algorithm>
#include <cmath>

#include "core/format.hpp"

namespace quorvel::reports {

namespace {

// Colour-blind-safe palette (Okabe & Ito).
const char* const kPalette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9", "#000000"};
constexpr int kPaletteSize = 7;

// Layout in pixels: plot area, legend on the right.
constexpr double kWidth = 960;
constexpr double kHeight = 540;
constexpr double kLeft = 90;
constexpr double kRight = 640;
constexpr double kTop = 80;
constexpr double kBottom = 460;
constexpr double kLegendX = 665;
constexpr std::size_t kLegendWrap = 36;

const char* colour(int index) { return kPalette[((index % kPaletteSize) + kPaletteSize) % kPaletteSize]; }

std::string number(double v) { return core::format("%.2f", v); }

struct Range {
  double lo = 0;
  double hi = 0;
  bool empty = true;
  void include(double v) {
    if (!std::isfinite(v)) return;
    if (empty) {
      lo = hi = v;
      empty = false;
    } else {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
};

struct Scale {
  double lo, hi, pixel_lo, pixel_hi;
  double operator()(double v) const { return pixel_lo + (v - lo) / (hi - lo) * (pixel_hi - pixel_lo); }
};

std::string tick_label(double v) {
  if (std::fabs(v) < 1e-12) v = 0;
  return core::format("%g", v);
}

std::string text_element(double x, double y, const std::string& text, const char* anchor, int size,
                         const char* extra = "") {
  return core::format("<text x=\"%s\" y=\"%s\" text-anchor=\"%s\" font-size=\"%i\"%s>", number(x).c_str(),
                      number(y).c_str(), anchor, size, extra) +
         xml_escape(text) + "</text>\n";
}

// The band of an envelope: the upper bounds left to right, the lower bounds
// back; a point without both bounds splits the band.
std::string band_polygons(const Series& s, const Scale& sx, const Scale& sy) {
  std::string out;
  std::size_t i = 0;
  const std::size_t n = std::min({s.x.size(), s.low.size(), s.high.size()});
  while (i < n) {
    while (i < n && !(std::isfinite(s.x[i]) && std::isfinite(s.low[i]) && std::isfinite(s.high[i]))) ++i;
    std::size_t j = i;
    while (j < n && std::isfinite(s.x[j]) && std::isfinite(s.low[j]) && std::isfinite(s.high[j])) ++j;
    if (j > i) {
      std::string points;
      for (std::size_t k = i; k < j; ++k) points += number(sx(s.x[k])) + "," + number(sy(s.high[k])) + " ";
      for (std::size_t k = j; k-- > i;) points += number(sx(s.x[k])) + "," + number(sy(s.low[k])) + " ";
      points.pop_back();
      // A band of one point is drawn as a vertical bar.
      out += core::format(
          "<polygon class=\"envelope\" points=\"%s\" fill=\"%s\" fill-opacity=\"0.25\" stroke=\"%s\" "
          "stroke-opacity=\"0.6\" stroke-width=\"%s\"/>\n",
          points.c_str(), colour(s.colour), colour(s.colour), j - i == 1 ? "3" : "1");
    }
    i = j;
  }
  return out;
}

std::string curve(const Series& s, const Scale& sx, const Scale& sy) {
  std::string out;
  std::string points;
  const std::size_t n = std::min(s.x.size(), s.y.size());
  auto flush = [&]() {
    if (points.empty()) return;
    points.pop_back();
    out += core::format("<polyline class=\"curve\" points=\"%s\" fill=\"none\" stroke=\"%s\" stroke-width=\"2\"/>\n",
                        points.c_str(), colour(s.colour));
    points.clear();
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isfinite(s.x[i]) && std::isfinite(s.y[i])) {
      points += number(sx(s.x[i])) + "," + number(sy(s.y[i])) + " ";
    } else {
      flush();
    }
  }
  flush();
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) continue;
    out += core::format("<circle class=\"point\" cx=\"%s\" cy=\"%s\" r=\"4\" fill=\"%s\"/>\n",
                        number(sx(s.x[i])).c_str(), number(sy(s.y[i])).c_str(), colour(s.colour));
  }
  return out;
}

std::string legend(const LinePlot& plot) {
  std::string out = "<g class=\"legend\">\n";
  double y = kTop + 10;
  for (const Series& s : plot.series) {
    const bool has_curve = !s.y.empty();
    if (has_curve) {
      out += core::format(
          "<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"2\"/>"
          "<circle cx=\"%s\" cy=\"%s\" r=\"4\" fill=\"%s\"/>\n",
          number(kLegendX).c_str(), number(y).c_str(), number(kLegendX + 28).c_str(), number(y).c_str(),
          colour(s.colour), number(kLegendX + 14).c_str(), number(y).c_str(), colour(s.colour));
    } else {
      out += core::format(
          "<rect x=\"%s\" y=\"%s\" width=\"28\" height=\"12\" fill=\"%s\" fill-opacity=\"0.25\" stroke=\"%s\" "
          "stroke-opacity=\"0.6\"/>\n",
          number(kLegendX).c_str(), number(y - 6).c_str(), colour(s.colour), colour(s.colour));
    }
    // Long names are wrapped to stay inside the picture.
    std::string name = s.name;
    double line_y = y + 4;
    while (!name.empty()) {
      std::size_t cut = name.size();
      if (cut > kLegendWrap) {
        cut = name.rfind(' ', kLegendWrap);
        if (cut == std::string::npos || cut == 0) cut = kLegendWrap;
      }
      out += text_element(kLegendX + 36, line_y, name.substr(0, cut), "start", 12);
      name.erase(0, cut);
      if (!name.empty() && name[0] == ' ') name.erase(0, 1);
      line_y += 15;
    }
    y = line_y + 8;
  }
  return out + "</g>\n";
}

}  // namespace

std::string xml_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0; bytes above 127
        // (names in a single-byte code page) would not be valid UTF-8.
        out += (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) ? '?' : c;
    }
  }
  return out;
}

std::vector<double> nice_ticks(double lo, double hi) {
  if (!(hi > lo)) {
    const double half = lo == 0 ? 0.5 : std::fabs(lo) * 0.1;
    lo -= half;
    hi += half;
  }
  const double raw = (hi - lo) / 5;
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

std::string render_svg(const LinePlot& plot) {
  Range xr, yr;
  for (const Series& s : plot.series) {
    for (std::size_t i = 0; i < s.x.size(); ++i) {
      const bool has_y = i < s.y.size() && std::isfinite(s.y[i]);
      const bool has_band =
          i < s.low.size() && i < s.high.size() && std::isfinite(s.low[i]) && std::isfinite(s.high[i]);
      if (!std::isfinite(s.x[i]) || (!has_y && !has_band)) continue;
      xr.include(s.x[i]);
      if (has_y) yr.include(s.y[i]);
      if (has_band) {
        yr.include(s.low[i]);
        yr.include(s.high[i]);
      }
    }
  }
  if (xr.empty) xr.include(0), xr.include(1);
  if (yr.empty) yr.include(0), yr.include(1);
  const std::vector<double> xt = nice_ticks(xr.lo, xr.hi);
  const std::vector<double> yt = nice_ticks(yr.lo, yr.hi);
  const Scale sx{xt.front(), xt.back(), kLeft, kRight};
  const Scale sy{yt.front(), yt.back(), kBottom, kTop};

  std::string out = core::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%i\" height=\"%i\" viewBox=\"0 0 %i %i\" "
      "font-family=\"Helvetica, Arial, sans-serif\">\n",
      static_cast<int>(kWidth), static_cast<int>(kHeight), static_cast<int>(kWidth), static_cast<int>(kHeight));
  out += "<title>" + xml_escape(plot.title) + "</title>\n";
  out += core::format("<rect width=\"%i\" height=\"%i\" fill=\"#ffffff\"/>\n", static_cast<int>(kWidth),
                      static_cast<int>(kHeight));
  out += text_element(kWidth / 2, 30, plot.title, "middle", 17, " font-weight=\"bold\"");
  out += text_element(kWidth / 2, 52, plot.subtitle, "middle", 12, " fill=\"#444444\"");

  // Axes with grid lines at the ticks.
  out += "<g class=\"axes\" stroke=\"#000000\" stroke-width=\"1\">\n";
  out += core::format("<line class=\"x-axis\" x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\"/>\n", number(kLeft).c_str(),
                      number(kBottom).c_str(), number(kRight).c_str(), number(kBottom).c_str());
  out += core::format("<line class=\"y-axis\" x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\"/>\n", number(kLeft).c_str(),
                      number(kBottom).c_str(), number(kLeft).c_str(), number(kTop).c_str());
  out += "</g>\n<g class=\"ticks\">\n";
  for (double t : xt) {
    const double x = sx(t);
    out += core::format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#dddddd\"/>\n", number(x).c_str(),
                        number(kTop).c_str(), number(x).c_str(), number(kBottom).c_str());
    out += text_element(x, kBottom + 18, tick_label(t), "middle", 12);
  }
  for (double t : yt) {
    const double y = sy(t);
    out += core::format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"#dddddd\"/>\n", number(kLeft).c_str(),
                        number(y).c_str(), number(kRight).c_str(), number(y).c_str());
    out += text_element(kLeft - 8, y + 4, tick_label(t), "end", 12);
  }
  out += "</g>\n";
  out += text_element((kLeft + kRight) / 2, kBottom + 45, plot.x_label, "middle", 13);
  const double y_mid = (kTop + kBottom) / 2;
  out +=
      core::format("<text x=\"20\" y=\"%s\" text-anchor=\"middle\" font-size=\"13\" transform=\"rotate(-90 20 %s)\">",
                   number(y_mid).c_str(), number(y_mid).c_str()) +
      xml_escape(plot.y_label) + "</text>\n";

  // Bands first, so that every curve stays visible above them.
  out += "<g class=\"data\">\n";
  for (const Series& s : plot.series) out += band_polygons(s, sx, sy);
  for (const Series& s : plot.series) out += curve(s, sx, sy);
  out += "</g>\n";
  out += legend(plot);
  out += "</svg>\n";
  return out;
}

}  // namespace quorvel::reports
