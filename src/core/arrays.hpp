#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::core {

// Checked access in debug and sanitizer builds; free in Release.
#ifndef NDEBUG
#define QUORVEL_CHECK_INDEX(cond) assert(cond)
#else
#define QUORVEL_CHECK_INDEX(cond) ((void)0)
#endif

[[noreturn]] void allocation_failure(const char* message);

/// Number of elements of an index range lo..hi (0 when hi < lo), computed in
/// 64 bits: bounds near the limits of int never overflow.
inline std::int64_t extent(int lo, int hi) {
  return hi >= lo ? static_cast<std::int64_t>(hi) - static_cast<std::int64_t>(lo) + 1 : 0;
}

/// Number of elements of type T of an array with the given extents, or the
/// allocation failure `message` when it cannot be addressed: an extent beyond
/// the range of int, or a total beyond what memory could ever hold.
template <typename T>
std::size_t checked_element_count(std::initializer_list<std::int64_t> extents, const char* message) {
  constexpr std::int64_t kIntLimit = 2147483647;
  const std::int64_t limit = static_cast<std::int64_t>(PTRDIFF_MAX / static_cast<std::int64_t>(sizeof(T)));
  std::int64_t total = 1;
  for (const std::int64_t n : extents) {
    if (n > kIntLimit) allocation_failure(message);
    if (n == 0) return 0;
    if (total > limit / n) allocation_failure(message);
    total *= n;
  }
  return static_cast<std::size_t>(total);
}

/// Vector over the inclusive index range lo..hi (lo may be 0, 1 or negative).
/// Elements are stored contiguously; element i is data()[i - lo].
template <typename T>
class Vector {
 public:
  Vector() = default;
  Vector(int lo, int hi, const char* failure_message = "\nallocation failure in vector()") : lo_(lo), hi_(hi) {
    const std::size_t count = checked_element_count<T>({extent(lo, hi)}, failure_message);
    try {
      storage_.assign(count, T());
    } catch (const std::bad_alloc&) {
      allocation_failure(failure_message);
    } catch (const std::length_error&) {
      allocation_failure(failure_message);
    }
  }

  T& operator[](int i) {
    QUORVEL_CHECK_INDEX(i >= lo_ && i <= hi_);
    return storage_[static_cast<std::size_t>(static_cast<std::int64_t>(i) - lo_)];
  }
  const T& operator[](int i) const {
    QUORVEL_CHECK_INDEX(i >= lo_ && i <= hi_);
    return storage_[static_cast<std::size_t>(static_cast<std::int64_t>(i) - lo_)];
  }

  int lo() const { return lo_; }
  int hi() const { return hi_; }
  int size() const { return static_cast<int>(storage_.size()); }
  bool empty() const { return storage_.empty(); }
  T* data() { return storage_.data(); }
  const T* data() const { return storage_.data(); }
  void fill(const T& value) { storage_.assign(storage_.size(), value); }

 private:
  int lo_ = 0;
  int hi_ = -1;
  std::vector<T> storage_;
};

/// One row of a Matrix, indexed by column.
template <typename T>
class RowView {
 public:
  RowView(T* first, int clo, int chi) : first_(first), clo_(clo), chi_(chi) {}
  T& operator[](int j) const {
    QUORVEL_CHECK_INDEX(j >= clo_ && j <= chi_);
    return first_[static_cast<std::int64_t>(j) - clo_];
  }
  T* data() const { return first_; }

 private:
  T* first_;
  int clo_;
  int chi_;
};

/// Matrix over rows rlo..rhi and columns clo..chi in one contiguous row-major
/// block: element (i, j) is data()[(i - rlo) * ncols() + (j - clo)].
template <typename T>
class Matrix {
 public:
  Matrix() = default;
  Matrix(int rlo, int rhi, int clo, int chi, const char* failure_message = "\nallocation failure 2 in matrix()")
      : rlo_(rlo), rhi_(rhi), clo_(clo), chi_(chi) {
    const std::size_t count = checked_element_count<T>({extent(rlo, rhi), extent(clo, chi)}, failure_message);
    nrow_ = static_cast<int>(extent(rlo, rhi));
    ncol_ = static_cast<int>(extent(clo, chi));
    try {
      storage_.assign(count, T());
    } catch (const std::bad_alloc&) {
      allocation_failure(failure_message);
    } catch (const std::length_error&) {
      allocation_failure(failure_message);
    }
  }

  T& operator()(int i, int j) { return storage_[offset(i, j)]; }
  const T& operator()(int i, int j) const { return storage_[offset(i, j)]; }
  RowView<T> operator[](int i) {
    QUORVEL_CHECK_INDEX(i >= rlo_ && i <= rhi_);
    return RowView<T>(storage_.data() + static_cast<std::size_t>(static_cast<std::int64_t>(i) - rlo_) *
                                            static_cast<std::size_t>(ncol_),
                      clo_, chi_);
  }
  RowView<const T> operator[](int i) const {
    QUORVEL_CHECK_INDEX(i >= rlo_ && i <= rhi_);
    return RowView<const T>(storage_.data() + static_cast<std::size_t>(static_cast<std::int64_t>(i) - rlo_) *
                                                  static_cast<std::size_t>(ncol_),
                            clo_, chi_);
  }

  int row_lo() const { return rlo_; }
  int row_hi() const { return rhi_; }
  int col_lo() const { return clo_; }
  int col_hi() const { return chi_; }
  int nrows() const { return nrow_; }
  int ncols() const { return ncol_; }
  bool empty() const { return storage_.empty(); }
  T* data() { return storage_.data(); }
  const T* data() const { return storage_.data(); }
  void fill(const T& value) { storage_.assign(storage_.size(), value); }

