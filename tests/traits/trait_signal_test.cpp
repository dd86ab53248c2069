#include "traits/trait_signal.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "core/constants.hpp"

namespace quorvel::traits {
namespace {

constexpr float M = MISSING_VALUE_F;

// Four species A, B, C, D with divergences A-B 1, C-D 2, all others 3, and
// limits 0, 1.5, 2.5: interval 1 is empty, A-B falls in 2, C-D in 3 and the
// four pairs at 3 lie beyond the last limit.
struct FourSpecies {
  FourSpecies() {
    divergences = core::matrix(0, 4, 0, 4);
    for (int i = 1; i <= 4; ++i) {
      for (int j = 1; j <= 4; ++j) divergences[i][j] = i == j ? 0.0f : 3.0f;
    }
    divergences[1][2] = divergences[2][1] = 1;
    divergences[3][4] = divergences[4][3] = 2;
    limits = core::dvector(1, 3);
    limits[1] = 0;
    limits[2] = 1.5;
    limits[3] = 2.5;
    // v1: 1, 2, 3, 6 (mean 3, variance 3.5); v2 categorical; v3 one value only.
    traits = core::matrix(0, 3, 0, 4);
    const float v1[] = {1, 2, 3, 6};
    for (int s = 1; s <= 4; ++s) {
      traits[1][s] = v1[s - 1];
      traits[2][s] = static_cast<float>(s % 2 + 1);
      traits[3][s] = s == 2 ? 5.0f : M;
    }
    categories = core::ivector(0, 3);
    categories[2] = 2;
    result = core::matrix(-1, 3, -10, 3);
    result.fill(42.0f);  // stale values must not survive
  }

  core::FMatrix divergences;
  core::DVector limits;
  core::FMatrix traits;
  core::IVector categories;
  core::FMatrix result;
  core::Vector<core::FMatrix> no_distances;
};

TEST(TraitSignal, PairCountsAndMeanDivergencesByInterval) {
  FourSpecies data;
  analyse_trait_signal(4, 3, data.limits, 3, data.categories, data.traits, data.no_distances, 0, data.divergences,
                       data.result);
  const float counts[] = {6, 0, 1, 1};
  const float means[] = {2.5f, M, 1, 2};
  for (int c = 0; c <= 3; ++c) {
    EXPECT_EQ(data.result[0][c], counts[c]) << c;
    EXPECT_EQ(data.result[-1][c], means[c]) << c;
  }
}

TEST(TraitSignal, AutocorrelationCorrelationsAndSlopesOfTraitValues) {
  FourSpecies data;
  analyse_trait_signal(4, 3, data.limits, 3, data.categories, data.traits, data.no_distances, 0, data.divergences,
                       data.result);
  auto row = data.result[1];
  EXPECT_EQ(row[1], M);                                            // no pair at divergence 0
  EXPECT_FLOAT_EQ(row[2], static_cast<float>(2 / 3.5 + 1.0 / 3));  // A-B: (-2)(-1) / 3.5 + 1/(n-1)
  EXPECT_FLOAT_EQ(row[3], static_cast<float>(1.0 / 3));            // C-D: C sits at the mean, z = 0
  // Pearson r and slope of z on d, ln d, d^2, sqrt d over the six pairs.
  const double r[] = {-0.6273643326097716, -0.6202213440907282, -0.6253341293050401, -0.6250717646606003};
  const double b[] = {-0.6122448979591841, -1.1355997753872624, -0.14637964774951068, -1.695198006120721};
  for (int t = 0; t < 4; ++t) {
    EXPECT_FLOAT_EQ(row[-1 - t], static_cast<float>(r[t])) << t;
    EXPECT_FLOAT_EQ(row[-6 - t], static_cast<float>(b[t])) << t;
  }
  EXPECT_EQ(row[-5], M);
  EXPECT_EQ(row[-10], 42.0f);  // outside the table's columns
  // The categorical variable and the variable with one value get empty rows.
  for (int c = -9; c <= 3; ++c) {
    EXPECT_EQ(data.result[2][c], M) << c;
    EXPECT_EQ(data.result[3][c], M) << c;
  }
}

TEST(TraitSignal, MeanTraitDistancesByInterval) {
  FourSpecies data;
  core::Vector<core::FMatrix> distances(1, 1);
  distances[1] = core::matrix(0, 4, 0, 4);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) distances[1][i][j] = std::abs(data.traits[1][i] - data.traits[1][j]);
  }
  distances[1][2][4] = distances[1][4][2] = M;  // B-D unknown: skipped
  analyse_trait_signal(4, 3, data.limits, 3, data.categories, data.traits, distances, 1, data.divergences, data.result);
  auto row = data.result[1];
  EXPECT_EQ(row[1], M);
  EXPECT_EQ(row[2], 1.0f);
  EXPECT_EQ(row[3], 3.0f);
  // Over the five pairs with a distance: d = 1, 3, 3, 3, 2 and t = 1, 2, 5, 1, 3.
  const double d[] = {1, 3, 3, 3, 2}, t[] = {1, 2, 5, 1, 3};
  double sd = 0, st = 0, sdd = 0, stt = 0, sdt = 0;
  for (int k = 0; k < 5; ++k) {
    sd += d[k];
    st += t[k];
    sdd += d[k] * d[k];
    stt += t[k] * t[k];
    sdt += d[k] * t[k];
  }
  const double cov = sdt / 5 - sd / 5 * st / 5;
  const double vd = sdd / 5 - sd / 5 * sd / 5, vt = stt / 5 - st / 5 * st / 5;
  EXPECT_FLOAT_EQ(row[-1], static_cast<float>(cov / std::sqrt(vd * vt)));
  EXPECT_FLOAT_EQ(row[-6], static_cast<float>(cov / vd));
  EXPECT_EQ(data.result[2][2], 42.0f);  // rows past W are not touched
}

TEST(TraitSignal, DegenerateInputsGiveEmptyCells) {
  FourSpecies data;
  // Every divergence equal: no correlation with a constant; identical trait
  // values: no variance. A species without a divergence is left out.
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) data.divergences[i][j] = i == j ? 0.0f : 2.0f;
  }
  data.divergences[1][4] = data.divergences[4][1] = M;
  data.traits[3][1] = data.traits[3][3] = 5;  // v3: 5, 5, 5 over three species
  analyse_trait_signal(4, 3, data.limits, 3, data.categories, data.traits, data.no_distances, 0, data.divergences,
                       data.result);
  EXPECT_EQ(data.result[0][0], 5.0f);
  EXPECT_EQ(data.result[0][3], 5.0f);
  for (int c = -9; c <= -1; ++c) EXPECT_EQ(data.result[1][c], M) << c;
  EXPECT_FALSE(std::isnan(data.result[1][3]));
  for (int c = -9; c <= 3; ++c) EXPECT_EQ(data.result[3][c], M) << c;
}

}  // namespace
}  // namespace quorvel::traits
