#include "partition/partition_types.hpp"

#include "core/constants.hpp"

namespace quorvel::partition {

bool PairSelection::selects(int k, int l) const {
  switch (mode) {
    case 1: {
      const int ck = (*categories)[k];
      if (ck != (*categories)[l]) return false;
      return key1 == 0 || ck == key1;
    }
    case 2: {
      const int ck = (*categories)[k];
      const int cl = (*categories)[l];
      if (ck == cl) return false;
      if (key1 == 0) return true;
      return (ck == key1 || ck == key2) && (cl == key1 || cl == key2);
    }
    case 3:
      return (*pairwise_categories)[k][l] == static_cast<float>(key1);
    default:
      return true;
  }
}

int quantity_of_statistic(int code) {
  static constexpr int kQuantity[5] = {kQuantityI, kQuantityI, kQuantityP, kQuantityPStar, kQuantityPI};
  return code >= 0 && code <= 4 ? kQuantity[code] : kQuantityI;
}

void LeftOutPlots::reset(int n_plots, int n_columns) {
  n_plots_ = n_plots;
  n_columns_ = n_columns;
  flags_.assign(static_cast<std::size_t>(kPartitionQuantities) * static_cast<std::size_t>(n_columns) *
                    (static_cast<std::size_t>(n_plots) + 1),
                0);
}

std::vector<int> LeftOutPlots::plots(int quantity, int column) const {
  std::vector<int> out;
  if (column < 0 || column >= n_columns_) return out;
  for (int k = 1; k <= n_plots_; ++k)
    if (flags_[index(quantity, column, k)] != 0) out.push_back(k);
  return out;
}

PartitionTables make_partition_tables(int n_plots) {
  PartitionTables tables;
  for (int code = kStatisticI; code <= kStatisticPI; ++code) {
    tables.pairwise[code] = core::matrix(0, n_plots, 0, n_plots);
    tables.pairwise[code].fill(MISSING_VALUE_F);
    tables.interval[code] = core::dmatrix(0, 2, 0, kMaxDivergenceIntervals);
  }
  tables.species_pairs = core::dmatrix(0, 2, 0, kMaxDivergenceIntervals);
  return tables;
}

void clear_pairwise_matrices(PartitionTables& tables) {
  for (int code = kStatisticI; code <= kStatisticPI; ++code) tables.pairwise[code].fill(MISSING_VALUE_F);
}

}  // namespace quorvel::partition
