// Banded forward elimination (see band_kernel.hpp).
#include "network/band_kernel.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace vorn {

namespace {

// One pivot step: only the W-1 rows below pivot p can reach its column, and
// each update is one stretch of band columns that ends at the pivot row's
// last nonzero band column (beyond it the update would subtract zeros).
inline void pivot_step(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
                       std::vector<BandSkip>* skipped, int p) {
    const double* rp = a + std::size_t(p - 1) * ld;
    const double piv = rp[W - 1];
    int len = nband - W;  // band columns right of the diagonal
    while (len > 0 && rp[W + len - 1] == 0.0) --len;
    const int last = std::min(Nt, p + W - 1);
    for (int i = p + 1; i <= last; ++i) {
        const int d = i - p;
        double* ri = a + std::size_t(i - 1) * ld;
        double& lead = ri[W - d - 1];  // column W-d: variable p
        if (lead == 0.0) continue;     // factor 0, or NaN for a zero pivot
        const double f = lead / piv;
        if (!(std::abs(f) > kNegligibleFactor)) {
            if (skipped) skipped->push_back({i, W - d, lead});
            if (keep) lead = 0.0;
            continue;
        }
        lead = keep ? f : 0.0;
        if (rhs) ri[nband] -= f * rp[nband];
        double* dst = ri + (W - d);  // columns W-d+1 .. nband-d
        const double* src = rp + W;  // columns W+1 .. nband
        for (int n = 0; n < len; ++n) dst[n] -= f * src[n];
    }
}

}  // namespace

void band_eliminate_plain(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs,
                          bool keep, std::vector<BandSkip>* skipped) {
    for (int p = 1; p <= Nt - 1; ++p) pivot_step(a, ld, Nt, W, nband, rhs, keep, skipped, p);
}

void band_eliminate(double* a, std::size_t ld, int Nt, int W, int nband, bool rhs, bool keep,
                    std::vector<BandSkip>* skipped) {
    for (int p = 1; p <= Nt - 1; ++p) pivot_step(a, ld, Nt, W, nband, rhs, keep, skipped, p);
}

void BandLU::clear() {
    Nt = 0;
    for (auto* v : {&Lstart, &Lvar, &Ustart, &Uvar}) std::vector<int>().swap(*v);
    for (auto* v : {&Lval, &Uval, &Udiag}) std::vector<double>().swap(*v);
}

std::size_t BandLU::bytes() const {
    return sizeof(int) * (Lstart.capacity() + Lvar.capacity() + Ustart.capacity() +
                          Uvar.capacity()) +
           sizeof(double) * (Lval.capacity() + Uval.capacity() + Udiag.capacity());
}

void band_lu_extract(const double* a, std::size_t ld, int Nt, int W, int nband, BandLU& f) {
    f.clear();
    f.Nt = Nt;
    // Two passes: count, then fill, so that every vector is allocated once
    // at its final size.
    std::size_t nl = 0, nu = 0;
    for (int i = 1; i <= Nt; ++i) {
        const double* ri = a + std::size_t(i - 1) * ld;
        for (int c = std::max(1, W - i + 1); c <= std::min(nband, Nt - i + W); ++c)
            if (ri[c - 1] != 0.0 && c != W) ++(c < W ? nl : nu);
    }
    f.Lstart.reserve(std::size_t(Nt) + 1);
    f.Ustart.reserve(std::size_t(Nt) + 1);
    f.Udiag.reserve(std::size_t(Nt));
    f.Lvar.reserve(nl);
    f.Lval.reserve(nl);
    f.Uvar.reserve(nu);
    f.Uval.reserve(nu);
    for (int i = 1; i <= Nt; ++i) {
        const double* ri = a + std::size_t(i - 1) * ld;
        f.Lstart.push_back(int(f.Lvar.size()));
        f.Ustart.push_back(int(f.Uvar.size()));
        for (int c = std::max(1, W - i + 1); c <= std::min(nband, Nt - i + W); ++c) {
            if (ri[c - 1] == 0.0 || c == W) continue;
            auto& var = c < W ? f.Lvar : f.Uvar;
            auto& val = c < W ? f.Lval : f.Uval;
            var.push_back(i + c - W);
            val.push_back(ri[c - 1]);
        }
        f.Udiag.push_back(ri[W - 1]);
    }
    f.Lstart.push_back(int(f.Lvar.size()));
    f.Ustart.push_back(int(f.Uvar.size()));
}

void band_lu_solve(const BandLU& f, const double* b, double* x) {
    const std::size_t Nt = std::size_t(f.Nt);
    for (std::size_t i = 0; i < Nt; ++i) {
        double v = b[i];
        for (int k = f.Lstart[i]; k < f.Lstart[i + 1]; ++k)
            v -= f.Lval[std::size_t(k)] * x[std::size_t(f.Lvar[std::size_t(k)] - 1)];
        x[i] = v;
    }
    for (std::size_t i = Nt; i-- > 0;) {
        double sum = 0.0;
        for (int k = f.Ustart[i]; k < f.Ustart[i + 1]; ++k)
            sum += f.Uval[std::size_t(k)] * x[std::size_t(f.Uvar[std::size_t(k)] - 1)];
        x[i] = (x[i] - sum) / f.Udiag[i];
    }
}

}  // namespace vorn