 private:
  std::size_t offset(int i, int j) const {
    QUORVEL_CHECK_INDEX(i >= rlo_ && i <= rhi_ && j >= clo_ && j <= chi_);
    return static_cast<std::size_t>(static_cast<std::int64_t>(i) - rlo_) * static_cast<std::size_t>(ncol_) +
           static_cast<std::size_t>(static_cast<std::int64_t>(j) - clo_);
  }

  int rlo_ = 0, rhi_ = -1, clo_ = 0, chi_ = -1;
  int nrow_ = 0, ncol_ = 0;
  std::vector<T> storage_;
};

/// 3-D array over rlo..rhi x clo..chi x dlo..dhi in one contiguous block;
/// the depth runs of cells (i, j) follow each other in row-major order.
template <typename T>
class Tensor3 {
 public:
  Tensor3() = default;
  Tensor3(int rlo, int rhi, int clo, int chi, int dlo, int dhi)
      : rlo_(rlo), rhi_(rhi), clo_(clo), chi_(chi), dlo_(dlo), dhi_(dhi) {
    const std::size_t count = checked_element_count<T>({extent(rlo, rhi), extent(clo, chi), extent(dlo, dhi)},
                                                       "\nallocation failure 3 in f3tensor()");
    nrow_ = static_cast<int>(extent(rlo, rhi));
    ncol_ = static_cast<int>(extent(clo, chi));
    ndep_ = static_cast<int>(extent(dlo, dhi));
    try {
      storage_.assign(count, T());
    } catch (const std::bad_alloc&) {
      allocation_failure("\nallocation failure 3 in f3tensor()");
    } catch (const std::length_error&) {
      allocation_failure("\nallocation failure 3 in f3tensor()");
    }
  }

  T& operator()(int i, int j, int k) { return storage_[offset(i, j, k)]; }
  const T& operator()(int i, int j, int k) const { return storage_[offset(i, j, k)]; }
  /// The depth run of cell (i, j), indexed by depth.
  RowView<T> operator()(int i, int j) { return RowView<T>(storage_.data() + offset(i, j, dlo_), dlo_, dhi_); }

  int row_lo() const { return rlo_; }
  int row_hi() const { return rhi_; }
  int col_lo() const { return clo_; }
  int col_hi() const { return chi_; }
  int depth_lo() const { return dlo_; }
  int depth_hi() const { return dhi_; }
  T* data() { return storage_.data(); }
  const T* data() const { return storage_.data(); }
  void fill(const T& value) { storage_.assign(storage_.size(), value); }

 private:
  std::size_t offset(int i, int j, int k) const {
    QUORVEL_CHECK_INDEX(i >= rlo_ && i <= rhi_ && j >= clo_ && j <= chi_ && k >= dlo_ && k <= dhi_);
    const auto i0 = static_cast<std::size_t>(static_cast<std::int64_t>(i) - rlo_);
    const auto j0 = static_cast<std::size_t>(static_cast<std::int64_t>(j) - clo_);
    const auto k0 = static_cast<std::size_t>(static_cast<std::int64_t>(k) - dlo_);
    return (i0 * static_cast<std::size_t>(ncol_) + j0) * static_cast<std::size_t>(ndep_) + k0;
  }

  int rlo_ = 0, rhi_ = -1, clo_ = 0, chi_ = -1, dlo_ = 0, dhi_ = -1;
  int nrow_ = 0, ncol_ = 0, ndep_ = 0;
  std::vector<T> storage_;
};

using IVector = Vector<std::int32_t>;
using CVector = Vector<char>;
using FVector = Vector<float>;
using DVector = Vector<double>;
using IMatrix = Matrix<std::int32_t>;
using FMatrix = Matrix<float>;
using DMatrix = Matrix<double>;
using CMatrix = Matrix<char>;
using F3Tensor = Tensor3<float>;
using D3Tensor = Tensor3<double>;

/// A table of names indexed like the data it names (1-based, row 0 free).
/// Names are kept at most kNameLimit characters long by the readers.
using NameTable = Vector<std::string>;

// The allocators of the system's tables. Bounds are inclusive; contents are
// value-initialised (zero). A failed allocation ends the run with the
// allocator's own message (status 1, appended to "error.txt").
inline IVector ivector(int lo, int hi) { return IVector(lo, hi, "\nallocation failure in ivector()"); }
inline CVector cvector(int lo, int hi) { return CVector(lo, hi, "\nallocation failure in cvector()"); }
inline FVector vector(int lo, int hi) { return FVector(lo, hi, "\nallocation failure in vector()"); }
inline DVector dvector(int lo, int hi) { return DVector(lo, hi, "\nallocation failure in dvector()"); }
inline IMatrix imatrix(int rlo, int rhi, int clo, int chi) {
  return IMatrix(rlo, rhi, clo, chi, "\nallocation failure 2 in imatrix()");
}
inline FMatrix matrix(int rlo, int rhi, int clo, int chi) { return FMatrix(rlo, rhi, clo, chi); }
inline DMatrix dmatrix(int rlo, int rhi, int clo, int chi) { return DMatrix(rlo, rhi, clo, chi); }
inline CMatrix cmatrix(int rlo, int rhi, int clo, int chi) { return CMatrix(rlo, rhi, clo, chi); }
inline F3Tensor f3tensor(int rlo, int rhi, int clo, int chi, int dlo, int dhi) {
  return F3Tensor(rlo, rhi, clo, chi, dlo, dhi);
}
inline D3Tensor d3tensor(int rlo, int rhi, int clo, int chi, int dlo, int dhi) {
  return D3Tensor(rlo, rhi, clo, chi, dlo, dhi);
}
inline NameTable name_table(int lo, int hi) { return NameTable(lo, hi, "\nallocation failure 2 in matrix()"); }

}  // namespace quorvel::core
