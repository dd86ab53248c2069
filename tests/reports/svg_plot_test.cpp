#include "reports/svg_plot.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"

namespace quorvel::reports {
namespace {

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

LinePlot small_plot() {
  LinePlot plot;
  plot.title = "Ist by class";
  plot.subtitle = "Data: a.txt & b.txt";
  plot.x_label = "distance";
  plot.y_label = "Ist";
  Series curve;
  curve.name = "Ist";
  curve.x = {1, 2, 3, 4};
  curve.y = {0.1, MISSING_VALUE, 0.3, 0.4};
  Series band;
  band.name = "Ist: 95% envelope";
  band.x = {1, 2, 3, 4};
  band.low = {-0.1, -0.1, MISSING_VALUE, -0.2};
  band.high = {0.1, 0.2, MISSING_VALUE, 0.2};
  plot.series = {curve, band};
  return plot;
}

TEST(SvgPlot, DrawsAxesPointsCurvesAndEnvelopeBands) {
  const std::string svg = render_svg(small_plot());
  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
  EXPECT_EQ(count(svg, "class=\"x-axis\""), 1);
  EXPECT_EQ(count(svg, "class=\"y-axis\""), 1);
  // Three finite points; the missing second value breaks the line in two.
  EXPECT_EQ(count(svg, "<circle class=\"point\""), 3);
  EXPECT_EQ(count(svg, "<polyline class=\"curve\""), 2);
  // The band is split where a bound is missing.
  EXPECT_EQ(count(svg, "<polygon class=\"envelope\""), 2);
  EXPECT_NE(svg.find("Data: a.txt &amp; b.txt"), std::string::npos);
  EXPECT_EQ(svg.find("<script"), std::string::npos);
  EXPECT_EQ(svg.find("href"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(SvgPlot, EscapesMarkupAndBytesOutsideAscii) {
  EXPECT_EQ(xml_escape("a<b>&\"c\"\t\xb0"), "a&lt;b&gt;&amp;&quot;c&quot;??");
}

TEST(SvgPlot, NiceTicksCoverTheRangeInSteps) {
  EXPECT_EQ(nice_ticks(0, 1), (std::vector<double>{0, 0.2, 0.4, 0.6000000000000001, 0.8, 1}));
  const std::vector<double> ticks = nice_ticks(-0.013, 0.047);
  EXPECT_LE(ticks.front(), -0.013);
  EXPECT_GE(ticks.back(), 0.047);
  EXPECT_GE(ticks.size(), 4u);
  EXPECT_LE(ticks.size(), 9u);
  // A single value still gets an axis around it.
  const std::vector<double> flat = nice_ticks(5, 5);
  EXPECT_LT(flat.front(), 5);
  EXPECT_GT(flat.back(), 5);
}

}  // namespace
}  // namespace quorvel::reports
