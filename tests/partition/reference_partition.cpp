#include "reference_partition.hpp"

#include <cmath>
#include <vector>

#include "core/constants.hpp"

namespace quorvel::partition::reference {

namespace {

double safe_divide(double a, double b) {
  if (b == 0.0 || is_missing(a) || is_missing(b)) return MISSING_VALUE;
  return a / b;
}

bool absent(double d) { return !std::isfinite(d); }

float statistic(double within_k, double within_l, double among) {
  if (is_missing(within_k) || is_missing(within_l) || is_missing(among) || among == 0.0) return MISSING_VALUE_F;
  return static_cast<float>(1 - ((within_k + within_l) / 2) / among);
}

}  // namespace

void compute_diversity_partition(int n, int s, core::DMatrix& A, int data_type, const PairSelection& selection,
                                 const core::FMatrix* D, int R, const core::DVector& t, PlotWeighting weighting,
                                 PartitionTables& tables) {
  // Species lists of the plots.
  std::vector<std::vector<int>> list(static_cast<std::size_t>(n) + 1);
  for (int k = 1; k <= n; ++k) {
    if (A[k][0] == 0) continue;
    for (int j = 1; j <= s; ++j)
      if (A[k][j] != 0) list[static_cast<std::size_t>(k)].push_back(j);
  }
  // 1. Weights.
  core::DVector w = core::dvector(0, n);
  for (int k = 1; k <= n; ++k) {
    if (weighting == PlotWeighting::kEqual)
      w[k] = A[k][0] != 0 ? 1 : 0;
    else
      w[k] = A[k][0];
    w[0] += w[k];
  }
  // 2. Pooled frequencies; the pool is every species present in some plot.
  std::vector<int> pool;
  for (int j = 1; j <= s; ++j) {
    double sum = 0;
    bool present = false;
    for (int k = 1; k <= n; ++k) {
      sum += w[k] * A[k][j];
      if (A[k][j] != 0) present = true;
    }
    A[0][j] = w[0] != 0 ? sum / w[0] : 0;
    if (present && A[0][0] != 0) pool.push_back(j);
  }

  core::D3Tensor F = core::d3tensor(0, n, 0, n, 0, R), M = core::d3tensor(0, n, 0, n, 0, R),
                 Ms = core::d3tensor(0, n, 0, n, 0, R), SP = core::d3tensor(0, n, 0, n, 0, R),
                 MS = core::d3tensor(0, n, 0, n, 0, R);
  F.fill(MISSING_VALUE);
  M.fill(MISSING_VALUE);
  Ms.fill(MISSING_VALUE);
  SP.fill(MISSING_VALUE);
  MS.fill(MISSING_VALUE);

  auto divergence = [&](int i, int j) -> double {
    if (D) return (*D)[i][j];
    return i == j ? 0.0 : 1.0;
  };

  // 3. Values of the pair (k, l), k <= l.
  auto pair_values = [&](int k, int l) {
    for (int m = 1; m <= R; ++m) F(k, l, m) = M(k, l, m) = 0;
    for (int m = 2; m <= R; ++m) SP(k, l, m) = MS(k, l, m) = 0;
    bool undefined = false;
    for (int i : list[static_cast<std::size_t>(k)]) {
      for (int j : list[static_cast<std::size_t>(l)]) {
        const double d = divergence(i, j);
        if (absent(d)) continue;
        double y = A[l][j];
        if (k == l && data_type == kCountData) {
          // Two different individuals of the plot.
          const double N = A[k][0];
          if (N == 1) {
            undefined = true;
            continue;
          }
          y = i == j ? (A[k][i] * N - 1) / (N - 1) : A[l][j] * N / (N - 1);
        }
        const double x = A[k][i] * y;
        int m = 1;
        while (m < R && d > t[m]) ++m;
        F(k, l, m) += x;
        M(k, l, m) += d * x;
        if (d != 0) {
          SP(k, l, m) += 1;
          MS(k, l, m) += d;
        }
      }
    }
    double TF = 0, TM = 0, TSP = 0, TMS = 0;
    for (int m = 1; m <= R; ++m) {
      TF += F(k, l, m);
      TM += M(k, l, m);
    }
    for (int m = 2; m <= R; ++m) {
      TSP += SP(k, l, m);
      TMS += MS(k, l, m);
    }
    if (undefined || TF == 0) {
      for (int m = 0; m <= R; ++m) F(k, l, m) = M(k, l, m) = Ms(k, l, m) = MISSING_VALUE;
    } else {
      for (int m = 1; m <= R; ++m) {
        F(k, l, m) /= TF;
        M(k, l, m) /= TF;
      }
      F(k, l, 0) = 1 - F(k, l, 1);
      M(k, l, 0) = TM / TF;
      Ms(k, l, 0) = safe_divide(M(k, l, 0), 1 - F(k, l, 1));
      double cF = F(k, l, 1), cM = M(k, l, 1);
      for (int m = 2; m <= R; ++m) {
        cF += F(k, l, m);
        cM += M(k, l, m);
        Ms(k, l, m) = safe_divide(cM, cF - F(k, l, 1));
        M(k, l, m) = safe_divide(cM, cF);
      }
    }
    SP(k, l, 0) = 1;
    if (TSP == 0) {
      MS(k, l, 0) = MISSING_VALUE;
      for (int m = 2; m <= R; ++m) SP(k, l, m) = MS(k, l, m) = MISSING_VALUE;
    } else {
      for (int m = 2; m <= R; ++m) {
        SP(k, l, m) /= TSP;
        MS(k, l, m) /= TSP;
      }
      MS(k, l, 0) = TMS / TSP;
      double cSP = 0, cMS = 0;
      for (int m = 2; m <= R; ++m) {
        cSP += SP(k, l, m);
        cMS += MS(k, l, m);
        MS(k, l, m) = safe_divide(cMS, cSP);
      }
    }
  };

  for (int k = 1; k <= n; ++k)
    if (w[k] != 0 && !list[static_cast<std::size_t>(k)].empty()) pair_values(k, k);
  core::D3Tensor* quantity[5] = {&F, &M, &Ms, &SP, &MS};
  IntervalPartition* table[5] = {&tables.interval[kStatisticI], &tables.interval[kStatisticP],
                                 &tables.interval[kStatisticPStar], &tables.species_pairs,
                                 &tables.interval[kStatisticPI]};
  const int quantity_of_code[5] = {0, 0, 1, 2, 4};
  // A plot has a value of quantity q in column m when X(k, k, m) is defined;
  // P*, S and PI have no column 1 at all.
  tables.left_out.reset(n, R + 1);
  int weighted = 0, last = 0;
  for (int k = 1; k <= n; ++k) {
    if (w[k] == 0 || list[static_cast<std::size_t>(k)].empty()) continue;
    ++weighted;
    last = k;
    for (int q = 0; q < 5; ++q)
      for (int m = 0; m <= R; ++m)
        if (is_missing((*quantity[q])(k, k, m)) && !(m == 1 && q >= 2)) tables.left_out.add(q, m, k);
  }

  const std::size_t cells = static_cast<std::size_t>(5 * (R + 1));
  std::vector<double> among(cells, 0.0), within(cells, 0.0), among_weight(cells, 0.0), within_weight(cells, 0.0);
  for (int k = 1; k <= n; ++k) {
    for (int l = k + 1; l <= n; ++l) {
      if (w[k] == 0 || w[l] == 0 || list[static_cast<std::size_t>(k)].empty() ||
          list[static_cast<std::size_t>(l)].empty() || !selection.selects(k, l))
        continue;
      pair_values(k, l);
      // 4. Pairwise statistics.
      for (int code = 1; code <= 4; ++code) {
        core::D3Tensor& X = *quantity[quantity_of_code[code]];
        const float value = statistic(X(k, k, 0), X(l, l, 0), X(k, l, 0));
        tables.pairwise[code][k][l] = value;
        tables.pairwise[code][l][k] = value;
      }
      // 6. Global accumulation over the plots with a value in each column.
      for (int q = 0; q < 5; ++q) {
        core::D3Tensor& X = *quantity[q];
        for (int m = 0; m <= R; ++m) {
          const std::size_t c = static_cast<std::size_t>(q * (R + 1) + m);
          if (is_missing(X(k, k, m)) || is_missing(X(l, l, m))) continue;
          within[c] += w[k] * X(k, k, m) + w[l] * X(l, l, m);
          within_weight[c] += w[k] + w[l];
          if (is_missing(X(k, l, m))) continue;
          among[c] += w[k] * w[l] * X(k, l, m);
          among_weight[c] += w[k] * w[l];
        }
      }
    }
  }
  // 7. One weighted plot.
  if (weighted == 1) {
    for (int q = 0; q < 5; ++q)
      for (int m = 0; m <= R; ++m) {
        const std::size_t c = static_cast<std::size_t>(q * (R + 1) + m);
        if (is_missing((*quantity[q])(last, last, m))) continue;
        within[c] = (*quantity[q])(last, last, m);
        within_weight[c] = 1;
      }
  }
  // 8. Normalisation.
  for (int q = 0; q < 5; ++q) {
    for (int m = 0; m <= R; ++m) {
      const std::size_t c = static_cast<std::size_t>(q * (R + 1) + m);
      (*table[q])[0][m] = safe_divide(within[c], within_weight[c]);
      (*table[q])[1][m] = safe_divide(among[c], among_weight[c]);
    }
  }
  // 9. Global statistics.
  for (int code = 1; code <= 4; ++code) {
    const double ratio = safe_divide(tables.interval[code][0][0], tables.interval[code][1][0]);
    tables.pairwise[code][0][0] = is_missing(ratio) ? MISSING_VALUE_F : static_cast<float>(1 - ratio);
  }
  // 10. Species pool.
  if (!D) return;
  IntervalPartition& Pstar = tables.interval[kStatisticPStar];
  IntervalPartition& PI = tables.interval[kStatisticPI];
  IntervalPartition& S = tables.species_pairs;
  std::vector<double> W(static_cast<std::size_t>(R) + 1, 0.0), K(static_cast<std::size_t>(R) + 1, 0.0);
  for (int m = 0; m <= R; ++m) Pstar[2][m] = PI[2][m] = S[2][m] = 0;
  double total_x = 0, total_pairs = 0;
  for (std::size_t p = 0; p < pool.size(); ++p) {
    for (std::size_t q = p + 1; q < pool.size(); ++q) {
      const int i = pool[p], j = pool[q];
      const double d = (*D)[i][j];
      if (absent(d)) continue;
      int m = 1;
      while (m < R && d > t[m]) ++m;
      const double x = (A[0][i] * A[0][0]) * (A[0][j] * A[0][0]);
      W[static_cast<std::size_t>(m)] += x;
      Pstar[2][0] += d * x;
      Pstar[2][m] += d * x;
      PI[2][0] += d;
      PI[2][m] += d;
      S[2][m] += 1;
      K[static_cast<std::size_t>(m)] += 1;
      total_x += x;
      total_pairs += 1;
    }
  }
  Pstar[2][0] = safe_divide(Pstar[2][0], total_x);
  PI[2][0] = safe_divide(PI[2][0], total_pairs);
  for (int m = 3; m <= R; ++m) {
    Pstar[2][m] += Pstar[2][m - 1];
    PI[2][m] += PI[2][m - 1];
    W[static_cast<std::size_t>(m)] += W[static_cast<std::size_t>(m) - 1];
    K[static_cast<std::size_t>(m)] += K[static_cast<std::size_t>(m) - 1];
  }
  for (int m = 1; m <= R; ++m) {
    Pstar[2][m] = safe_divide(Pstar[2][m], W[static_cast<std::size_t>(m)]);
    PI[2][m] = safe_divide(PI[2][m], K[static_cast<std::size_t>(m)]);
  }
}

}  // namespace quorvel::partition::reference
