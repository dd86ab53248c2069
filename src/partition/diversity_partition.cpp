#include "partition/diversity_partition.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/constants.hpp"
#include "partition/partition_kernel.hpp"

namespace quorvel::partition {

namespace {

// A pair's values by quantity: X[q * (R + 1) + m], columns m = 0..R.
constexpr int kF = kQuantityI;       // proportion of pairs of individuals (I)
constexpr int kM = kQuantityP;       // mean divergence between individuals (P)
constexpr int kMs = kQuantityPStar;  // ... between individuals of distinct species (P*)
constexpr int kSP = kQuantityS;      // proportion of pairs of species (S)
constexpr int kMS = kQuantityPI;     // mean divergence between species (PI)
constexpr int kQuantities = kPartitionQuantities;

// Table of each quantity.
IntervalPartition& table_of(PartitionTables& tables, int quantity) {
  static constexpr int kCode[kQuantities] = {kStatisticI, kStatisticP, kStatisticPStar, 0, kStatisticPI};
  return quantity == kSP ? tables.species_pairs : tables.interval[kCode[quantity]];
}

double ratio_or_missing(double numerator, double denominator) {
  if (denominator == 0.0 || is_missing(numerator) || is_missing(denominator)) return MISSING_VALUE;
  return numerator / denominator;
}

// Turns a pair's raw interval sums into proportions and means: column 0 over
// every divergence, column m >= 2 the means restricted to divergences <= t[m].
void finish_pair(const double* raw, int R, bool undefined_draws, double* X) {
  using namespace kernel;
  const int R1 = R + 1;
  double* F = X + kF * R1;
  double* M = X + kM * R1;
  double* Ms = X + kMs * R1;
  double* SP = X + kSP * R1;
  double* MS = X + kMS * R1;
  double TF = 0, TM = 0, TSP = 0, TMS = 0;
  for (int m = 1; m <= R; ++m) {
    TF += raw[kRawF * R1 + m];
    TM += raw[kRawM * R1 + m];
  }
  for (int m = 2; m <= R; ++m) {
    TSP += raw[kRawSP * R1 + m];
    TMS += raw[kRawMS * R1 + m];
  }
  Ms[1] = MISSING_VALUE;
  SP[1] = MISSING_VALUE;
  MS[1] = MISSING_VALUE;

  if (!undefined_draws && TF != 0.0) {
    for (int m = 1; m <= R; ++m) {
      F[m] = raw[kRawF * R1 + m] / TF;
      M[m] = raw[kRawM * R1 + m] / TF;
    }
    F[0] = 1.0 - F[1];
    M[0] = TM / TF;
    Ms[0] = ratio_or_missing(M[0], 1.0 - F[1]);
    double cF = F[1];
    double cM = M[1];
    for (int m = 2; m <= R; ++m) {
      cF += F[m];
      cM += M[m];
      Ms[m] = ratio_or_missing(cM, cF - F[1]);
      M[m] = ratio_or_missing(cM, cF);
    }
  } else {
    // No pair of individuals (or a single individual drawn twice).
    for (int m = 0; m <= R; ++m) F[m] = M[m] = Ms[m] = MISSING_VALUE;
  }

  SP[0] = 1.0;
  if (TSP != 0.0) {
    for (int m = 2; m <= R; ++m) {
      SP[m] = raw[kRawSP * R1 + m] / TSP;
      MS[m] = raw[kRawMS * R1 + m] / TSP;
    }
    MS[0] = TMS / TSP;
    double cSP = 0, cMS = 0;
    for (int m = 2; m <= R; ++m) {
      cSP += SP[m];
      cMS += MS[m];
      MS[m] = ratio_or_missing(cMS, cSP);
    }
  } else {
    // A plot of one species, or two plots sharing their single species.
    MS[0] = MISSING_VALUE;
    for (int m = 2; m <= R; ++m) SP[m] = MS[m] = MISSING_VALUE;
  }
}

float pairwise_statistic(double within_k, double within_l, double among) {
  if (is_missing(within_k) || is_missing(within_l) || is_missing(among) || among == 0.0) return MISSING_VALUE_F;
  return static_cast<float>(1.0 - ((within_k + within_l) / 2.0) / among);
}

// Species lists of plots 1..n (species with a non-zero frequency, only for
// plots with a non-zero total), in the workspace's compact form.
void build_species_lists(PartitionWorkspace& ws, int n, int s, const core::DMatrix& A) {
  ws.list_start.assign(static_cast<std::size_t>(n) + 2, 0);
  ws.list_species.clear();
  ws.list_abundance.clear();
  for (int k = 0; k <= n; ++k) {
    ws.list_start[static_cast<std::size_t>(k)] = static_cast<int>(ws.list_species.size());
    if (k == 0 || A(k, 0) == 0.0) continue;
    const double* row = &A(k, 1);
    for (int j = 0; j < s; ++j) {
      if (row[j] != 0.0) {
        ws.list_species.push_back(j);
        ws.list_abundance.push_back(row[j]);
      }
    }
  }
  ws.list_start[static_cast<std::size_t>(n) + 1] = static_cast<int>(ws.list_species.size());
}

// Means and cumulation of the species pool values from their interval sums
// (rows 2 of P*, PI and S, the weights W and pair counts K by interval).
void finish_pool(PartitionTables& tables, std::vector<double>& W, std::vector<double>& K, double total_x,
                 double total_pairs, int R) {
  IntervalPartition& Pstar = tables.interval[kStatisticPStar];
  IntervalPartition& PI = tables.interval[kStatisticPI];
  Pstar(2, 0) = ratio_or_missing(Pstar(2, 0), total_x);
  PI(2, 0) = ratio_or_missing(PI(2, 0), total_pairs);
  for (int m = 3; m <= R; ++m) {
    Pstar(2, m) += Pstar(2, m - 1);
    PI(2, m) += PI(2, m - 1);
    W[static_cast<std::size_t>(m)] += W[static_cast<std::size_t>(m) - 1];
    K[static_cast<std::size_t>(m)] += K[static_cast<std::size_t>(m) - 1];
  }
  for (int m = 1; m <= R; ++m) {
    Pstar(2, m) = ratio_or_missing(Pstar(2, m), W[static_cast<std::size_t>(m)]);
    PI(2, m) = ratio_or_missing(PI(2, m), K[static_cast<std::size_t>(m)]);
  }
}

// The species pool values under the clade coding, from the pairs of pool
// species grouped by their common ancestor.
void clade_species_pool(PartitionWorkspace& ws, const std::vector<int>& pool, const core::DMatrix& A, int R,
                        PartitionTables& tables) {
  IntervalPartition& Pstar = tables.interval[kStatisticPStar];
  IntervalPartition& PI = tables.interval[kStatisticPI];
  IntervalPartition& S = tables.species_pairs;
  const std::size_t R1 = static_cast<std::size_t>(R) + 1;
  std::vector<double> W(R1, 0.0), K(R1, 0.0), DW(R1, 0.0), DK(R1, 0.0), weight(pool.size());
  const double total = A(0, 0);
  for (std::size_t p = 0; p < pool.size(); ++p) weight[p] = A(0, pool[p] + 1) * total;
  kernel::clade_pool_sums(ws, pool, weight, W.data(), DW.data(), K.data(), DK.data());
  double total_x = 0, total_pairs = 0;
  Pstar(2, 0) = PI(2, 0) = S(2, 0) = 0.0;
  for (int m = 1; m <= R; ++m) {
    const std::size_t i = static_cast<std::size_t>(m);
    Pstar(2, m) = DW[i];
    PI(2, m) = DK[i];
    S(2, m) = K[i];
    Pstar(2, 0) += DW[i];
    PI(2, 0) += DK[i];
    total_x += W[i];
    total_pairs += K[i];
  }
  finish_pool(tables, W, K, total_x, total_pairs, R);
}

// Mean divergences among the species of the pooled sample (step "species
// pool"): unweighted (DELTAp) and weighted by the product of the pooled
// abundances (Dp*), overall and cumulated by interval.
void species_pool(PartitionWorkspace& ws, const std::vector<int>& pool, const core::DMatrix& A, int R,
                  PartitionTables& tables) {
  IntervalPartition& Pstar = tables.interval[kStatisticPStar];
  IntervalPartition& PI = tables.interval[kStatisticPI];
  IntervalPartition& S = tables.species_pairs;
  std::vector<double> W(static_cast<std::size_t>(R) + 1, 0.0), K(static_cast<std::size_t>(R) + 1, 0.0);
  for (int m = 0; m <= R; ++m) Pstar(2, m) = PI(2, m) = S(2, m) = 0.0;
  const double total = A(0, 0);
  double total_x = 0, total_pairs = 0;
  for (std::size_t p = 0; p < pool.size(); ++p) {
    const int i = pool[p];
    const double ai = A(0, i + 1) * total;
    const kernel::DivergenceRow row = kernel::divergence_row(ws, i);
    for (std::size_t q = p + 1; q < pool.size(); ++q) {
      const int j = pool[q];
      const int slot = row.slot[j];
      if (slot == ws.n_slots) continue;
      const double d = row.divergence[j];
      const int m = ws.value_slots ? ws.interval_of_slot[static_cast<std::size_t>(slot)] : slot + 1;
      const double x = ai * (A(0, j + 1) * total);
      W[static_cast<std::size_t>(m)] += x;
      Pstar(2, 0) += d * x;
      Pstar(2, m) += d * x;
      PI(2, 0) += d;
      PI(2, m) += d;
      S(2, m) += 1.0;
      K[static_cast<std::size_t>(m)] += 1.0;
      total_x += x;
      total_pairs += 1.0;
    }
  }
  finish_pool(tables, W, K, total_x, total_pairs, R);
}

}  // namespace

void compute_diversity_partition(int n, int s, core::DMatrix& A, int data_type, const PairSelection& selection,
                                 const SpeciesDistances& distances, int R, const core::DVector& limits,
                                 PlotWeighting weighting, PartitionTables& tables, PartitionWorkspace& ws) {
  const int R1 = R + 1;
  const int width = kQuantities * R1;
  const bool clades = distances.clades != nullptr;
  kernel::code_distances(ws, s, distances, R, limits);

  // Plot weights.
  ws.weights.assign(static_cast<std::size_t>(n) + 1, 0.0);
  double* w = ws.weights.data();
  for (int k = 1; k <= n; ++k) {
    const double total = A(k, 0);
    w[k] = weighting == PlotWeighting::kEqual ? (total != 0.0 ? 1.0 : 0.0) : total;
    w[0] += w[k];
  }

  // The species pool is every species of the table, also those present only
  // in plots without weight (plots that a category selection leaves out), so
  // that it never depends on what an earlier call left in row 0.
  std::vector<int>& pool = ws.pool;
  pool.clear();
  for (int j = 1; j <= s; ++j) {
    double sum = 0;
    bool present = false;
    for (int k = 1; k <= n; ++k) {
      sum += w[k] * A(k, j);
      present = present || A(k, j) != 0.0;
    }
    A(0, j) = w[0] != 0.0 ? sum / w[0] : 0.0;
    if (present && A(0, 0) != 0.0) pool.push_back(j - 1);
  }
  build_species_lists(ws, n, s, A);
  auto list_size = [&ws](int k) {
    return ws.list_start[static_cast<std::size_t>(k) + 1] - ws.list_start[static_cast<std::size_t>(k)];
  };

  // Within-plot values of every weighted plot. A plot without a within value
  // of a quantity in a column is left out of that column (named in
  // tables.left_out); P*, S and PI have no column 1.
  ws.within.assign(static_cast<std::size_t>(n + 1) * width, MISSING_VALUE);
  ws.raw.assign(static_cast<std::size_t>(4) * R1, 0.0);
  tables.left_out.reset(n, R1);
  ws.complete.assign(static_cast<std::size_t>(n) + 1, 0);
  int weighted_plots = 0;
  int last_weighted = 0;
  for (int k = 1; k <= n; ++k) {
    if (w[k] == 0.0 || list_size(k) == 0) continue;
    ++weighted_plots;
    last_weighted = k;
    bool undefined_draws = false;
    kernel::within_plot_sums(ws, k, data_type, A(k, 0), ws.raw.data(), undefined_draws);
    double* Xk = ws.within.data() + static_cast<std::size_t>(k) * width;
    finish_pair(ws.raw.data(), R, undefined_draws, Xk);
    bool complete = true;
    for (int q = 0; q < kQuantities; ++q) {
      for (int m = 0; m <= R; ++m) {
        if (m == 1 && (q == kMs || q == kSP || q == kMS)) continue;
        if (!is_missing(Xk[q * R1 + m])) continue;
        tables.left_out.add(q, m, k);
        complete = false;
      }
    }
    ws.complete[static_cast<std::size_t>(k)] = complete ? 1 : 0;
  }

  // Pairs, in the order k < l, with the global sums accumulated as they come:
  // per column, a pair enters the within value when both plots have a value
  // there, and the among value when its own value is defined too. Most pairs
  // have every value (but those no pair has: P*, S and PI in column 1), and
  // their weights, the same in every column, are summed apart.
  ws.sums.assign(static_cast<std::size_t>(4) * width, 0.0);
  double* among_sum = ws.sums.data();
  double* within_sum = among_sum + width;
  double* among_weight = within_sum + width;
  double* within_weight = among_weight + width;
  double among_weight_all = 0, within_weight_all = 0;
  // Column 1 of P*, S and PI is missing in every pair: a pair has every
  // other value when those three are its only missing ones.
  auto pair_complete = [width](const double* values) {
    int missing = 0;
    for (int c = 0; c < width; ++c) missing += is_missing(values[c]) ? 1 : 0;
    return missing == 3;
  };
  ws.pair.assign(static_cast<std::size_t>(width), MISSING_VALUE);
  double* X = ws.pair.data();
  std::vector<int>& partners = ws.partners;
  for (int k = 1; k < n; ++k) {
    if (w[k] == 0.0 || list_size(k) == 0) continue;
    partners.clear();
    for (int l = k + 1; l <= n; ++l)
      if (w[l] != 0.0 && list_size(l) != 0 && selection.selects(k, l)) partners.push_back(l);
    if (partners.empty()) continue;
    kernel::plot_channel_sums(ws, k);
    const double* Xk = ws.within.data() + static_cast<std::size_t>(k) * width;
    for (int l : partners) {
      kernel::pair_sums(ws, l, ws.raw.data());
      finish_pair(ws.raw.data(), R, false, X);
      const double* Xl = ws.within.data() + static_cast<std::size_t>(l) * width;
      for (int code = kStatisticI; code <= kStatisticPI; ++code) {
        const int q = quantity_of_statistic(code) * R1;
        const float value = pairwise_statistic(Xk[q], Xl[q], X[q]);
        tables.pairwise[code](k, l) = value;
        tables.pairwise[code](l, k) = value;
      }
      const double wk = w[k];
      const double wl = w[l];
      const double wkl = wk * wl;
      if (ws.complete[static_cast<std::size_t>(k)] && ws.complete[static_cast<std::size_t>(l)] && pair_complete(X)) {
        for (int c = 0; c < width; ++c) {
          among_sum[c] += wkl * X[c];
          within_sum[c] += wk * Xk[c] + wl * Xl[c];
        }
        among_weight_all += wkl;
        within_weight_all += wk + wl;
        continue;
      }
      for (int c = 0; c < width; ++c) {
        if (is_missing(Xk[c]) || is_missing(Xl[c])) continue;
        within_sum[c] += wk * Xk[c] + wl * Xl[c];
        within_weight[c] += wk + wl;
        if (is_missing(X[c])) continue;
        among_sum[c] += wkl * X[c];
        among_weight[c] += wkl;
      }
    }
  }
  for (int c = 0; c < width; ++c) {
    among_weight[c] += among_weight_all;
    within_weight[c] += within_weight_all;
  }
  if (weighted_plots == 1) {
    // A single plot: its own values are the within values.
    const double* Xk = ws.within.data() + static_cast<std::size_t>(last_weighted) * width;
    for (int c = 0; c < width; ++c) {
      if (is_missing(Xk[c])) continue;
      within_sum[c] = Xk[c];
      within_weight[c] = 1.0;
    }
  }

  for (int q = 0; q < kQuantities; ++q) {
    IntervalPartition& T = table_of(tables, q);
    for (int m = 0; m <= R; ++m) {
      const int c = q * R1 + m;
      T(0, m) = ratio_or_missing(within_sum[c], within_weight[c]);
      T(1, m) = ratio_or_missing(among_sum[c], among_weight[c]);
    }
  }
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    const IntervalPartition& T = tables.interval[code];
    const double ratio = ratio_or_missing(T(0, 0), T(1, 0));
    tables.pairwise[code](0, 0) = is_missing(ratio) ? MISSING_VALUE_F : static_cast<float>(1.0 - ratio);
  }

  if (clades)
    clade_species_pool(ws, pool, A, R, tables);
  else if (distances.given())
    species_pool(ws, pool, A, R, tables);
}

void compute_diversity_partition(int n_plots, int n_species, core::DMatrix& abundances, int data_type,
                                 const PairSelection& selection, const core::FMatrix* divergences, int n_intervals,
                                 const core::DVector& limits, PlotWeighting weighting, PartitionTables& tables) {
  PartitionWorkspace workspace;
  compute_diversity_partition(n_plots, n_species, abundances, data_type, selection, table_distances(divergences),
                              n_intervals, limits, weighting, tables, workspace);
}

}  // namespace quorvel::partition
