#include "reports/report_page.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "reports/test_rows.hpp"

namespace quorvel::reports {
namespace {

randomization::TestSummary p_values(double p_two_sided) {
  randomization::TestSummary s;
  s.valid_count = 99;
  s.p_two_sided = p_two_sided;
  return s;
}

RunReports run() {
  RunReports reports;
  reports.data_files = "Data: m.txt, <p>.txt";
  reports.data_description =
      "\nInstruction file : \"instr.txt\"\n\n\n\nSPECIES PLOT DATA (from file: m.txt)\n# plots: 3   \n\nRANDOM SEED : "
      "7";
  ResultsTable& table = reports.table;
  table.add(kPlotsPhylogenySection, "Ist", kGlobalScope, kNoIndex, MISSING_VALUE, 0.25);
  table.add(kPlotsPhylogenySection, "Pst", kGlobalScope, kNoIndex, MISSING_VALUE, 0.125);
  table.add(kPlotsPhylogenySection, "Ist", kClassScope, 1, 2, 0.5);
  const std::size_t first = table.rows.size();
  add_test_row(table, kPlotsPhylogenySection, "Pst", kGlobalScope, kNoIndex, MISSING_VALUE, "T", 99, p_values(0.01));
  add_test_row(table, kPlotsPhylogenySection, "Ist", kClassScope, 1, 2, "T", 99, p_values(0.5));
  table.identify_test(first, {randomization::TestKind::kPhylogeny, 1}, "phylogeny test 1: permute sampled species");
  table.add(kPhylogenyTraitsSection, "r(size, divergence)", kRegressionScope, kNoIndex, MISSING_VALUE, -0.5);
  return reports;
}

TEST(ReportPage, DataGlobalStatisticsWithTheirPValuesAndEmbeddedFigures) {
  const RunReports reports = run();
  Figure figure;
  figure.file_name = "a.svg";
  figure.plot.title = "Ist & co";
  figure.plot.description = "What is plotted.";
  const std::string page = report_page(reports, {figure}, {"<svg/>"});
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n", 0), 0u);
  EXPECT_NE(page.find("<p>Data: m.txt, &lt;p&gt;.txt</p>"), std::string::npos);
  // The description's lines, runs of blank lines made one, trailing blanks gone.
  EXPECT_NE(page.find("<pre>Instruction file : &quot;instr.txt&quot;\n\nSPECIES PLOT DATA (from file: m.txt)\n# plots: "
                      "3\n\nRANDOM SEED : 7\n</pre>"),
            std::string::npos);
  // One table per section; a column per test with global values; P < 0.05 in bold.
  EXPECT_NE(page.find("<h3>Plots x phylogeny</h3>\n<table>\n<tr><th>statistic</th><th>scope</th><th>value</th><th>P, "
                      "phylogeny test 1: permute sampled species (99 randomizations)</th></tr>\n"
                      "<tr><td>Ist</td><td>global</td><td class=\"number\">0.25</td><td class=\"number\"></td></tr>\n"
                      "<tr><td>Pst</td><td>global</td><td class=\"number\">0.125</td><td "
                      "class=\"number\"><strong>0.01</strong></td></tr>\n</table>"),
            std::string::npos);
  EXPECT_NE(page.find("<h3>Phylogeny x traits</h3>\n<table>\n<tr><th>statistic</th><th>scope</th><th>value</th></tr>\n"
                      "<tr><td>r(size, divergence)</td><td>regression</td><td class=\"number\">-0.5</td></tr>"),
            std::string::npos);
  EXPECT_EQ(page.find("Plots x traits"), std::string::npos);
  EXPECT_NE(page.find("<figure>\n<img src=\"data:image/svg+xml;base64,PHN2Zy8+\" alt=\"Ist &amp; co\">\n"
                      "<figcaption><strong>Figure 1.</strong> Ist &amp; co. What is plotted. File: a.svg."
                      "</figcaption>\n</figure>"),
            std::string::npos);
  // Readable offline: nothing to run or fetch.
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("url("), std::string::npos);
  EXPECT_EQ(page.find("@font-face"), std::string::npos);
  EXPECT_EQ(page.find("href"), std::string::npos);
  const std::regex source("src=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), source); it != std::sregex_iterator(); ++it)
    EXPECT_EQ((*it)[1].str().rfind("data:", 0), 0u) << (*it)[1];
}

TEST(ReportPage, WithoutFiguresOrTestsThePageStillDescribesTheRun) {
  RunReports reports;
  reports.data_description = "\nRANDOM SEED : 3";
  const std::string page = report_page(reports, {}, {});
  EXPECT_NE(page.find("<pre>RANDOM SEED : 3\n</pre>"), std::string::npos);
  EXPECT_EQ(page.find("<h2>Figures</h2>"), std::string::npos);
  EXPECT_EQ(page.find("<h2>Global statistics</h2>"), std::string::npos);
}

TEST(ReportPage, Base64OfEveryLengthOfTheLastGroup) {
  EXPECT_EQ(base64("Man"), "TWFu");
  EXPECT_EQ(base64("Ma"), "TWE=");
  EXPECT_EQ(base64("M"), "TQ==");
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64(std::string("\xff\xfe\x00", 3)), "//4A");
}

}  // namespace
}  // namespace quorvel::reports
