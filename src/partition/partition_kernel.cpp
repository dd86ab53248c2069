#include "partition/partition_kernel.hpp"

#include "core/constants.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvel::partition::kernel {

namespace {

bool is_absent(float d) { return !std::isfinite(d); }

// True when the workspace already codes this matrix with these limits; the
// comparison is far cheaper than the coding and than one partition.
bool same_coding(const PartitionWorkspace& ws, int s, const core::FMatrix* divergences, int n_intervals,
                 const core::DVector& limits) {
  if (!ws.coded || ws.clade_mode || ws.n_species != s || ws.n_intervals != n_intervals ||
      ws.has_divergences != (divergences != nullptr))
    return false;
  for (int m = 1; m <= n_intervals; ++m)
    if (ws.limits[static_cast<std::size_t>(m - 1)] != limits[m]) return false;
  if (!divergences) return true;
  for (int i = 1; i <= s; ++i) {
    const float* row = &(*divergences)(i, 1);
    if (std::memcmp(row, ws.divergence_copy.data() + static_cast<std::size_t>(i - 1) * s, sizeof(float) * s) != 0)
      return false;
  }
  return true;
}

}  // namespace

int interval_of(double d, int n_intervals, const double* limits) {
  int m = 1;
  while (m < n_intervals && d > limits[m - 1]) ++m;
  return m;
}

void code_divergences(PartitionWorkspace& ws, int s, const core::FMatrix* divergences, int n_intervals,
                      const core::DVector& limits) {
  if (same_coding(ws, s, divergences, n_intervals, limits)) return;
  const std::size_t cells = static_cast<std::size_t>(s) * static_cast<std::size_t>(s);
  ws.coded = true;
  ws.clade_mode = false;
  ws.has_divergences = divergences != nullptr;
  ws.n_species = s;
  ws.n_intervals = n_intervals;
  ws.limits.assign(static_cast<std::size_t>(n_intervals), 0.0);
  for (int m = 1; m <= n_intervals; ++m) ws.limits[static_cast<std::size_t>(m - 1)] = limits[m];
  ws.divergence_copy.resize(cells);
  for (int i = 1; i <= s; ++i)
    for (int j = 1; j <= s; ++j)
      ws.divergence_copy[static_cast<std::size_t>(i - 1) * s + (j - 1)] =
          divergences ? (*divergences)(i, j) : (i == j ? 0.0f : 1.0f);

  // A classification has few distinct divergences: one slot per value then
  // needs fewer channels (F and SP per value; M and MS follow by weighting)
  // than four per interval.
  std::vector<float> values;
  values.reserve(cells);
  for (float d : ws.divergence_copy)
    if (!is_absent(d)) values.push_back(d);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  const int n_values = static_cast<int>(values.size());
  ws.value_slots = 2 * (n_values + 1) < 4 * (n_intervals + 1) && n_values < 65535;
  ws.n_slots = ws.value_slots ? n_values : n_intervals;
  ws.slot_stride = ws.n_slots + 1;
  ws.interval_of_slot.assign(static_cast<std::size_t>(ws.n_slots) + 1, 0);
  ws.value_of_slot.assign(static_cast<std::size_t>(ws.n_slots) + 1, 0.0);
  if (ws.value_slots) {
    for (int v = 0; v < n_values; ++v) {
      ws.value_of_slot[static_cast<std::size_t>(v)] = values[static_cast<std::size_t>(v)];
      ws.interval_of_slot[static_cast<std::size_t>(v)] =
          interval_of(values[static_cast<std::size_t>(v)], n_intervals, ws.limits.data());
    }
  } else {
    for (int m = 1; m <= n_intervals; ++m) ws.interval_of_slot[static_cast<std::size_t>(m - 1)] = m;
  }

  ws.slot_of_pair.resize(cells);
  ws.divergence_of_pair.resize(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    const float d = ws.divergence_copy[c];
    if (is_absent(d)) {
      ws.slot_of_pair[c] = static_cast<std::uint16_t>(ws.n_slots);
      ws.divergence_of_pair[c] = 0.0f;
      continue;
    }
    int slot;
    if (ws.value_slots)
      slot = static_cast<int>(std::lower_bound(values.begin(), values.end(), d) - values.begin());
    else
      slot = interval_of(d, n_intervals, ws.limits.data()) - 1;
    ws.slot_of_pair[c] = static_cast<std::uint16_t>(slot);
    ws.divergence_of_pair[c] = d;
  }
}

