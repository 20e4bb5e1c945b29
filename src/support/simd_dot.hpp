// Dot products in eight interleaved partial sums, for loops that run in
// functions compiled for several instruction sets (target_clones): element
// k goes to partial sum k mod 8 and the eight are summed pairwise at the
// end, so that every instruction set gives the same bits (the build keeps
// multiplications and additions apart: no fused multiply-add).
#pragma once

#include <cstring>

namespace vorn {

#define VORN_SIMD_INLINE inline __attribute__((always_inline))
// The instruction sets the hot loops are compiled for, chosen at run time.
#define VORN_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))

typedef double SimdV4 __attribute__((vector_size(32)));

// sum v[k] x[k], k = 0..n-1.
VORN_SIMD_INLINE double dot8(const double* v, const double* x, int n) {
    SimdV4 s0 = {0.0, 0.0, 0.0, 0.0}, s1 = s0;
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        SimdV4 v0, v1, x0, x1;
        std::memcpy(&v0, v + k, sizeof v0);
        std::memcpy(&v1, v + k + 4, sizeof v1);
        std::memcpy(&x0, x + k, sizeof x0);
        std::memcpy(&x1, x + k + 4, sizeof x1);
        s0 += v0 * x0;
        s1 += v1 * x1;
    }
    double t[8];
    std::memcpy(t, &s0, sizeof s0);
    std::memcpy(t + 4, &s1, sizeof s1);
    for (; k < n; ++k) t[k & 7] += v[k] * x[k];
    return ((t[0] + t[1]) + (t[2] + t[3])) + ((t[4] + t[5]) + (t[6] + t[7]));
}

}  // namespace vorn
