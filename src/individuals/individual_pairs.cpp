#include "individuals/individual_pairs.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/constants.hpp"
#include "individuals/pair_test_program.hpp"

namespace quorvel::individuals {

namespace {

// Factor of the extra class's limit over the largest distance it holds.
constexpr double kExtraClassFactor = 1.000001;
// Sums of squares below this are rounding noise: no variation.
constexpr double kNoVariance = 1e-9;

double ratio_or_missing(double numerator, double denominator) {
  return denominator != 0 ? numerator / denominator : MISSING_VALUE;
}

// The kept individuals, in list order, with what the pair loop reads.
struct KeptIndividuals {
  std::vector<int> index;
  std::vector<double> x, y;
  std::vector<int> species;
};

// Sums of one regression interval over ordered pairs (each pair twice).
struct IntervalSums {
  double n = 0, d = 0, d2 = 0, l = 0, l2 = 0;
};

// Standardised membership of species with frequency p: for a member, and
// for a non-member.
struct Membership {
  double member = 0, other = 0;
};

Membership standardised(double p) {
  const double sd = std::sqrt(p * (1 - p));
  return {(1 - p) / sd, -p / sd};
}

bool is_informative(double p) { return p > 0 && p < 1; }

// Counts of ordered pairs (each unordered pair of the loop in both orders)
// of one table of first-species x second-species cells.
struct OrderedTable {
  int S1 = 0;
  const double* cells = nullptr;  // (S+1) x (S+1), cell s * S1 + t
  std::vector<double> margin;     // ordered pairs whose first individual is of species s
};

}  // namespace

SpeciesTurnover compute_species_turnover(const core::FMatrix& divergences,
                                         const core::Vector<SpeciesPairCounts>& counts, int n_species, int n_classes) {
  SpeciesTurnover turnover;
  const int S1 = n_species + 1;
  const int rows = counts.hi();
  turnover.rows = core::Vector<TurnoverRow>(0, rows);
  // Per row and class: pairs, pairs with a divergence, divergence sum,
  // heterospecific pairs, heterospecific pairs with a divergence and their sum.
  struct Sums {
    double pairs = 0, with_divergence = 0, divergence = 0, hetero = 0, hetero_with_divergence = 0,
           hetero_divergence = 0;
  };
  std::vector<std::vector<Sums>> sums(static_cast<std::size_t>(rows) + 1,
                                      std::vector<Sums>(static_cast<std::size_t>(n_classes) + 1));
  for (int r = 0; r <= rows; ++r) {
    for (int c = 1; c <= n_classes; ++c) {
      Sums& cell = sums[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      const std::int64_t* row = &counts[r](c, 0);
      for (int s = 1; s <= n_species; ++s) {
        for (int t = 1; t <= n_species; ++t) {
          const double count = static_cast<double>(row[s * S1 + t]);
          if (count == 0) continue;
          const float divergence = divergences(s, t);
          const bool known = divergence != MISSING_VALUE_F;
          cell.pairs += count;
          if (known) {
            cell.with_divergence += count;
            cell.divergence += count * divergence;
          }
          if (s != t) {
            cell.hetero += count;
            if (known) {
              cell.hetero_with_divergence += count;
              cell.hetero_divergence += count * divergence;
            }
          }
        }
      }
      Sums& all = sums[static_cast<std::size_t>(r)][0];
      all.pairs += cell.pairs;
      all.with_divergence += cell.with_divergence;
      all.divergence += cell.divergence;
      all.hetero += cell.hetero;
      all.hetero_with_divergence += cell.hetero_with_divergence;
      all.hetero_divergence += cell.hetero_divergence;
    }
  }
  const auto H = [](const Sums& s) { return ratio_or_missing(s.hetero, s.pairs); };
  const auto D = [](const Sums& s) { return ratio_or_missing(s.divergence, s.with_divergence); };
  const auto R = [](const Sums& s) { return ratio_or_missing(s.hetero_divergence, s.hetero_with_divergence); };
  const Sums& base = sums[0][0];
  turnover.total_H = H(base);
  turnover.total_D = D(base);
  turnover.total_R = R(base);
  const auto relative = [](double value, double total) {
    if (value == MISSING_VALUE || total == MISSING_VALUE || total == 0) return MISSING_VALUE;
    return 1 - value / total;
  };
  for (int r = 0; r <= rows; ++r) {
    TurnoverRow& row = turnover.rows[r];
    row.I = core::dvector(0, n_classes);
    row.P = core::dvector(0, n_classes);
    row.R = core::dvector(0, n_classes);
    for (int c = 0; c <= n_classes; ++c) {
      const Sums& cell = sums[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      row.I[c] = relative(H(cell), turnover.total_H);
      row.P[c] = relative(D(cell), turnover.total_D);
      row.R[c] = relative(R(cell), turnover.total_R);
    }
  }
  return turnover;
}

void analyse_individual_pairs(const IndividualInput& input, const LogicTestTable& tests, int n_pair_tests,
                              PairDistanceClasses& classes, int n_regression, const core::DVector& regression_bounds,
                              const core::FMatrix& divergences, IndividualPairResults& out) {
  const int N = input.n_individuals;
  const int S = input.n_species;
  const int S1 = S + 1;
  const int T = n_pair_tests;
  const int m = std::max(n_regression, 0);
  const bool with_divergences = !divergences.empty() && divergences.row_hi() >= 1;

  // 1. Base population.
  const PairTestProgram base_test(tests, 0, input.logic, N);
  KeptIndividuals kept;
  out.kept_per_species = core::ivector(0, S);
  for (int i = 1; i <= N; ++i) {
    if (!base_test.matches(i, i)) continue;
    kept.index.push_back(i);
    kept.x.push_back((*input.x)[i]);
    kept.y.push_back((*input.y)[i]);
    kept.species.push_back((*input.species_of)[i]);
    ++out.kept_per_species[(*input.species_of)[i]];
  }
  const int K = static_cast<int>(kept.index.size());
  out.n_kept = K;
  out.n_species = S;
  out.n_pair_tests = T;
  out.n_regression = m;

  // Tables of the pair loop; one more class than given, for the extra class.
  const int max_classes = classes.n + 1;
  if (classes.limits.hi() < max_classes) {
    core::DVector larger = core::dvector(0, max_classes + 1);
    for (int c = 0; c <= classes.n && c <= classes.limits.hi(); ++c) larger[c] = classes.limits[c];
    classes.limits = std::move(larger);
  }
  const int individual_tests = T > 0 ? T : 0;
  const int count_rows = with_divergences ? individual_tests : 0;
  out.has_turnover = with_divergences;
  out.pair_counts = core::Vector<SpeciesPairCounts>(0, count_rows);
  for (int r = 0; r <= count_rows; ++r) out.pair_counts[r] = SpeciesPairCounts(0, max_classes, 0, S1 * S1 - 1);
  core::DVector distance_sum = core::dvector(0, max_classes);
  core::DVector max_observed = core::dvector(0, max_classes);
  core::Matrix<std::int64_t> test_counts(0, individual_tests, 0, max_classes);
  std::vector<IntervalSums> intervals(static_cast<std::size_t>(m) + 1);
  // Per interval and (first, second) species: pairs, sums of d and ln d.
  core::D3Tensor interval_pairs = core::d3tensor(0, m, 0, 2, 0, S1 * S1 - 1);
  std::vector<PairTestProgram> pair_tests;
  pair_tests.reserve(static_cast<std::size_t>(individual_tests));
  for (int k = 1; k <= individual_tests; ++k) pair_tests.emplace_back(tests, k, input.logic, N);

  // 2. One pass over the pairs i < j of the base population.
  double* limits = classes.limits.data();  // index 0 = limit 0
  int n = classes.n;
  const double* bounds = m > 0 ? &regression_bounds[0] : nullptr;
  const double last_bound = m > 0 ? bounds[m] : 0;
  std::int64_t* const counts0 = out.pair_counts[0].data();
  const std::size_t class_stride = static_cast<std::size_t>(S1) * static_cast<std::size_t>(S1);
  // Interval r, table q (pairs, sums of d, sums of ln d), cell: one block.
  double* const interval_base = interval_pairs.data();
  const std::size_t interval_stride = 3 * class_stride;
  for (int a = 0; a < K; ++a) {
    const double xi = kept.x[static_cast<std::size_t>(a)], yi = kept.y[static_cast<std::size_t>(a)];
    const int si = kept.species[static_cast<std::size_t>(a)];
    const int ii = kept.index[static_cast<std::size_t>(a)];
    for (int b = a + 1; b < K; ++b) {
      const double dx = kept.x[static_cast<std::size_t>(b)] - xi;
      const double dy = kept.y[static_cast<std::size_t>(b)] - yi;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d > limits[n] || n == 0) {
        if (!classes.extra_class_opened) {
          ++n;
          classes.extra_class_opened = true;
        }
        limits[n] = kExtraClassFactor * d;
      }
      int c = 1;
      while (d > limits[c]) ++c;
      const int sj = kept.species[static_cast<std::size_t>(b)];
      const std::size_t cell = static_cast<std::size_t>(si * S1 + sj);
      ++counts0[static_cast<std::size_t>(c) * class_stride + cell];
      distance_sum[c] += d;
      if (d > max_observed[c]) max_observed[c] = d;

      if (m > 0 && d > 0 && (d <= last_bound || last_bound == 0)) {
        int r = 1;
        while (r < m && d > bounds[r]) ++r;
        const double ln_d = std::log(d);
        IntervalSums& sums = intervals[static_cast<std::size_t>(r)];
        sums.n += 2;
        sums.d += 2 * d;
        sums.d2 += 2 * d * d;
        sums.l += 2 * ln_d;
        sums.l2 += 2 * ln_d * ln_d;
        double* const pairs_of_interval = interval_base + static_cast<std::size_t>(r) * interval_stride;
        pairs_of_interval[cell] += 1;
        pairs_of_interval[class_stride + cell] += d;
        pairs_of_interval[2 * class_stride + cell] += ln_d;
      }

      const int jj = kept.index[static_cast<std::size_t>(b)];
      for (int k = 1; k <= individual_tests; ++k) {
        if (!pair_tests[static_cast<std::size_t>(k - 1)].matches(ii, jj)) continue;
        ++test_counts(k, c);
        if (count_rows > 0) ++out.pair_counts[k](c, static_cast<int>(cell));
      }
    }
  }
  classes.n = n;

  // 3. Classes: pairs (each once), mean and largest distance, limits.
  out.n_classes = n;
  out.class_pairs = core::dvector(0, n);
  out.class_mean_distance = core::dvector(0, n);
  out.class_limit = core::dvector(0, n);
  out.class_max_observed = core::dvector(0, n);
  double all_distances = 0;
  for (int c = 1; c <= n; ++c) {
    double pairs = 0;
    const std::int64_t* row = &out.pair_counts[0](c, 0);
    for (std::size_t cell = 0; cell < class_stride; ++cell) pairs += static_cast<double>(row[cell]);
    out.class_pairs[c] = pairs;
    out.class_pairs[0] += pairs;
    all_distances += distance_sum[c];
    out.class_mean_distance[c] = ratio_or_missing(distance_sum[c], pairs);
    out.class_limit[c] = limits[c];
    out.class_max_observed[c] = pairs > 0 ? max_observed[c] : MISSING_VALUE;
    out.class_max_observed[0] = std::max(out.class_max_observed[0], max_observed[c]);
  }
  out.class_mean_distance[0] = ratio_or_missing(all_distances, out.class_pairs[0]);
  out.class_limit[0] = MISSING_VALUE;

  // Frequencies of the species in the base population.
  std::vector<double> p(static_cast<std::size_t>(S1), 0.0);
  for (int s = 1; s <= S; ++s) p[static_cast<std::size_t>(s)] = K > 0 ? double(out.kept_per_species[s]) / K : 0.0;

  // 4. Autocorrelation of species membership by class, from the ordered pair
  // counts: P(first of s, second of t) and the margins.
  out.autocorrelation = core::d3tensor(1, std::max(S, 1), 1, std::max(S, 1), 0, n);
  out.autocorrelation.fill(MISSING_VALUE);
  std::vector<double> ordered(class_stride), margin(static_cast<std::size_t>(S1));
  for (int c = 0; c <= n; ++c) {
    std::fill(ordered.begin(), ordered.end(), 0.0);
    const int first_class = c == 0 ? 1 : c, last_class = c == 0 ? n : c;
    for (int cc = first_class; cc <= last_class; ++cc) {
      const std::int64_t* row = &out.pair_counts[0](cc, 0);
      for (int s = 0; s <= S; ++s) {
        for (int t = 0; t <= S; ++t) {
          const double count = static_cast<double>(row[s * S1 + t]);
          ordered[static_cast<std::size_t>(s * S1 + t)] += count;
          ordered[static_cast<std::size_t>(t * S1 + s)] += count;
        }
      }
    }
    double total = 0;
    for (int s = 0; s <= S; ++s) {
      double sum = 0;
      for (int t = 0; t <= S; ++t) sum += ordered[static_cast<std::size_t>(s * S1 + t)];
      margin[static_cast<std::size_t>(s)] = sum;
      total += sum;
    }
    if (total == 0) continue;
    for (int s = 1; s <= S; ++s) {
      const double ps = p[static_cast<std::size_t>(s)];
      if (!is_informative(ps)) continue;
      for (int t = s; t <= S; ++t) {
        const double pt = p[static_cast<std::size_t>(t)];
        if (!is_informative(pt)) continue;
        const double P = ordered[static_cast<std::size_t>(s * S1 + t)] / total;
        const double Ps = margin[static_cast<std::size_t>(s)] / total;
        const double Pt = margin[static_cast<std::size_t>(t)] / total;
        const double F = P * std::sqrt((1 - ps) * (1 - pt) / (ps * pt)) +
                         (1 - Ps - Pt + P) * std::sqrt(ps * pt / ((1 - ps) * (1 - pt))) -
                         (Pt - P) * std::sqrt(ps * (1 - pt) / ((1 - ps) * pt)) -
                         (Ps - P) * std::sqrt((1 - ps) * pt / (ps * (1 - pt)));
        out.autocorrelation(s, t, c) = F;
        out.autocorrelation(t, s, c) = F;
      }
    }
  }

  // 5. Regression intervals and the slopes of the standardised products.
  out.regression_pairs = core::dvector(0, m);
  out.regression_low = core::dvector(0, m);
  out.regression_high = core::dvector(0, m);
  out.regression_mean_distance = core::dvector(0, m);
  out.regression_mean_ln_distance = core::dvector(0, m);
  out.slope_distance = core::d3tensor(1, std::max(S, 1), 1, std::max(S, 1), 0, m);
  out.slope_ln_distance = core::d3tensor(1, std::max(S, 1), 1, std::max(S, 1), 0, m);
  out.slope_distance.fill(MISSING_VALUE);
  out.slope_ln_distance.fill(MISSING_VALUE);
  std::vector<double> n_st(class_stride), d_st(class_stride), l_st(class_stride);
  std::vector<double> n_s(static_cast<std::size_t>(S1)), d_s(static_cast<std::size_t>(S1)),
      l_s(static_cast<std::size_t>(S1));
  for (int r = 1; r <= m; ++r) {
    const IntervalSums& sums = intervals[static_cast<std::size_t>(r)];
    out.regression_pairs[r] = std::floor(sums.n / 2);
    out.regression_low[r] = bounds[r - 1];
    out.regression_high[r] = bounds[r];
    out.regression_mean_distance[r] = ratio_or_missing(sums.d, sums.n);
    out.regression_mean_ln_distance[r] = ratio_or_missing(sums.l, sums.n);
    if (sums.n == 0) continue;
    for (int s = 0; s <= S; ++s) {
      for (int t = 0; t <= S; ++t) {
        const int cell = s * S1 + t, mirror = t * S1 + s;
        n_st[static_cast<std::size_t>(cell)] = interval_pairs(r, 0, cell) + interval_pairs(r, 0, mirror);
        d_st[static_cast<std::size_t>(cell)] = interval_pairs(r, 1, cell) + interval_pairs(r, 1, mirror);
        l_st[static_cast<std::size_t>(cell)] = interval_pairs(r, 2, cell) + interval_pairs(r, 2, mirror);
      }
    }
    for (int s = 0; s <= S; ++s) {
      n_s[static_cast<std::size_t>(s)] = d_s[static_cast<std::size_t>(s)] = l_s[static_cast<std::size_t>(s)] = 0;
      for (int t = 0; t <= S; ++t) {
        n_s[static_cast<std::size_t>(s)] += n_st[static_cast<std::size_t>(s * S1 + t)];
        d_s[static_cast<std::size_t>(s)] += d_st[static_cast<std::size_t>(s * S1 + t)];
        l_s[static_cast<std::size_t>(s)] += l_st[static_cast<std::size_t>(s * S1 + t)];
      }
    }
    double sxx = sums.d2 - sums.d * sums.d / sums.n;
    double sll = sums.l2 - sums.l * sums.l / sums.n;
    if (sxx < kNoVariance) sxx = 0;
    if (sll < kNoVariance) sll = 0;
    for (int s = 1; s <= S; ++s) {
      const double ps = p[static_cast<std::size_t>(s)];
      if (!is_informative(ps)) continue;
      const Membership us = standardised(ps);
      for (int t = s; t <= S; ++t) {
        const double pt = p[static_cast<std::size_t>(t)];
        if (!is_informative(pt)) continue;
        const Membership ut = standardised(pt);
        // The four combinations of membership: products and their pairs.
        const double z[4] = {us.member * ut.member, us.member * ut.other, us.other * ut.member, us.other * ut.other};
        const auto split = [&](const std::vector<double>& pair, const std::vector<double>& first, double all,
                               double* out4) {
          const double both = pair[static_cast<std::size_t>(s * S1 + t)];
          out4[0] = both;
          out4[1] = first[static_cast<std::size_t>(s)] - both;
          out4[2] = first[static_cast<std::size_t>(t)] - both;
          out4[3] = all - out4[0] - out4[1] - out4[2];
        };
        double counts[4], dsum[4], lsum[4];
        split(n_st, n_s, sums.n, counts);
        split(d_st, d_s, sums.d, dsum);
        split(l_st, l_s, sums.l, lsum);
        double sz = 0, szz = 0, szd = 0, szl = 0;
        for (int q = 0; q < 4; ++q) {
          sz += z[q] * counts[q];
          szz += z[q] * z[q] * counts[q];
          szd += z[q] * dsum[q];
          szl += z[q] * lsum[q];
        }
        const double syy = szz - sz * sz / sums.n;
        if (syy < kNoVariance) continue;
        const double slope_d = sxx != 0 ? (szd - sz * sums.d / sums.n) / sxx : MISSING_VALUE;
        const double slope_l = sll != 0 ? (szl - sz * sums.l / sums.n) / sll : MISSING_VALUE;
        out.slope_distance(s, t, r) = out.slope_distance(t, s, r) = slope_d;
        out.slope_ln_distance(s, t, r) = out.slope_ln_distance(t, s, r) = slope_l;
      }
    }
  }

  // Weights of the species pairs: sqrt(p_s (1 - p_s) p_t (1 - p_t)).
  out.species_pair_weight = core::dmatrix(1, std::max(S, 1), 1, std::max(S, 1));
  for (int s = 1; s <= S; ++s) {
    for (int t = 1; t <= S; ++t) {
      const double ps = p[static_cast<std::size_t>(s)], pt = p[static_cast<std::size_t>(t)];
      out.species_pair_weight(s, t) =
          is_informative(ps) && is_informative(pt) ? std::sqrt(ps * (1 - ps) * pt * (1 - pt)) : 0.0;
    }
  }

  // 6-7. Pair tests.
  const int n_tests = std::abs(T);
  out.test_values = core::dmatrix(0, n_tests, 0, n);
  out.test_counts = core::dvector(0, n_tests);
  out.test_total = 0;
  if (T > 0) {
    for (int k = 1; k <= T; ++k) {
      double total = 0;
      for (int c = 1; c <= n; ++c) {
        const double count = static_cast<double>(test_counts(k, c));
        total += count;
        out.test_values(k, c) = ratio_or_missing(count, out.class_pairs[c]);
      }
      out.test_values(k, 0) = total;
      out.test_counts[k] = total;
    }
  } else if (T < 0) {
    for (int s = 1; s <= S; ++s) {
      for (int t = s; t <= S; ++t) {
        if (out.species_pair_weight(s, t) != 0) out.test_total += 1;
      }
    }
    for (int k = 1; k <= n_tests; ++k) {
      std::vector<double> weighted(static_cast<std::size_t>(n) + 1, 0.0), weights(static_cast<std::size_t>(n) + 1, 0.0);
      for (int s = 1; s <= S; ++s) {
        for (int t = s; t <= S; ++t) {
          const double w = out.species_pair_weight(s, t);
          if (w == 0 || !evaluate_logic_test(s, t, input.logic, tests, k, true)) continue;
          out.test_counts[k] += 1;
          for (int c = 0; c <= n; ++c) {
            const double F = out.autocorrelation(s, t, c);
            if (F == MISSING_VALUE) continue;
            weighted[static_cast<std::size_t>(c)] += w * F;
            weights[static_cast<std::size_t>(c)] += w;
          }
        }
      }
      for (int c = 0; c <= n; ++c) {
        out.test_values(k, c) =
            ratio_or_missing(weighted[static_cast<std::size_t>(c)], weights[static_cast<std::size_t>(c)]);
      }
    }
  }

  // 8. Species turnover.
  if (with_divergences) out.turnover = compute_species_turnover(divergences, out.pair_counts, S, n);
}

}  // namespace quorvel::individuals
