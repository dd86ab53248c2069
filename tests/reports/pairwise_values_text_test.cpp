#include "reports/pairwise_values_text.hpp"

#include <gtest/gtest.h>

#include "core/constants.hpp"
#include "core/output_session.hpp"
#include "optional_tables_fixtures.hpp"
#include "support/test_support.hpp"

namespace quorvel::reports {
namespace {

using partition::PairwiseStatMatrix;
namespace testing = partition::testing;

using testing::line_starting;

// Three plots, categories 1, 1, 2; pairwise I and P of pairs (1,2) and
// (1,3); pair (2,3) not computed.
struct PairwiseCase {
  core::NameTable names = testing::plot_names(3);
  core::IVector categories = core::ivector(0, 3);
  core::DVector x = core::dvector(0, 3);
  core::DVector y = core::dvector(0, 3);
  core::DMatrix no_distances = core::dmatrix(0, 1, 0, 1);
  PairwiseStatMatrix matrices[5];

  PairwiseCase() {
    categories[1] = categories[2] = 1;
    categories[3] = 2;
    x[2] = 3;
    y[2] = 4;
    x[3] = 1.5;
    for (int code = 1; code <= 4; ++code) {
      matrices[code] = core::matrix(0, 3, 0, 3);
      matrices[code].fill(MISSING_VALUE_F);
    }
    matrices[1](1, 2) = matrices[1](2, 1) = 0.25f;
    matrices[1](1, 3) = matrices[1](3, 1) = -0.125f;
    matrices[2](1, 2) = matrices[2](2, 1) = 0.5f;
  }

  PairwiseValuesInput input(int n_statistics) {
    PairwiseValuesInput in;
    in.n_plots = 3;
    in.plot_names = &names;
    in.selection.categories = &categories;
    in.x = &x;
    in.y = &y;
    in.distances = &no_distances;
    for (int code = 1; code <= n_statistics; ++code) in.statistics.push_back(code);
    in.matrices = matrices;
    return in;
  }
};

TEST(PairwiseValues, WritesMatricesColumnsAndWithinValues) {
  PairwiseCase c;
  EXPECT_EQ(pairwise_values_text(c.input(2)),
            "\n\nPAIRWISE VALUES written as matrices"
            "\n\nPairwise Ist\tp1\tp2\tp3\np1\t\t0.2500\t-0.1250\np2\t0.2500\t\t\np3\t-0.1250\t\t"
            "\n\nPairwise Pst\tp1\tp2\tp3\np1\t\t0.5000\t\np2\t0.5000\t\t\np3\t\t\t"
            "\n\n\nPAIRWISE VALUES written in column form\nName i\tName j\tN\xB0i\tN\xB0j\tSpatial dist"
            "\tPairwise Ist\tPairwise Pst"
            "\np1\tp2\t1\t2\t5\t0.250000\t0.500000\np1\tp3\t1\t3\t1.5\t-0.125000\t\np2\tp3\t2\t3\t4.272\t\t"
            "\n\nDiversity coefficients within each plot\tn\xB0 plot\tDi\tDp\tDELTA\np1\t1\t\t\np2\t2\t\t\np3\t3\t\t");
}

TEST(PairwiseValues, ColumnFormListsOnlyPairsOfTheSelectionKind) {
  PairwiseCase c;
  PairwiseValuesInput in = c.input(1);
  in.form = 1;
  in.selection.mode = 1;
  in.selection.key1 = 2;  // a named category does not narrow the list
  const std::string within = pairwise_values_text(in);
  EXPECT_EQ(within.find("matrices"), std::string::npos);
  EXPECT_NE(within.find("\np1\tp2\t1\t2\t5\t0.250000"), std::string::npos);
  EXPECT_EQ(within.find("\np1\tp3\t"), std::string::npos);
  EXPECT_EQ(within.find("\np2\tp3\t"), std::string::npos);
  in.selection.mode = 2;
  const std::string between = pairwise_values_text(in);
  EXPECT_EQ(between.find("\np1\tp2\t"), std::string::npos);
  EXPECT_NE(between.find("\np1\tp3\t1\t3\t1.5\t-0.125000"), std::string::npos);
  in.form = -1;
  EXPECT_EQ(pairwise_values_text(in).find("column form"), std::string::npos);
}

TEST(PairwiseValues, DistancesComeFromTheDistanceMatrixWhenGiven) {
  PairwiseCase c;
  core::DMatrix distances = core::dmatrix(0, 3, 0, 3);
  distances(0, 0) = -1;
  distances(1, 2) = distances(2, 1) = 12.5;
  PairwiseValuesInput in = c.input(1);
  in.form = 1;
  in.distances = &distances;
  EXPECT_EQ(line_starting(pairwise_values_text(in), "p1\tp2\t"), "p1\tp2\t1\t2\t12.5\t0.250000");
  // A pair the distance file leaves out keeps MISSING_VALUE: an empty cell, never "INF".
  distances(1, 3) = distances(3, 1) = MISSING_VALUE;
  EXPECT_EQ(line_starting(pairwise_values_text(in), "p1\tp3\t"), "p1\tp3\t1\t3\t\t-0.125000");
  in.distances = &c.no_distances;
  in.data_level = 1;  // individuals of one group: no distance between them
  core::IVector groups = core::ivector(0, 3);
  groups[1] = groups[2] = 7;
  in.groups = &groups;
  const std::string text = pairwise_values_text(in);
  EXPECT_EQ(line_starting(text, "p1\tp2\t"), "p1\tp2\t1\t2\t-1\t0.250000");
  EXPECT_NE(text.find("\tPairwise Iij"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::reports
