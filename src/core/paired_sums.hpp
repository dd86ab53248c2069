#pragma once

namespace quorvel::core {

/// Running sums of paired values (x, y) from which regressions and
/// correlations are computed: count, sums, sums of squares and of products
/// (double precision).
struct PairedSums {
  double n = 0, x = 0, xx = 0, y = 0, yy = 0, xy = 0;

  void add(double xi, double yi) {
    n += 1;
    x += xi;
    xx += xi * xi;
    y += yi;
    yy += yi * yi;
    xy += xi * yi;
  }
  // The two sides of add, apart: the x side (count, x, x²) is the same for
  // every y when the same x come in the same order.
  void add_x(double xi) {
    n += 1;
    x += xi;
    xx += xi * xi;
  }
  void add_y(double xi, double yi) {
    y += yi;
    yy += yi * yi;
    xy += xi * yi;
  }
  void add(const PairedSums& other) {
    n += other.n;
    x += other.x;
    xx += other.xx;
    y += other.y;
    yy += other.yy;
    xy += other.xy;
  }
};

}  // namespace quorvel::core
