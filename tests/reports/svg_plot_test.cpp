#include "reports/svg_plot.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "svg_texts.hpp"

namespace quorvel::reports {
namespace {

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

EnvelopePoint point(double x, double low, double high, double observed, double p) {
  return {x, low, high, observed, p};
}

PanelFigure small_figure() {
  PanelFigure figure;
  figure.title = "Ist by class";
  figure.subtitle = "Data: a.txt & b.txt";
  figure.description = "Ist <by> class.";
  figure.x_label = "distance (m)";
  figure.y_label = "Ist";
  figure.tests = {"spatial test: permute plot positions"};
  Panel panel;
  panel.heading = "Ist";
  panel.x = {1, 2, 3, 4};
  panel.y = {0.1, MISSING_VALUE, 0.3, 0.4};
  Envelope envelope;
  envelope.points = {point(1, -0.1, 0.1, 0.1, 0.5), point(2, -0.1, 0.2, MISSING_VALUE, MISSING_VALUE),
                     point(3, MISSING_VALUE, MISSING_VALUE, 0.3, 0.02), point(4, -0.2, 0.2, 0.4, 0.01)};
  panel.envelopes = {envelope};
  figure.panels = {panel};
  return figure;
}

TEST(SvgPlot, DrawsPanelsCurvesEnvelopesAndSymbols) {
  const std::string svg = render_svg(small_figure());
  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
  EXPECT_NE(svg.find("<title>Ist by class</title>\n<desc>Ist &lt;by&gt; class.</desc>"), std::string::npos);
  // Three finite points; the missing second value breaks the line in two.
  EXPECT_EQ(count(svg, "<circle class=\"point\""), 3);
  EXPECT_EQ(count(svg, "<polyline class=\"curve\""), 2);
  // The band is split where a bound is missing: a polygon of two points and a bar of one.
  EXPECT_EQ(count(svg, "<polygon class=\"envelope\""), 1);
  EXPECT_EQ(count(svg, "class=\"envelope\""), 2);
  // A symbol per observed value with a P-value: two filled (P < 0.05), one open; and the legend's.
  EXPECT_EQ(count(svg, "class=\"symbol\""), 3 + 1);
  EXPECT_EQ(count(svg, "fill=\"#0072B2\" stroke=\"#0072B2\""), 2);
  EXPECT_NE(svg.find("Data: a.txt &amp; b.txt"), std::string::npos);
  // Nothing that a browser or rsvg-convert would fetch, run or draw otherwise.
  for (const char* absent : {"<script", "href", "<style", "@font-face", "url(", "<foreignObject", "dominant-baseline",
                             "textLength", "<filter", "<mask", "<clipPath", "font-family=\"Helvetica"})
    EXPECT_EQ(svg.find(absent), std::string::npos) << absent;
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(SvgPlot, TestsAreToldApartByColourDashAndSymbol) {
  PanelFigure figure = small_figure();
  figure.tests = {"a", "b", "c"};
  for (int t = 1; t < 3; ++t) {
    Envelope envelope = figure.panels[0].envelopes[0];
    envelope.test = t;
    figure.panels[0].envelopes.push_back(envelope);
  }
  const std::string svg = render_svg(figure);
  EXPECT_NE(svg.find("stroke=\"#D55E00\" stroke-width=\"1.4\" stroke-dasharray=\"7,3\""), std::string::npos);
  EXPECT_NE(svg.find("stroke=\"#009E73\" stroke-width=\"1.4\" stroke-dasharray=\"2,2\""), std::string::npos);
  EXPECT_NE(svg.find("<rect class=\"symbol\""), std::string::npos);     // test 2: squares
  EXPECT_NE(svg.find("<polygon class=\"symbol\""), std::string::npos);  // test 3: triangles
  // Symbols of three tests at one value stand side by side.
  EXPECT_EQ(count(svg, "class=\"symbol\""), 3 * 3 + 3);
}

TEST(SvgPlot, WithoutTestsNoLegend) {
  PanelFigure figure = small_figure();
  figure.tests.clear();
  figure.panels[0].envelopes.clear();
  const std::string svg = render_svg(figure);
  EXPECT_EQ(svg.find("legend"), std::string::npos);
  EXPECT_EQ(svg.find("class=\"symbol\""), std::string::npos);
}

TEST(SvgPlot, LongTextsWrapInsideThePicture) {
  PanelFigure figure = small_figure();
  figure.title = std::string(200, 'W');
  figure.panels[0].heading =
      "frequency([(Genus(1)!=Genus(2))AND(Order(1)=Order(2))]) [selection test 2] " + std::string(80, 'm');
  figure.tests = {
      "phylogeny test 1: permute species with similar numbers of occurrences (max ratio of "
      "occurrences=2) within clades younger than age 1000000 " +
      std::string(120, 'M')};
  figure.y_label = "a long description of the values of the panels, longer than the panels are high";
  const std::string svg = render_svg(figure);
  for (const testing::SvgText& text : testing::svg_texts(svg)) {
    EXPECT_TRUE(text.box.inside(testing::picture(svg))) << text.content;
  }
}

TEST(MarkupText, EscapesMarkupAndReadsSingleByteNamesAsWindows1252) {
  EXPECT_EQ(xml_escape("a<b>&\"c\"\t"), "a&lt;b&gt;&amp;&quot;c&quot;?");
  EXPECT_EQ(xml_escape("Jaccard\x92s N\xb0i"), "Jaccard&#8217;s N&#176;i");
  EXPECT_EQ(xml_escape("Fran\xc3\xa7ois"), "Fran\xc3\xa7ois");  // UTF-8 kept
}

TEST(MarkupText, WidthsBoundBothFontsAndLinesWrapWithinThem) {
  // DejaVu Sans: "W" 0.989 em, "i" 0.278 em; Liberation Sans "J" 0.500 em.
  EXPECT_GE(text_width("W", 10), 9.89);
  EXPECT_GE(text_width("J", 10), 5.0);
  EXPECT_LT(text_width("i", 10), text_width("m", 10));
  EXPECT_GT(text_width("Ist", 12, true), text_width("Ist", 12));
  EXPECT_EQ(text_width("\xe9", 10), 10 * 1.06);
  const std::vector<std::string> lines = wrap_text("permute species with similar numbers of occurrences", 150, 12);
  ASSERT_GT(lines.size(), 1u);
  for (const std::string& line : lines) EXPECT_LE(text_width(line, 12), 150) << line;
  EXPECT_EQ(wrap_text("permute species", 1000, 12), (std::vector<std::string>{"permute species"}));
  // A word longer than a line is cut after a bracket where it can be.
  EXPECT_EQ(wrap_text("frequency([Taxon(1)=Taxon(2)])", 90, 12)[0], "frequency(");
  EXPECT_EQ(wrap_text("", 100, 12), (std::vector<std::string>{""}));
}

TEST(SvgPlot, NiceTicksCoverTheRangeInSteps) {
  EXPECT_EQ(nice_ticks(0, 1), (std::vector<double>{0, 0.2, 0.4, 0.6000000000000001, 0.8, 1}));
  const std::vector<double> ticks = nice_ticks(-0.013, 0.047, 4);
  EXPECT_LE(ticks.front(), -0.013);
  EXPECT_GE(ticks.back(), 0.047);
  EXPECT_GE(ticks.size(), 3u);
  EXPECT_LE(ticks.size(), 7u);
  // A single value still gets an axis around it.
  const std::vector<double> flat = nice_ticks(5, 5);
  EXPECT_LT(flat.front(), 5);
  EXPECT_GT(flat.back(), 5);
}

}  // namespace
}  // namespace quorvel::reports