void within_plot_sums(const PartitionWorkspace& ws, int k, int data_type, double plot_total, double* raw,
                      bool& undefined_draws) {
  const int R = ws.n_intervals;
  const int R1 = R + 1;
  const int s = ws.n_species;
  std::fill(raw, raw + 4 * R1, 0.0);
  undefined_draws = false;
  const int begin = ws.list_start[static_cast<std::size_t>(k)];
  const int end = ws.list_start[static_cast<std::size_t>(k) + 1];
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
    const int i = ws.list_species[static_cast<std::size_t>(p)];
    const double ai = ws.list_abundance[static_cast<std::size_t>(p)];
    const std::size_t row = static_cast<std::size_t>(i) * s;
    for (int q = begin; q < end; ++q) {
      const int j = ws.list_species[static_cast<std::size_t>(q)];
      const int slot = ws.slot_of_pair[row + j];
      if (slot == ws.n_slots) continue;
      double y = ws.list_abundance[static_cast<std::size_t>(q)] * scale;
      if (i == j && without_replacement) y = (ai * plot_total - 1.0) / (plot_total - 1.0);
      const double x = ai * y;
      const double d = ws.divergence_of_pair[row + j];
      const int m = ws.interval_of_slot[static_cast<std::size_t>(slot)];
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
  const int s = ws.n_species;
  const int S = ws.n_slots + 1;  // the last slot gathers the pairs without divergence
  const int C = channel_count(ws);
  ws.plot_channels.assign(static_cast<std::size_t>(s) * C, 0.0);
  double* const channels = ws.plot_channels.data();
  const int begin = ws.list_start[static_cast<std::size_t>(k)];
  const int end = ws.list_start[static_cast<std::size_t>(k) + 1];
  for (int p = begin; p < end; ++p) {
    const std::size_t row = static_cast<std::size_t>(ws.list_species[static_cast<std::size_t>(p)]) * s;
    const double a = ws.list_abundance[static_cast<std::size_t>(p)];
    const std::uint16_t* slot = ws.slot_of_pair.data() + row;
    const float* divergence = ws.divergence_of_pair.data() + row;
    if (ws.value_slots) {
      // Channels: abundance sum per value, then species count per value.
      for (int j = 0; j < s; ++j) {
        double* y = channels + static_cast<std::size_t>(j) * C + slot[j];
        y[0] += a;
        y[S] += 1.0;
      }
    } else {
      // Channels: F, M (abundance weighted), then SP, MS (presence) per interval.
      for (int j = 0; j < s; ++j) {
        const double d = divergence[j];
        double* y = channels + static_cast<std::size_t>(j) * C + slot[j];
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
    const double* y = channels + static_cast<std::size_t>(species[p]) * C;
    const double a = abundance[p];
    for (int c = 0; c < half; ++c) total[c] += a * y[c];
    for (int c = half; c < C; ++c) total[c] += y[c];
  }
}

}  // namespace

void pair_sums(PartitionWorkspace& ws, int l, double* raw) {
  const int R = ws.n_intervals;
  const int R1 = R + 1;
  const int S = ws.slot_stride;
  const int C = channel_count(ws);
  ws.pair_channels.resize(static_cast<std::size_t>(C));
  double* total = ws.pair_channels.data();
  const int begin = ws.list_start[static_cast<std::size_t>(l)];
  const int count = ws.list_start[static_cast<std::size_t>(l) + 1] - begin;
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

  std::fill(raw, raw + 4 * R1, 0.0);
  if (ws.value_slots) {
    for (int v = 0; v < ws.n_slots; ++v) {
      const double d = ws.value_of_slot[static_cast<std::size_t>(v)];
      const int m = ws.interval_of_slot[static_cast<std::size_t>(v)];
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
