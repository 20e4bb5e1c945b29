// A binary archive of the program's state, written and read by one list of
// fields: `ar(x)` appends x to the archive when saving and replaces x by the
// archive's next value when loading, so that the two directions cannot
// drift apart.  Numbers are kept as their bytes (the checkpoint is read back
// by the same build on the same machine); arrays keep their index ranges.
//
// A load that runs past the end of the data, or meets a size that cannot
// be, throws ArchiveError: the caller names the file.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "support/oarray.hpp"

namespace vorn {

class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// 64-bit FNV-1a hash of bytes, continued from `h`.
std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ULL);

class StateArchive {
public:
    // Saving: an empty archive.  Loading: the bytes to read from.
    StateArchive() = default;
    explicit StateArchive(std::string bytes) : buf_(std::move(bytes)), loading_(true) {}

    bool loading() const { return loading_; }
    const std::string& bytes() const { return buf_; }
    // Bytes not yet read.
    std::size_t left() const { return buf_.size() - pos_; }

    template <class T>
    void operator()(T& v) {
        io(v);
    }
    template <class T, class... R>
    void operator()(T& v, R&... rest) {
        io(v);
        (*this)(rest...);
    }

    void raw(void* p, std::size_t n) {
        if (n == 0) return;  // p may be the null data() of an empty array
        if (!loading_) {
            buf_.append(static_cast<const char*>(p), n);
            return;
        }
        if (n > left()) throw ArchiveError("the data end early");
        std::memcpy(p, buf_.data() + pos_, n);
        pos_ += n;
    }

    // A count of elements that must fit in what is left of the archive.
    std::size_t count(std::size_t n, std::size_t elem) {
        std::uint64_t v = n;
        raw(&v, sizeof v);
        if (loading_ && elem > 0 && v > left() / elem) throw ArchiveError("a size is out of range");
        return std::size_t(v);
    }

private:
    // Elements in lo..hi, in 64 bits: a range read from a damaged file may
    // span more than an int holds.
    static std::size_t span(int lo, int hi) {
        return hi >= lo ? std::size_t(static_cast<long long>(hi) - lo + 1) : 0;
    }
    // An array of these extents, `elem` bytes each, fits in what is left
    // (without overflowing the product), and each extent in an int.
    bool fits(std::size_t elem, std::initializer_list<std::size_t> extents) const {
        bool empty = false;
        for (std::size_t e : extents) {
            if (e > std::size_t(std::numeric_limits<int>::max())) return false;
            empty = empty || e == 0;
        }
        if (empty) return true;
        std::size_t room = left() / elem;
        for (std::size_t e : extents) {
            if (e > room) return false;
            room /= e;
        }
        return true;
    }
    template <class T>
    void io(T& v) requires(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) ||
                          std::is_enum_v<T> {
        raw(&v, sizeof v);
    }
    // A flag as one byte, 0 or 1: any other byte is not a flag.
    void io(bool& v) {
        unsigned char c = v ? 1 : 0;
        raw(&c, 1);
        if (c > 1) throw ArchiveError("a flag is neither 0 nor 1");
        v = c == 1;
    }
    void io(std::string& s) {
        const std::size_t n = count(s.size(), 1);
        if (loading_) s.resize(n);
        raw(s.data(), n);
    }
    template <class T>
    void io(std::vector<T>& v) {
        const std::size_t n = count(v.size(), std::is_trivially_copyable_v<T> ? sizeof(T) : 1);
        if (loading_) v.resize(n);
        if constexpr (std::is_trivially_copyable_v<T>)
            raw(v.data(), n * sizeof(T));
        else
            for (T& e : v) io(e);
    }
    template <class T>
    void io(Arr1<T>& a) {
        int lo = a.lo(), hi = a.hi();
        bool on = a.allocated();
        (*this)(on, lo, hi);
        if (loading_) {
            if (!on) {
                a.deallocate();
                return;
            }
            if (!fits(sizeof(T), {span(lo, hi)}))
                throw ArchiveError("an array is out of range");
            a.allocate(lo, hi);
        }
        raw(a.data(), a.size() * sizeof(T));
    }
    template <class T>
    void io(Arr2<T>& a) {
        int lo1 = a.lo1(), hi1 = a.hi1(), lo2 = a.lo2(), hi2 = a.hi2();
        bool on = a.allocated();
        (*this)(on, lo1, hi1, lo2, hi2);
        if (loading_) {
            if (!on) {
                a.deallocate();
                return;
            }
            if (!fits(sizeof(T), {span(lo1, hi1), span(lo2, hi2)}))
                throw ArchiveError("an array is out of range");
            a.allocate(lo1, hi1, lo2, hi2);
        }
        raw(a.data(), a.size() * sizeof(T));
    }
    template <class T>
    void io(Arr3<T>& a) {
        int lo1 = a.lo1(), hi1 = a.hi1(), lo2 = a.lo2(), hi2 = a.hi2(), lo3 = a.lo3(),
            hi3 = a.hi3();
        bool on = a.allocated();
        (*this)(on, lo1, hi1, lo2, hi2, lo3, hi3);
        if (loading_) {
            if (!on) {
                a.deallocate();
                return;
            }
            if (!fits(sizeof(T), {span(lo1, hi1), span(lo2, hi2), span(lo3, hi3)}))
                throw ArchiveError("an array is out of range");
            a.allocate(lo1, hi1, lo2, hi2, lo3, hi3);
        }
        raw(a.data(), a.size() * sizeof(T));
    }
    // Plain structs of numbers (an energy account, a trigger) as their bytes;
    // not for a struct with a flag (bool), whose byte must be checked.
    template <class T>
    void io(T& v) requires(std::is_class_v<T> && std::is_trivially_copyable_v<T>) {
        raw(&v, sizeof v);
    }
    // Other structs by their own `void state_io(StateArchive&, T&)`, found
    // beside the struct.
    template <class T>
    void io(T& v) requires(!std::is_trivially_copyable_v<T> &&
                           requires(StateArchive& a) { state_io(a, v); }) {
        state_io(*this, v);
    }

    std::string buf_;
    std::size_t pos_ = 0;
    bool loading_ = false;
};

}  // namespace vorn
