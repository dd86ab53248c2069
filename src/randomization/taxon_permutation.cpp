#include "randomization/taxon_permutation.hpp"

#include "randomization/shuffle.hpp"

namespace quorvel::randomization {

namespace {

bool in_table(const core::IMatrix& table, int level, int taxon) {
  return level >= table.row_lo() && level <= table.row_hi() && taxon >= table.col_lo() && taxon <= table.col_hi();
}

int taxa_of(const core::IVector& taxa_per_level, int level) {
  return level >= taxa_per_level.lo() && level <= taxa_per_level.hi() ? taxa_per_level[level] : 0;
}

// The first (or last) taxon of level `to` inside taxon `taxon` of level
// `from`, found by descending through the member table; 0 when the table
// does not describe it.
int descend(const core::IMatrix& members, const core::IVector& taxa_per_level, int from, int taxon, int to) {
  for (int level = from; level > to; --level) {
    if (!in_table(members, level, taxon) || taxon < 1 || taxon > taxa_of(taxa_per_level, level)) return 0;
    taxon = members(level, taxon);
  }
  return taxon >= 1 && taxon <= taxa_of(taxa_per_level, to) ? taxon : 0;
}

bool is_listed(const core::IVector& list, int n, int taxon) {
  for (int k = 1; k <= n && k <= list.hi(); ++k) {
    if (list[k] == taxon) return true;
  }
  return false;
}

}  // namespace

void draw_taxon_permutation(int n_levels, const core::IVector& taxa_per_level, const core::IMatrix& first_member,
                            const core::IMatrix& last_member, int level_permuted, int level_within,
                            const core::IVector& within_taxa, int n_within, core::IVector& perm,
                            RandomGenerator& generator) {
  const int n_permuted = taxa_of(taxa_per_level, level_permuted);
  perm = core::ivector(0, n_permuted);
  for (int j = 0; j <= n_permuted; ++j) perm[j] = j;
  if (level_permuted < 0 || level_within <= level_permuted || level_within > n_levels) return;
  const int n_enclosing = taxa_of(taxa_per_level, level_within);
  for (int q = 1; q <= n_enclosing; ++q) {
    if (n_within > 0 && !is_listed(within_taxa, n_within, q)) continue;
    const int lo = descend(first_member, taxa_per_level, level_within, q, level_permuted);
    const int hi = descend(last_member, taxa_per_level, level_within, q, level_permuted);
    if (lo == 0 || hi == 0) continue;
    shuffle_range(perm, lo, hi, generator);
  }
}

void apply_taxon_permutation(int level_permuted, const core::IVector& taxa_per_level, const core::IVector& perm,
                             const core::IMatrix& first_member, const core::IMatrix& last_member,
                             core::IMatrix& first_out, core::IMatrix& last_out) {
  first_out = first_member;
  last_out = last_member;
  const int n_permuted = taxa_of(taxa_per_level, level_permuted);
  for (int j = 1; j <= n_permuted && j <= perm.hi(); ++j) {
    if (!in_table(first_member, level_permuted, j) || !in_table(first_member, level_permuted, perm[j]) ||
        !in_table(last_member, level_permuted, j) || !in_table(last_member, level_permuted, perm[j]))
      continue;
    first_out(level_permuted, j) = first_member(level_permuted, perm[j]);
    last_out(level_permuted, j) = last_member(level_permuted, perm[j]);
  }
}

void permute_taxonomic_level(int n_levels, const core::IVector& taxa_per_level, const core::IMatrix& first_member,
                             const core::IMatrix& last_member, int level_permuted, int level_within,
                             const core::IVector& within_taxa, int n_within, core::IMatrix& first_out,
                             core::IMatrix& last_out, RandomGenerator& generator) {
  core::IVector perm;
  draw_taxon_permutation(n_levels, taxa_per_level, first_member, last_member, level_permuted, level_within, within_taxa,
                         n_within, perm, generator);
  apply_taxon_permutation(level_permuted, taxa_per_level, perm, first_member, last_member, first_out, last_out);
}

}  // namespace quorvel::randomization
