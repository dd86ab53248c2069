#include "reports/trait_signal_text.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/console.hpp"
#include "core/constants.hpp"
#include "reports/report_files.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

// The sections appended to a result file, as the run does.
template <typename... Arguments>
void write_trait_signal(const std::string& file, Arguments&&... arguments) {
  append_section(file, trait_signal_text(std::forward<Arguments>(arguments)...));
}
template <typename... Arguments>
void write_trait_signal_tests(const std::string& file, Arguments&&... arguments) {
  core::console_print("\nWriting permutation results. Please, wait.");
  append_section(file, trait_signal_test_text(std::forward<Arguments>(arguments)...));
}

using testing::read_file;

constexpr float M = MISSING_VALUE_F;

// Three intervals (limits 0, 1.5, 2.5) and two variables.
class TraitSignalReport : public testing::WorkDirTest {
 protected:
  void SetUp() override {
    WorkDirTest::SetUp();
    limits_ = core::dvector(1, 3);
    limits_[1] = 0;
    limits_[2] = 1.5;
    limits_[3] = 2.5;
    names_ = core::name_table(0, 2);
    names_[1] = "size";
    names_[2] = "habitat";
  }

  core::DVector limits_;
  core::NameTable names_;
};

TEST_F(TraitSignalReport, SignalSectionSkipsIntervalOneAndEmptiesMissingCells) {
  core::FMatrix result = core::matrix(-1, 2, -10, 3);
  result.fill(M);
  result[0][2] = 1;
  result[0][3] = 0;
  result[-1][2] = 1;
  result[1][1] = 9;  // interval 1 is never written
  result[1][2] = 0.5f;
  for (int c = -9; c <= -1; ++c) result[1][c] = c == -5 ? M : static_cast<float>(c) / 4;
  write_trait_signal("out.txt", 2, 0, names_, 3, limits_, result);
  EXPECT_EQ(read_file("out.txt"),
            "\n\n\n\n\nANALYSIS OF : PHYLOGENY + TRAITS data"
            "\n\nAutocorrelation coefficients of traits by divergence intervals\nUpper divergence limit:\t"
            "\t1.500000\t2.500000\t\tCorrelation coef with\t\t\t\t\tRegression slope on"
            "\nNumber of species pairs:\t\t1\t0\t\tdivergence\tln(divergence)\tsquared(divergence)\tsqrt(divergence)"
            "\t\tdivergence\tln(divergence)\tsquared(divergence)\tsqrt(divergence)"
            "\nMean divergence between species:\t\t1.000000\t"
            "\nVariables"
            "\nsize\t\t0.500000\t\t\t-0.250000\t-0.500000\t-0.750000\t-1.000000\t\t-1.500000\t-1.750000\t-2.000000"
            "\t-2.250000"
            "\nhabitat\t\t\t\t\t\t\t\t\t\t\t\t\t");
  EXPECT_EQ(console_output(), "");

  write_trait_signal("dist.txt", 2, 1, names_, 3, limits_, result);
  const std::string distance_heading =
      "\n\n\n\n\nANALYSIS OF : PHYLOGENY + TRAITS data\n\nMean trait distance by divergence intervals\n"
      "Upper divergence limit:\t";
  EXPECT_EQ(read_file("dist.txt").substr(0, distance_heading.size()), distance_heading);
  EXPECT_EQ(read_file("dist.txt").find("\nhabitat"), std::string::npos);
}

randomization::TestSummaryMatrix make_summaries() {
  randomization::TestSummaryMatrix summaries(0, 2, -10, 3);
  for (int v = 0; v <= 2; ++v) {
    for (int c = -10; c <= 3; ++c) summaries(v, c).observed = M;
  }
  randomization::TestSummary s;
  s.observed = 0.25f;
  s.mean = 0.125f;
  s.sd = 0.5f;
  s.ci95_low = -1;
  s.ci95_high = 1;
  s.p_lower = 0.9f;
  s.p_upper = 0.1f;
  s.p_two_sided = 0.2f;
  s.distinct_count = 97;
  summaries(1, 2) = s;
  summaries(1, -1) = s;
  summaries(1, -9) = s;
  return summaries;
}

