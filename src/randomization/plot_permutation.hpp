#pragma once

#include <vector>

#include "core/arrays.hpp"
#include "randomization/random_generator.hpp"

namespace quorvel::randomization {

/// Category kind that restricts the permutation of plots to plots of the same
/// category (the "within categories" pair selection of the run).
inline constexpr int kPermuteWithinCategories = 1;

/// Draws one spatial randomization: `source` (resized to 0..n) receives for
/// each plot 1..n the plot whose position it takes, or 0 when the plot is not
/// written (kind 1: plots whose category is outside 1..n_categories; plots of
/// `fixed_plots`, out of the analysis, which keep their own position).
/// Kind 1 shuffles each category 1..n_categories in turn (plots in increasing
/// order); any other kind shuffles all plots. Draws only; touches nothing else.
void draw_plot_permutation(int n_plots, int category_kind, const core::IVector& category, int n_categories,
                           core::IVector& source, RandomGenerator& generator, const std::vector<int>& fixed_plots = {});

/// Writes the randomized positions described by `source`. The form is chosen
/// by d(0, 0): 0 means coordinates (x_out, y_out over 1..n written from x, y),
/// anything else the inter-plot distance matrix (d_out(k, l) = d(source k,
/// source l); with kind 1 only for plots k, l of the same category, other
/// cells of d_out keep what they held). Pure: safe to run in parallel.
void apply_plot_permutation(int n_plots, int category_kind, const core::IVector& category, const core::IVector& source,
                            const core::DVector& x, const core::DVector& y, const core::DMatrix& d,
                            core::DVector& x_out, core::DVector& y_out, core::DMatrix& d_out);

/// One randomized copy of the plot positions (draw then apply).
void permute_plots(int n_plots, int category_kind, const core::IVector& category, int n_categories,
                   const core::DVector& x, const core::DVector& y, const core::DMatrix& d, core::DVector& x_out,
                   core::DVector& y_out, core::DMatrix& d_out, RandomGenerator& generator);

}  // namespace quorvel::randomization
