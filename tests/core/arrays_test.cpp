#include "core/arrays.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace quorvel::core {
namespace {

TEST(Arrays, VectorRangesIncludeBothBoundsAndNegativeIndices) {
  DVector one = dvector(3, 3);
  EXPECT_EQ(one.size(), 1);
  one[3] = 2.5;
  EXPECT_EQ(one[3], 2.5);

  IVector v = ivector(-10, 5);
  EXPECT_EQ(v.size(), 16);
  v[-10] = 7;
  v[5] = 9;
  EXPECT_EQ(v.data()[0], 7);
  EXPECT_EQ(v.data()[15], 9);
}

TEST(Arrays, MatrixRowsAreContiguousRowMajor) {
  DMatrix m = dmatrix(-1, 2, 1, 3);
  EXPECT_EQ(m.nrows(), 4);
  EXPECT_EQ(m.ncols(), 3);
  m[0][3] = 1.0;
  m[1][1] = 2.0;
  // Row i+1, first column, lies right after row i, last column.
  EXPECT_EQ(&m[1][1], &m[0][3] + 1);
  EXPECT_EQ(m.data()[(0 - (-1)) * 3 + (3 - 1)], 1.0);
  EXPECT_EQ(m(1, 1), 2.0);
}

TEST(Arrays, TensorDepthRunsFollowRowMajorOrder) {
  F3Tensor t = f3tensor(0, 1, -3, 0, 1, 2);
  t(0, 0, 2) = 4.0f;
  t(1, -3, 1) = 5.0f;
  EXPECT_EQ(&t(1, -3, 1), &t(0, 0, 2) + 1);
  EXPECT_EQ(t.data()[((1 - 0) * 4 + 0) * 2 + 0], 5.0f);
  EXPECT_EQ(t(1, -3)[1], 5.0f);
}

TEST(Arrays, EmptyRangesAllocateNothing) {
  DMatrix m = dmatrix(1, 0, 0, 5);
  EXPECT_TRUE(m.empty());
  NameTable names = name_table(1, 0);
  EXPECT_EQ(names.size(), 0);
}

// Sizes are computed in 64 bits: bounds at the limits of int, whose element
// counts overflow int arithmetic, are refused as allocation failures.
TEST(Arrays, SizesBeyondReachStopWithTheAllocatorsMessage) {
  EXPECT_STOPS(dmatrix(0, 2147483646, 0, 2147483646), "\nallocation failure 2 in matrix()", 1);
  EXPECT_STOPS(ivector(-2147483647 - 1, 2147483647), "\nallocation failure in ivector()", 1);
  EXPECT_STOPS(imatrix(0, 2147483647, 0, 2147483647), "\nallocation failure 2 in imatrix()", 1);
  EXPECT_STOPS(f3tensor(0, 2000000, 0, 2000000, 0, 2000000), "\nallocation failure 3 in f3tensor()", 1);
  EXPECT_EQ(extent(-2147483647 - 1, 2147483647), 4294967296LL);
  EXPECT_EQ(extent(5, 4), 0);
}

}  // namespace
}  // namespace quorvel::core
