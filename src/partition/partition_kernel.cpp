#include "partition/partition_kernel.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/constants.hpp"

namespace quorvel::partition::kernel {

namespace {

using Coding = PartitionWorkspace::Coding;

std::size_t at(int index) { return static_cast<std::size_t>(index); }

bool is_absent(float d) { return !std::isfinite(d); }

bool same_limits(const PartitionWorkspace& ws, int n_intervals, const core::DVector& limits) {
  if (ws.n_intervals != n_intervals) return false;
  for (int m = 1; m <= n_intervals; ++m)
    if (ws.limits[at(m - 1)] != limits[m]) return false;
  return true;
}

void set_limits(PartitionWorkspace& ws, int s, int n_intervals, const core::DVector& limits) {
  ws.n_species = s;
  ws.n_intervals = n_intervals;
  ws.limits.assign(at(n_intervals), 0.0);
  for (int m = 1; m <= n_intervals; ++m) ws.limits[at(m - 1)] = limits[m];
}

// A classification has few distinct divergences: one slot per value then
// needs fewer channels (F and SP per value; M and MS follow by weighting)
// than four per interval. `values` are the distinct divergences, increasing.
void choose_slots(PartitionWorkspace& ws, std::vector<float> values) {
  const int n_values = static_cast<int>(values.size());
  const int n_intervals = ws.n_intervals;
  ws.value_slots = 2 * (n_values + 1) < 4 * (n_intervals + 1) && n_values < 65535;
  ws.n_slots = ws.value_slots ? n_values : n_intervals;
  ws.slot_stride = ws.n_slots + 1;
  ws.interval_of_slot.assign(at(ws.n_slots) + 1, 0);
  ws.value_of_slot.assign(at(ws.n_slots) + 1, 0.0);
  if (ws.value_slots) {
    for (int v = 0; v < n_values; ++v) {
      ws.value_of_slot[at(v)] = values[at(v)];
      ws.interval_of_slot[at(v)] = interval_of(values[at(v)], n_intervals, ws.limits.data());
    }
  } else {
    for (int m = 1; m <= n_intervals; ++m) ws.interval_of_slot[at(m - 1)] = m;
  }
  ws.values = std::move(values);
}

std::uint16_t slot_of(const PartitionWorkspace& ws, float d) {
  if (is_absent(d)) return static_cast<std::uint16_t>(ws.n_slots);
  if (ws.value_slots)
    return static_cast<std::uint16_t>(std::lower_bound(ws.values.begin(), ws.values.end(), d) - ws.values.begin());
  return static_cast<std::uint16_t>(interval_of(d, ws.n_intervals, ws.limits.data()) - 1);
}

// True when the workspace already codes this table with these limits; the
// comparison is far cheaper than the coding and than one partition.
bool same_table(const PartitionWorkspace& ws, int s, const core::FMatrix& table, int n_intervals,
                const core::DVector& limits) {
  if (ws.coding != Coding::kTable || ws.n_species != s || !same_limits(ws, n_intervals, limits)) return false;
  for (int i = 1; i <= s; ++i) {
    const float* row = &table(i, 1);
    if (std::memcmp(row, ws.divergence_copy.data() + at(i - 1) * at(s), sizeof(float) * at(s)) != 0) return false;
  }
  return true;
}

void code_table(PartitionWorkspace& ws, int s, const core::FMatrix& table, int n_intervals,
                const core::DVector& limits) {
  if (same_table(ws, s, table, n_intervals, limits)) return;
  const std::size_t cells = at(s) * at(s);
  ws.coding = Coding::kTable;
  set_limits(ws, s, n_intervals, limits);
  ws.divergence_copy.resize(cells);
  for (int i = 1; i <= s; ++i)
    for (int j = 1; j <= s; ++j) ws.divergence_copy[at(i - 1) * at(s) + at(j - 1)] = table(i, j);
  std::vector<float> values;
  values.reserve(cells);
  for (float d : ws.divergence_copy)
    if (!is_absent(d)) values.push_back(d);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  choose_slots(ws, std::move(values));
  ws.slot_of_pair.resize(cells);
  ws.divergence_of_pair.resize(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    const float d = ws.divergence_copy[c];
    ws.slot_of_pair[c] = slot_of(ws, d);
    ws.divergence_of_pair[c] = is_absent(d) ? 0.0f : d;
  }
}

// Divergence 0 within a species and 1 between species, coded as two values.
void code_unit(PartitionWorkspace& ws, int s, int n_intervals, const core::DVector& limits) {
  if (ws.coding == Coding::kUnit && ws.n_species == s && same_limits(ws, n_intervals, limits)) return;
  ws.coding = Coding::kUnit;
  set_limits(ws, s, n_intervals, limits);
  choose_slots(ws, s > 1 ? std::vector<float>{0.0f, 1.0f} : std::vector<float>{0.0f});
  ws.cached_row = -1;
  ws.row_slots.assign(at(s), 0);
  ws.row_divergences.assign(at(s), 0.0f);
}

// Divergences one row at a time from a tree. The slots need the distinct
// divergences only while they are few enough for value slots (a star tree,
// say): the count stops as soon as they are too many.
void code_rows(PartitionWorkspace& ws, int s, const phylogeny::Phylogeny& tree, const core::IVector& tips,
               int n_intervals, const core::DVector& limits) {
  const bool same_tips =
      !ws.row_tips.empty() && ws.row_tips.hi() == tips.hi() && ws.row_tips.lo() == tips.lo() &&
      std::equal(&tips[tips.lo()], &tips[tips.lo()] + (tips.hi() - tips.lo() + 1), &ws.row_tips[tips.lo()]);
  if (ws.coding == Coding::kRows && ws.row_tree == &tree && ws.n_species == s && same_tips &&
      same_limits(ws, n_intervals, limits))
    return;
  ws.coding = Coding::kRows;
  set_limits(ws, s, n_intervals, limits);
  ws.row_tree = &tree;
  ws.row_tips = tips;
  ws.rows = std::make_unique<phylogeny::DivergenceRows>(tree, ws.row_tips, s);
  ws.row_buffer.assign(at(s) + 1, 0.0f);
  const std::size_t cap = at(2 * n_intervals + 1);  // value slots need fewer distinct values
  std::vector<float> values;
  for (int i = 1; i <= s && values.size() < cap; ++i) {
    ws.rows->fill(i, ws.row_buffer.data());
    for (int j = 1; j <= s && values.size() < cap; ++j) {
      const float d = ws.row_buffer[at(j)];
      if (is_absent(d)) continue;
      const auto place = std::lower_bound(values.begin(), values.end(), d);
      if (place == values.end() || *place != d) values.insert(place, d);
    }
  }
  choose_slots(ws, std::move(values));
  ws.cached_row = -1;
  ws.row_slots.assign(at(s), 0);
  ws.row_divergences.assign(at(s), 0.0f);
}

}  // namespace

int interval_of(double d, int n_intervals, const double* limits) {
  int m = 1;
  while (m < n_intervals && d > limits[m - 1]) ++m;
  return m;
}

void code_distances(PartitionWorkspace& ws, int s, const SpeciesDistances& distances, int n_intervals,
                    const core::DVector& limits) {
  if (distances.clades) {
    code_clades(ws, s, *distances.clades, *distances.tip_of_species, n_intervals, limits);
  } else if (distances.tree) {
    code_rows(ws, s, *distances.tree, *distances.tip_of_species, n_intervals, limits);
  } else if (distances.matrix) {
    code_table(ws, s, *distances.matrix, n_intervals, limits);
  } else {
    code_unit(ws, s, n_intervals, limits);
  }
}

DivergenceRow divergence_row(PartitionWorkspace& ws, int i) {
  const int s = ws.n_species;
  if (ws.coding == Coding::kTable) {
    const std::size_t row = at(i) * at(s);
    return {ws.slot_of_pair.data() + row, ws.divergence_of_pair.data() + row};
  }
  if (ws.cached_row != i) {
    ws.cached_row = i;
    if (ws.coding == Coding::kRows) {
      ws.rows->fill(i + 1, ws.row_buffer.data());
      for (int j = 0; j < s; ++j) {
        const float d = ws.row_buffer[at(j) + 1];
        ws.row_slots[at(j)] = slot_of(ws, d);
        ws.row_divergences[at(j)] = is_absent(d) ? 0.0f : d;
      }
    } else {
      for (int j = 0; j < s; ++j) {
        const float d = j == i ? 0.0f : 1.0f;
        ws.row_slots[at(j)] = slot_of(ws, d);
        ws.row_divergences[at(j)] = d;
      }
    }
  }
  return {ws.row_slots.data(), ws.row_divergences.data()};
}

void within_plot_sums(PartitionWorkspace& ws, int k, int data_type, double plot_total, double* raw,
                      bool& undefined_draws) {
  if (ws.coding == Coding::kClades) {
    clade_within_sums(ws, k, data_type, plot_total, raw, undefined_draws);
    return;
  }
  const int R = ws.n_intervals;
  const int R1 = R + 1;
  std::fill(raw, raw + 4 * R1, 0.0);
  undefined_draws = false;
  const int begin = ws.list_start[at(k)];
  const int end = ws.list_start[at(k) + 1];
  // With counts, two different individuals of the plot are drawn (without
  // replacement): a pair of distinct species has probability
  // p_i p_j N/(N - 1), a pair within species i p_i (n_i - 1)/(N - 1). The
  // terms then sum to exactly 1 and give the unbiased estimators of the
  // Gini-Simpson and Rao diversities.
  const bool without_replacement = data_type == kCountData;
  if (without_replacement && plot_total == 1.0) {
    undefined_draws = true;  // a single individual: no pair to draw
    return;
  }
  const double scale = without_replacement ? plot_total / (plot_total - 1.0) : 1.0;
  for (int p = begin; p < end; ++p) {
    const int i = ws.list_species[at(p)];
    const double ai = ws.list_abundance[at(p)];
    const DivergenceRow row = divergence_row(ws, i);
    for (int q = begin; q < end; ++q) {
      const int j = ws.list_species[at(q)];
      const int slot = row.slot[j];
      if (slot == ws.n_slots) continue;
      double y = ws.list_abundance[at(q)] * scale;
      if (i == j && without_replacement) y = (ai * plot_total - 1.0) / (plot_total - 1.0);
      const double x = ai * y;
      const double d = row.divergence[j];
      const int m = ws.interval_of_slot[at(slot)];
      raw[kRawF * R1 + m] += x;
      raw[kRawM * R1 + m] += d * x;
      if (d != 0.0) {
        raw[kRawSP * R1 + m] += 1.0;
        raw[kRawMS * R1 + m] += d;
      }
    }
  }
}

int channel_count(const PartitionWorkspace& ws) { return (ws.value_slots ? 2 : 4) * ws.slot_stride; }

void plot_channel_sums(PartitionWorkspace& ws, int k) {
  if (ws.coding == Coding::kClades) {
    clade_channel_sums(ws, k);
    return;
  }
  const int s = ws.n_species;
  const int S = ws.n_slots + 1;  // the last slot gathers the pairs without divergence
  const int C = channel_count(ws);
  ws.plot_channels.assign(at(s) * at(C), 0.0);
  double* const channels = ws.plot_channels.data();
  const int begin = ws.list_start[at(k)];
  const int end = ws.list_start[at(k) + 1];
  for (int p = begin; p < end; ++p) {
    const double a = ws.list_abundance[at(p)];
    const DivergenceRow row = divergence_row(ws, ws.list_species[at(p)]);
    const std::uint16_t* slot = row.slot;
    const float* divergence = row.divergence;
    if (ws.value_slots) {
      // Channels: abundance sum per value, then species count per value.
      for (int j = 0; j < s; ++j) {
        double* y = channels + at(j) * at(C) + slot[j];
        y[0] += a;
        y[S] += 1.0;
      }
    } else {
      // Channels: F, M (abundance weighted), then SP, MS (presence) per interval.
      for (int j = 0; j < s; ++j) {
        const double d = divergence[j];
        double* y = channels + at(j) * at(C) + slot[j];
        y[0] += a;
        y[S] += a * d;
        y[2 * S] += d != 0.0 ? 1.0 : 0.0;
        y[3 * S] += d;
      }
    }
  }
}

namespace {

// Channel totals of the pair: abundance-weighted for the first half of the
// channels (built from plot k's abundances), plain sums for the second half
// (built from its presences).
template <int kHalf>
void accumulate_fixed(const double* channels, const int* species, const double* abundance, int count, double* total) {
  double sum[2 * kHalf] = {};
  for (int p = 0; p < count; ++p) {
    const double* y = channels + static_cast<std::size_t>(species[p]) * (2 * kHalf);
    const double a = abundance[p];
    for (int c = 0; c < kHalf; ++c) sum[c] += a * y[c];
    for (int c = kHalf; c < 2 * kHalf; ++c) sum[c] += y[c];
  }
  std::copy(sum, sum + 2 * kHalf, total);
}

void accumulate_any(const double* channels, int C, const int* species, const double* abundance, int count,
                    double* total) {
  const int half = C / 2;
  std::fill(total, total + C, 0.0);
  for (int p = 0; p < count; ++p) {
    const double* y = channels + static_cast<std::size_t>(species[p]) * at(C);
    const double a = abundance[p];
    for (int c = 0; c < half; ++c) total[c] += a * y[c];
    for (int c = half; c < C; ++c) total[c] += y[c];
  }
}

}  // namespace

void pair_sums(PartitionWorkspace& ws, int l, double* raw) {
  if (ws.coding == Coding::kClades) {
    clade_pair_sums(ws, l, true, raw);
    return;
  }
  const int C = channel_count(ws);
  ws.pair_channels.resize(at(C));
  double* total = ws.pair_channels.data();
  const int begin = ws.list_start[at(l)];
  const int count = ws.list_start[at(l) + 1] - begin;
  const int* species = ws.list_species.data() + begin;
  const double* abundance = ws.list_abundance.data() + begin;
  const double* channels = ws.plot_channels.data();
  // Fixed channel counts let the compiler keep the totals in registers.
  switch (C) {
    case 4:
      accumulate_fixed<2>(channels, species, abundance, count, total);
      break;
    case 6:
      accumulate_fixed<3>(channels, species, abundance, count, total);
      break;
    case 8:
      accumulate_fixed<4>(channels, species, abundance, count, total);
      break;
    case 10:
      accumulate_fixed<5>(channels, species, abundance, count, total);
      break;
    case 12:
      accumulate_fixed<6>(channels, species, abundance, count, total);
      break;
    case 14:
      accumulate_fixed<7>(channels, species, abundance, count, total);
      break;
    case 16:
      accumulate_fixed<8>(channels, species, abundance, count, total);
      break;
    case 20:
      accumulate_fixed<10>(channels, species, abundance, count, total);
      break;
    case 24:
      accumulate_fixed<12>(channels, species, abundance, count, total);
      break;
    case 28:
      accumulate_fixed<14>(channels, species, abundance, count, total);
      break;
    default:
      accumulate_any(channels, C, species, abundance, count, total);
      break;
  }

  totals_to_raw(ws, total, raw);
}

// Channel totals of a pair into raw interval sums (the layout of pair_sums).
void totals_to_raw(const PartitionWorkspace& ws, const double* total, double* raw) {
  const int R = ws.n_intervals;
  const int R1 = R + 1;
  const int S = ws.slot_stride;
  std::fill(raw, raw + 4 * R1, 0.0);
  if (ws.value_slots) {
    for (int v = 0; v < ws.n_slots; ++v) {
      const double d = ws.value_of_slot[at(v)];
      const int m = ws.interval_of_slot[at(v)];
      raw[kRawF * R1 + m] += total[v];
      raw[kRawM * R1 + m] += d * total[v];
      if (d != 0.0) {
        raw[kRawSP * R1 + m] += total[S + v];
        raw[kRawMS * R1 + m] += d * total[S + v];
      }
    }
  } else {
    for (int m = 1; m <= R; ++m) {
      raw[kRawF * R1 + m] = total[m - 1];
      raw[kRawM * R1 + m] = total[S + m - 1];
      raw[kRawSP * R1 + m] = total[2 * S + m - 1];
      raw[kRawMS * R1 + m] = total[3 * S + m - 1];
    }
  }
}

}  // namespace quorvel::partition::kernel
