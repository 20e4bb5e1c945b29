// Banded forward elimination (see band_kernel.hpp).
#include "network/band_kernel.hpp"

#include <algorithm>
#include <cmath>

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

}  // namespace vorn