TEST_F(TraitSignalReport, BrownianTestCarriesOnlyItsOwnHeading) {
  write_trait_signal_tests("out.txt", kBrownianTestMode, 0, "", 99, 3, limits_, 1, names_, make_summaries());
  EXPECT_EQ(read_file("out.txt"),
            "\n\nBROWNIAN EVOLUTION TEST : compare autocorrelation coefficients with those expeced under Brownian "
            "trait evolution"
            "\n\nUpper divergence limit:\t\t1.500000\t2.500000\t\tr-divergence\tr-ln(divergence)\t"
            "r-squared(divergence)\tr-sqrt(divergence)\t\tb-divergence\tb-ln(divergence)\tb-squared(divergence)\t"
            "b-sqrt(divergence)"
            "\nSummary results: P-values of bilateral tests for each variable"
            "\nsize\t\t0.200000\t\t\t0.200000\t\t\t\t\t\t\t\t0.200000"
            "\n\nDetailed test results for each variable"
            "\n\nsize\t\t"
            "\nN different permut val\t\t97\t\t\t97\t\t\t\t\t\t\t\t97"
            "\nObs val\t\t0.25\t\t\t0.25\t\t\t\t\t\t\t\t0.25"
            "\nMean permut val\t\t0.125\t\t\t0.125\t\t\t\t\t\t\t\t0.125"
            "\nSD permut val\t\t0.5\t\t\t0.5\t\t\t\t\t\t\t\t0.5"
            "\n95%CI-inf\t\t-1\t\t\t-1\t\t\t\t\t\t\t\t-1"
            "\n95%CI-sup\t\t1\t\t\t1\t\t\t\t\t\t\t\t1"
            "\nP(1-sided test, H1: obs<exp)\t\t0.9000\t\t\t0.9000\t\t\t\t\t\t\t\t0.9000"
            "\nP(1-sided test, H1: obs>exp)\t\t0.1000\t\t\t0.1000\t\t\t\t\t\t\t\t0.1000"
            "\nP(2-sided test, H1: obs<>exp)\t\t0.2000\t\t\t0.2000\t\t\t\t\t\t\t\t0.2000");
  EXPECT_EQ(console_output(), "\nWriting permutation results. Please, wait.");
}

TEST_F(TraitSignalReport, PhylogenyTestHeadings) {
  const auto summaries = make_summaries();
  struct Case {
    double mode;
    double restriction;
    const char* heading;
  };
  const Case cases[] = {
      {0, 0,
       "\n\nPHYLOGENY RANDOMIZATION TEST for trait conservatism : permute sampled species OVER WHOLE PHYLOGENY "
       "(99 randomizations)"},
      {-1, -1,
       "\n\nPHYLOGENY RANDOMIZATION TEST for trait conservatism : permute all species from the phylogenetic "
       "tree WITHIN CLADE \"Felidae\" (99 randomizations)"},
      {-3, 12.5,
       "\n\nPHYLOGENY RANDOMIZATION TEST for trait conservatism : permute species with similar numbers of "
       "occurrences (max ratio of occurrences=3) WITHIN CLADES YOUNGER THAN AGE 12.500000 (99 "
       "randomizations)"},
      {2.5, 0,
       "\n\nPHYLOGENY RANDOMIZATION TEST for trait conservatism : permute species with similar abundances "
       "(max ratio of abundances=2.5) OVER WHOLE PHYLOGENY (99 randomizations)"},
  };
  for (const Case& c : cases) {
    std::remove("out.txt");
    write_trait_signal_tests("out.txt", c.mode, c.restriction, "Felidae", 99, 3, limits_, 1, names_, summaries);
    const std::string text = read_file("out.txt");
    EXPECT_EQ(text.substr(0, text.find("\n\nUpper divergence limit")), c.heading) << c.mode;
  }
}

TEST_F(TraitSignalReport, UnwritableFileIsRetriedAfterReturn) {
  set_console_input("\n");
  // A folder cannot be opened for appending; the retry after Return fails too
  // and the end of input then stops the run instead of looping.
  ASSERT_EQ(std::system("mkdir busy.txt"), 0);
  core::FMatrix result = core::matrix(-1, 1, -10, 3);
  result.fill(M);
  const std::string warning =
      "\nWARNING: Cannot open results file \"busy.txt\".\nIf it is being used by another application, close it "
      "first. Then press Return.\n";
  EXPECT_STOPS(write_trait_signal("busy.txt", 1, 0, names_, 3, limits_, result), warning + core::kNoMoreInput,
               core::kEndOfInputStatus);
  EXPECT_EQ(console_output(), warning + warning);
}

}  // namespace
}  // namespace quorvel::reports
