// Offset-indexed arrays: every dimension has its own lower and upper bound,
// so formulas keep the index ranges of the physics (bands 1..NB, sections
// 2..2NS-1, positions 0..NS, band distances -NBMut..NBMut).
//
// Storage is contiguous with the last index running fastest, so with the band
// index first one band's row is one contiguous block.  An empty range
// (upper = lower - 1, e.g. bands 2..NB-1 for NB = 1) is allowed.
//
// Bounds are checked when VORN_CHECK_BOUNDS is defined (Debug and test
// builds); a violation is a programming error and aborts with the offending
// index and the valid range.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vorn {

[[noreturn]] inline void array_bounds_violation(int dim, int index, int lo, int hi) {
    std::fprintf(stderr, "internal error: array index %d of dimension %d outside %d..%d\n", index,
                 dim, lo, hi);
    std::abort();
}

#ifdef VORN_CHECK_BOUNDS
#define VORN_CHECK_INDEX(dim, i, lo, hi) \
    ((i) < (lo) || (i) > (hi) ? ::vorn::array_bounds_violation(dim, i, lo, hi) : (void)0)
#else
#define VORN_CHECK_INDEX(dim, i, lo, hi) ((void)0)
#endif

namespace detail {
inline std::size_t extent(int lo, int hi) { return hi >= lo ? std::size_t(hi - lo + 1) : 0; }
}  // namespace detail

template <class T>
class Arr1 {
public:
    Arr1() = default;
    Arr1(int lo, int hi, T init = T()) { allocate(lo, hi, init); }

    void allocate(int lo, int hi, T init = T()) {
        lo_ = lo;
        hi_ = hi;
        data_.assign(detail::extent(lo, hi), init);
        allocated_ = true;
    }
    void deallocate() {
        data_.clear();
        data_.shrink_to_fit();
        lo_ = 1;
        hi_ = 0;
        allocated_ = false;
    }
    bool allocated() const { return allocated_; }
    int lo() const { return lo_; }
    int hi() const { return hi_; }
    std::size_t size() const { return data_.size(); }

    T& operator()(int i) {
        VORN_CHECK_INDEX(1, i, lo_, hi_);
        return data_[std::size_t(i - lo_)];
    }
    const T& operator()(int i) const {
        VORN_CHECK_INDEX(1, i, lo_, hi_);
        return data_[std::size_t(i - lo_)];
    }
    void fill(T v) { data_.assign(data_.size(), v); }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

private:
    int lo_ = 1, hi_ = 0;
    bool allocated_ = false;
    std::vector<T> data_;
};

template <class T>
class Arr2 {
public:
    Arr2() = default;
    Arr2(int lo1, int hi1, int lo2, int hi2, T init = T()) { allocate(lo1, hi1, lo2, hi2, init); }

    void allocate(int lo1, int hi1, int lo2, int hi2, T init = T()) {
        lo1_ = lo1;
        hi1_ = hi1;
        lo2_ = lo2;
        hi2_ = hi2;
        n2_ = detail::extent(lo2, hi2);
        data_.assign(detail::extent(lo1, hi1) * n2_, init);
        allocated_ = true;
    }
    void deallocate() {
        data_.clear();
        data_.shrink_to_fit();
        lo1_ = lo2_ = 1;
        hi1_ = hi2_ = 0;
        n2_ = 0;
        allocated_ = false;
    }
    bool allocated() const { return allocated_; }
    int lo1() const { return lo1_; }
    int hi1() const { return hi1_; }
    int lo2() const { return lo2_; }
    int hi2() const { return hi2_; }
    std::size_t size() const { return data_.size(); }

    T& operator()(int i, int j) {
        VORN_CHECK_INDEX(1, i, lo1_, hi1_);
        VORN_CHECK_INDEX(2, j, lo2_, hi2_);
        return data_[std::size_t(i - lo1_) * n2_ + std::size_t(j - lo2_)];
    }
    const T& operator()(int i, int j) const {
        VORN_CHECK_INDEX(1, i, lo1_, hi1_);
        VORN_CHECK_INDEX(2, j, lo2_, hi2_);
        return data_[std::size_t(i - lo1_) * n2_ + std::size_t(j - lo2_)];
    }
    // Pointer to element (i, lo2): one contiguous row of the second index.
    T* row(int i) {
        VORN_CHECK_INDEX(1, i, lo1_, hi1_);
        return data_.data() + std::size_t(i - lo1_) * n2_;
    }
    const T* row(int i) const {
        VORN_CHECK_INDEX(1, i, lo1_, hi1_);
        return data_.data() + std::size_t(i - lo1_) * n2_;
    }
    void fill(T v) { data_.assign(data_.size(), v); }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

private:
    int lo1_ = 1, hi1_ = 0, lo2_ = 1, hi2_ = 0;
    std::size_t n2_ = 0;
    bool allocated_ = false;
    std::vector<T> data_;
};

template <class T>
class Arr3 {
public:
    Arr3() = default;

    void allocate(int lo1, int hi1, int lo2, int hi2, int lo3, int hi3, T init = T()) {
        lo1_ = lo1;
        hi1_ = hi1;
        lo2_ = lo2;
        hi2_ = hi2;
        lo3_ = lo3;
        hi3_ = hi3;
        n3_ = detail::extent(lo3, hi3);
        n23_ = detail::extent(lo2, hi2) * n3_;
        data_.assign(detail::extent(lo1, hi1) * n23_, init);
        allocated_ = true;
    }
    void deallocate() {
        data_.clear();
        data_.shrink_to_fit();
        lo1_ = lo2_ = lo3_ = 1;
        hi1_ = hi2_ = hi3_ = 0;
        n3_ = n23_ = 0;
        allocated_ = false;
    }
    bool allocated() const { return allocated_; }
    int lo1() const { return lo1_; }
    int hi1() const { return hi1_; }
    int lo2() const { return lo2_; }
    int hi2() const { return hi2_; }
    int lo3() const { return lo3_; }
    int hi3() const { return hi3_; }
    std::size_t size() const { return data_.size(); }

    T& operator()(int i, int j, int k) {
        VORN_CHECK_INDEX(1, i, lo1_, hi1_);
        VORN_CHECK_INDEX(2, j, lo2_, hi2_);
        VORN_CHECK_INDEX(3, k, lo3_, hi3_);
        return data_[std::size_t(i - lo1_) * n23_ + std::size_t(j - lo2_) * n3_ +
                     std::size_t(k - lo3_)];
    }
    const T& operator()(int i, int j, int k) const {
        VORN_CHECK_INDEX(1, i, lo1_, hi1_);
        VORN_CHECK_INDEX(2, j, lo2_, hi2_);
        VORN_CHECK_INDEX(3, k, lo3_, hi3_);
        return data_[std::size_t(i - lo1_) * n23_ + std::size_t(j - lo2_) * n3_ +
                     std::size_t(k - lo3_)];
    }
    void fill(T v) { data_.assign(data_.size(), v); }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

private:
    int lo1_ = 1, hi1_ = 0, lo2_ = 1, hi2_ = 0, lo3_ = 1, hi3_ = 0;
    std::size_t n3_ = 0, n23_ = 0;
    bool allocated_ = false;
    std::vector<T> data_;
};

using RArr1 = Arr1<double>;
using RArr2 = Arr2<double>;
using RArr3 = Arr3<double>;
using IArr1 = Arr1<int>;
using IArr2 = Arr2<int>;

}  // namespace vorn
