#include "randomization/plot_permutation.hpp"

#include <cstddef>

#include "randomization/shuffle.hpp"

namespace quorvel::randomization {

void draw_plot_permutation(int n_plots, int category_kind, const core::IVector& category, int n_categories,
                           core::IVector& source, RandomGenerator& generator, const std::vector<int>& fixed_plots) {
  source = core::ivector(0, n_plots + 1);
  core::IVector e = core::ivector(0, n_plots + 1);
  std::vector<char> moves(static_cast<std::size_t>(n_plots) + 1, 1);
  for (const int plot : fixed_plots)
    if (plot >= 1 && plot <= n_plots) moves[static_cast<std::size_t>(plot)] = 0;
  // The plots of one group (all plots, or one category) that move, in
  // increasing order, shuffled among themselves.
  auto shuffle_group = [&](auto in_group) {
    int m = 0;
    for (int plot = 1; plot <= n_plots; ++plot) {
      if (moves[static_cast<std::size_t>(plot)] && in_group(plot)) e[++m] = plot;
    }
    shuffle_range(e, 1, m, generator);
    int rank = 0;
    for (int plot = 1; plot <= n_plots; ++plot) {
      if (moves[static_cast<std::size_t>(plot)] && in_group(plot)) source[plot] = e[++rank];
    }
  };
  if (category_kind != kPermuteWithinCategories) {
    shuffle_group([](int) { return true; });
    return;
  }
  // Categories are shuffled in increasing order so that the stream is used
  // in the same order by every run.
  for (int f = 1; f <= n_categories; ++f) shuffle_group([&](int plot) { return category[plot] == f; });
}

void apply_plot_permutation(int n_plots, int category_kind, const core::IVector& category, const core::IVector& source,
                            const core::DVector& x, const core::DVector& y, const core::DMatrix& d,
                            core::DVector& x_out, core::DVector& y_out, core::DMatrix& d_out) {
  const bool matrix_form = d(0, 0) != 0;
  const bool within = category_kind == kPermuteWithinCategories;
  for (int k = 1; k <= n_plots; ++k) {
    if (source[k] == 0) continue;
    if (!matrix_form) {
      x_out[k] = x[source[k]];
      y_out[k] = y[source[k]];
      continue;
    }
    for (int l = 1; l <= n_plots; ++l) {
      if (source[l] == 0 || (within && category[l] != category[k])) continue;
      d_out(k, l) = d(source[k], source[l]);
    }
  }
}

void permute_plots(int n_plots, int category_kind, const core::IVector& category, int n_categories,
                   const core::DVector& x, const core::DVector& y, const core::DMatrix& d, core::DVector& x_out,
                   core::DVector& y_out, core::DMatrix& d_out, RandomGenerator& generator) {
  core::IVector source;
  draw_plot_permutation(n_plots, category_kind, category, n_categories, source, generator);
  apply_plot_permutation(n_plots, category_kind, category, source, x, y, d, x_out, y_out, d_out);
}

}  // namespace quorvel::randomization
