// Micro-benchmark of the banded network system of one case (written by
// `vorn_netbench SUB CASE dump FILE`): the factorisation and solution with
// the program's kernel, the plain elimination it replaced, OpenBLAS's
// dgbtrf/dgbtrs and UMFPACK, one thread each.
//
//   vorn_bandbench BAND_FILE CSV_FILE MD_FILE [google-benchmark flags]
//
// Every solver's solution of A x = b (b = A x0 for a known x0) is checked
// by its residual.  The useful flops are those of the elimination without
// pivoting: 2 per updated entry between a pivot row's first and last
// nonzero right of the diagonal, 1 per multiplier; every factorisation's
// GFlop/s are these flops over its time.  The peak is the core's measured
// clock times 16 flops per cycle (two FMA units, four doubles, AVX2+FMA).
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <suitesparse/umfpack.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "band_file.hpp"
#include "network/band_kernel.hpp"
#include "network/band_pack.hpp"

extern "C" {
void dgbtrf_(const int* m, const int* n, const int* kl, const int* ku, double* ab,
             const int* ldab, int* ipiv, int* info);
void dgbtrs_(const char* trans, const int* n, const int* kl, const int* ku, const int* nrhs,
             const double* ab, const int* ldab, const int* ipiv, double* b, const int* ldb,
             int* info, std::size_t trans_len);
void openblas_set_num_threads(int n);
char* openblas_get_config();
}

namespace {

using vorn::bench::BandFile;

struct Problem {
    BandFile band;
    int Nt = 0, W = 0, nband = 0, kl = 0, ku = 0;
    std::size_t ld = 0;
    std::vector<double> x0, b;  // b = A x0
    double flops = 0;           // useful flops of one elimination
    // CSC of the same matrix for UMFPACK.
    std::vector<int> Ap, Ai;
    std::vector<double> Ax;
};

Problem P;

// Max |A x - b| / (max_i sum_j |A_ij x_j| + |b_i|).
double residual(const std::vector<double>& x) {
    double res = 0, scale = 0;
    for (int i = 1; i <= P.Nt; ++i) {
        double r = P.b[std::size_t(i - 1)], s = std::abs(r);
        for (int c = 1; c <= P.nband; ++c) {
            const int v = i + c - P.W;
            if (v < 1 || v > P.Nt) continue;
            const double t = P.band.at(i, c) * x[std::size_t(v - 1)];
            r -= t;
            s += std::abs(t);
        }
        res = std::max(res, std::abs(r));
        scale = std::max(scale, s);
    }
    return res / scale;
}

// The flops of the elimination without pivoting, counted on a plain run
// with the same ranges and skips as the kernel.
double count_flops(std::vector<double> a) {
    const int Nt = P.Nt, W = P.W, nband = P.nband;
    const std::size_t ld = P.ld;
    double flops = 0;
    for (int p = 1; p < Nt; ++p) {
        const double* rp = a.data() + std::size_t(p - 1) * ld;
        int len = nband - W, first = 0;
        while (len > 0 && rp[W + len - 1] == 0.0) --len;
        while (first < len && rp[W + first] == 0.0) ++first;
        for (int i = p + 1; i <= std::min(Nt, p + W - 1); ++i) {
            double* ri = a.data() + std::size_t(i - 1) * ld;
            double& lead = ri[W - (i - p) - 1];
            if (lead == 0.0) continue;
            const double f = lead / rp[W - 1];
            flops += 1;
            if (!(std::abs(f) > vorn::kNegligibleFactor)) continue;
            lead = f;
            double* dst = ri + (W - (i - p));
            for (int n = first; n < len; ++n) dst[n] -= f * rp[W + n];
            flops += 2.0 * (len - first);
        }
    }
    return flops;
}

void set_up(const std::string& file) {
    P.band = vorn::bench::read_band_file(file);
    P.Nt = P.band.NEq;
    P.W = P.band.NBw;
    P.nband = P.band.NCa - 1;
    P.ld = std::size_t(P.band.NCa);
    for (int i = 1; i <= P.Nt; ++i)
        for (int c = 1; c <= P.nband; ++c)
            if (P.band.at(i, c) != 0.0) {
                if (c < P.W) P.kl = std::max(P.kl, P.W - c);
                if (c > P.W) P.ku = std::max(P.ku, c - P.W);
            }
    std::mt19937_64 gen(1);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    P.x0.resize(std::size_t(P.Nt));
    for (double& v : P.x0) v = u(gen);
    P.b.assign(std::size_t(P.Nt), 0.0);
    for (int i = 1; i <= P.Nt; ++i) {
        double s = 0;
        for (int c = 1; c <= P.nband; ++c) {
            const int v = i + c - P.W;
            if (v >= 1 && v <= P.Nt) s += P.band.at(i, c) * P.x0[std::size_t(v - 1)];
        }
        P.b[std::size_t(i - 1)] = s;
        P.band.at(i, P.band.NCa) = s;
    }
    P.flops = count_flops(P.band.a);
    // Column-compressed copy (0-based rows and columns).
    P.Ap.assign(std::size_t(P.Nt) + 1, 0);
    for (int i = 1; i <= P.Nt; ++i)
        for (int c = 1; c <= P.nband; ++c) {
            const int v = i + c - P.W;
            if (v >= 1 && v <= P.Nt && P.band.at(i, c) != 0.0) ++P.Ap[std::size_t(v)];
        }
    for (int j = 0; j < P.Nt; ++j) P.Ap[std::size_t(j) + 1] += P.Ap[std::size_t(j)];
    P.Ai.resize(std::size_t(P.Ap.back()));
    P.Ax.resize(std::size_t(P.Ap.back()));
    std::vector<int> next(P.Ap.begin(), P.Ap.end() - 1);
    for (int i = 1; i <= P.Nt; ++i)  // rows in increasing order within each column
        for (int c = 1; c <= P.nband; ++c) {
            const int v = i + c - P.W;
            if (v >= 1 && v <= P.Nt && P.band.at(i, c) != 0.0) {
                const std::size_t k = std::size_t(next[std::size_t(v - 1)]++);
                P.Ai[k] = i - 1;
                P.Ax[k] = P.band.at(i, c);
            }
        }
}

std::map<std::string, double> Residual;  // per benchmark

// ---- the program's kernel and the plain elimination ------------------------------------

void factor(std::vector<double>& a, vorn::BandLU& f, bool plain) {
    if (plain)
        vorn::band_eliminate_plain(a.data(), P.ld, P.Nt, P.W, P.nband, false, true);
    else
        vorn::band_eliminate(a.data(), P.ld, P.Nt, P.W, P.nband, false, true);
    vorn::band_lu_extract(a.data(), P.ld, P.Nt, P.W, P.nband, f);
}

void BM_factor(benchmark::State& st, std::string key, bool plain, bool extract) {
    std::vector<double> a;
    vorn::BandLU f;
    for (auto _ : st) {
        st.PauseTiming();
        a = P.band.a;
        f.clear();
        st.ResumeTiming();
        if (extract) {
            factor(a, f, plain);
        } else if (plain) {
            vorn::band_eliminate_plain(a.data(), P.ld, P.Nt, P.W, P.nband, false, true);
        } else {
            vorn::band_eliminate(a.data(), P.ld, P.Nt, P.W, P.nband, false, true);
        }
        benchmark::DoNotOptimize(a.data());
    }
    if (!extract) vorn::band_lu_extract(a.data(), P.ld, P.Nt, P.W, P.nband, f);
    std::vector<double> x(P.b.size());
    vorn::band_lu_solve(f, P.b.data(), x.data());
    Residual[key] = residual(x);
    st.counters["factor_MB"] = double(f.bytes()) / 1048576.0;
}

void BM_factor_solve(benchmark::State& st, std::string key) {
    std::vector<double> a, x(P.b.size());
    vorn::BandLU f;
    for (auto _ : st) {
        st.PauseTiming();
        a = P.band.a;
        f.clear();
        st.ResumeTiming();
        factor(a, f, false);
        vorn::band_lu_solve(f, P.b.data(), x.data());
        benchmark::DoNotOptimize(x.data());
    }
    Residual[key] = residual(x);
}

void BM_reuse_solve(benchmark::State& st, std::string key) {
    std::vector<double> a = P.band.a, x(P.b.size());
    vorn::BandLU f;
    factor(a, f, false);
    std::vector<double>().swap(a);
    for (auto _ : st) {
        vorn::band_lu_solve(f, P.b.data(), x.data());
        benchmark::DoNotOptimize(x.data());
    }
    Residual[key] = residual(x);
}

// ---- the implicit solution's factors, packed in place ------------------------------------

// Elimination, the stretches the substitutions read, and the packing: what
// a factorisation costs the implicit solution.
void pack_factor(std::vector<double>& a, vorn::PackedLU& p) {
    vorn::BandSpans spans;
    spans.runs = true;
    vorn::band_eliminate(a.data(), P.ld, P.Nt, P.W, P.nband, false, true, nullptr, &spans);
    vorn::band_pack(a.data(), P.ld, P.Nt, P.W, spans, p);
}

double packed_MB(const vorn::PackedLU& p) {
    return double((p.lower_values() + p.upper_values()) * sizeof(double) +
                  (p.Lruns.size() + p.Uruns.size()) * sizeof(vorn::BandRun) +
                  std::size_t(P.Nt) * 2 * (2 * sizeof(std::size_t) + sizeof(std::uint32_t))) /
           1048576.0;
}

void BM_pack_factor(benchmark::State& st, std::string key, bool solve) {
    std::vector<double> a, x(P.b.size());
    vorn::PackedLU p;
    for (auto _ : st) {
        st.PauseTiming();
        a = P.band.a;
        p.clear();
        st.ResumeTiming();
        pack_factor(a, p);
        if (solve) vorn::band_packed_solve(p, a.data(), P.b.data(), x.data());
        benchmark::DoNotOptimize(x.data());
    }
    vorn::band_packed_solve(p, a.data(), P.b.data(), x.data());
    Residual[key] = residual(x);
    st.counters["factor_MB"] = packed_MB(p);
}

void BM_packed_solve(benchmark::State& st, std::string key) {
    std::vector<double> a = P.band.a, x(P.b.size());
    vorn::PackedLU p;
    pack_factor(a, p);
    for (auto _ : st) {
        vorn::band_packed_solve(p, a.data(), P.b.data(), x.data());
        benchmark::DoNotOptimize(x.data());
    }
    Residual[key] = residual(x);
}

// ---- OpenBLAS dgbtrf / dgbtrs ------------------------------------------------------------

// LAPACK band storage with room for the fill of the row interchanges:
// AB(kl+ku+1+i-j, j) = A(i, j), ldab = 2kl+ku+1.
struct Lapack {
    int ldab = 0;
    std::vector<double> ab;
    std::vector<int> ipiv;
    void fill() {
        ldab = 2 * P.kl + P.ku + 1;
        ab.assign(std::size_t(ldab) * std::size_t(P.Nt), 0.0);
        ipiv.assign(std::size_t(P.Nt), 0);
        for (int i = 1; i <= P.Nt; ++i)
            for (int c = 1; c <= P.nband; ++c) {
                const int j = i + c - P.W;
                if (j < 1 || j > P.Nt || P.band.at(i, c) == 0.0) continue;
                ab[std::size_t(j - 1) * std::size_t(ldab) + std::size_t(P.kl + P.ku + i - j)] =
                    P.band.at(i, c);
            }
    }
    int factor() {
        int info = 0;
        dgbtrf_(&P.Nt, &P.Nt, &P.kl, &P.ku, ab.data(), &ldab, ipiv.data(), &info);
        return info;
    }
    void solve(std::vector<double>& x) const {
        x = P.b;
        int info = 0, one = 1;
        dgbtrs_("N", &P.Nt, &P.kl, &P.ku, &one, ab.data(), &ldab, ipiv.data(), x.data(), &P.Nt,
                &info, 1);
    }
};

void BM_dgbtrf(benchmark::State& st, std::string key) {
    Lapack l;
    int info = 0;
    for (auto _ : st) {
        st.PauseTiming();
        l.fill();
        st.ResumeTiming();
        info = l.factor();
    }
    if (info != 0) st.SkipWithError("dgbtrf failed");
    std::vector<double> x;
    l.solve(x);
    Residual[key] = residual(x);
}

void BM_dgbtrs(benchmark::State& st, std::string key) {
    Lapack l;
    l.fill();
    if (l.factor() != 0) st.SkipWithError("dgbtrf failed");
    std::vector<double> x;
    for (auto _ : st) {
        l.solve(x);
        benchmark::DoNotOptimize(x.data());
    }
    Residual[key] = residual(x);
}

// ---- UMFPACK -------------------------------------------------------------------------------

struct Umf {
    double control[UMFPACK_CONTROL], info[UMFPACK_INFO];
    void* symbolic = nullptr;
    void* numeric = nullptr;
    Umf() { umfpack_di_defaults(control); }
    ~Umf() { release(); }
    void release() {
        if (numeric) umfpack_di_free_numeric(&numeric);
        if (symbolic) umfpack_di_free_symbolic(&symbolic);
    }
    bool analyse() {
        return umfpack_di_symbolic(P.Nt, P.Nt, P.Ap.data(), P.Ai.data(), P.Ax.data(), &symbolic,
                                   control, info) == UMFPACK_OK;
    }
    bool factor() {
        if (numeric) umfpack_di_free_numeric(&numeric);
        return umfpack_di_numeric(P.Ap.data(), P.Ai.data(), P.Ax.data(), symbolic, &numeric,
                                  control, info) == UMFPACK_OK;
    }
    bool solve(std::vector<double>& x) {
        x.assign(P.b.size(), 0.0);
        return umfpack_di_solve(UMFPACK_A, P.Ap.data(), P.Ai.data(), P.Ax.data(), x.data(),
                                P.b.data(), numeric, control, info) == UMFPACK_OK;
    }
};

void BM_umfpack_numeric(benchmark::State& st, std::string key) {
    Umf u;
    bool ok = u.analyse();
    for (auto _ : st) ok = ok && u.factor();
    std::vector<double> x;
    if (!ok || !u.solve(x)) {
        st.SkipWithError("UMFPACK failed");
        return;
    }
    st.counters["LU_nnz"] = u.info[UMFPACK_LNZ] + u.info[UMFPACK_UNZ];
    st.counters["umf_flops"] = u.info[UMFPACK_FLOPS];
    Residual[key] = residual(x);
}

void BM_umfpack_symbolic_numeric(benchmark::State& st, std::string key) {
    bool ok = true;
    std::vector<double> x;
    for (auto _ : st) {
        Umf u;
        ok = ok && u.analyse() && u.factor();
        st.PauseTiming();
        if (ok) ok = u.solve(x);
        st.ResumeTiming();
    }
    if (!ok) st.SkipWithError("UMFPACK failed");
    Residual[key] = residual(x);
}

void BM_umfpack_solve(benchmark::State& st, std::string key) {
    Umf u;
    std::vector<double> x;
    bool ok = u.analyse() && u.factor();
    for (auto _ : st) ok = ok && u.solve(x);
    if (!ok) st.SkipWithError("UMFPACK failed");
    Residual[key] = residual(x);
}

// ---- the table -----------------------------------------------------------------------------

struct Row {
    std::string name;
    double seconds = 0;  // CPU time per iteration
    double wall = 0;
};

class Collector : public benchmark::ConsoleReporter {
  public:
    std::vector<Row> rows;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Aggregate || r.aggregate_name != "min")
                continue;
            Row row;
            row.name = r.run_name.function_name;
            row.seconds = r.GetAdjustedCPUTime() / tunit(r.time_unit);
            row.wall = r.GetAdjustedRealTime() / tunit(r.time_unit);
            rows.push_back(row);
        }
        ConsoleReporter::ReportRuns(runs);
    }

  private:
    static double tunit(benchmark::TimeUnit u) {
        switch (u) {
            case benchmark::kNanosecond: return 1e9;
            case benchmark::kMicrosecond: return 1e6;
            case benchmark::kMillisecond: return 1e3;
            default: return 1.0;
        }
    }
};

// The core's clock (GHz): a chain of dependent integer additions, one per
// cycle, timed by the thread's CPU clock.
double measure_ghz() {
    double best = 0;
    for (int rep = 0; rep < 5; ++rep) {
        timespec t0, t1;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
        unsigned long x = 0;
        const long n = 50000000;
        for (long k = 0; k < n; ++k)
            asm volatile(
                "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                : "+r"(x));
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
        const double s = double(t1.tv_sec - t0.tv_sec) + 1e-9 * double(t1.tv_nsec - t0.tv_nsec);
        best = std::max(best, 8.0 * double(n) / s * 1e-9);
    }
    return best;
}

std::string cpu_model() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

const char* library_of(void* fn) {
    Dl_info d{};
    return dladdr(fn, &d) && d.dli_fname ? d.dli_fname : "?";
}

void write_tables(const std::vector<Row>& rows, const std::string& csv, const std::string& md,
                  double ghz) {
    const double peak = ghz * 16.0;  // GFlop/s: 2 FMA units x 4 doubles x 2 flops
    std::map<std::string, double> t;
    for (const Row& r : rows) t[r.name] = r.seconds;
    auto get = [&](const char* n) { return t.count(n) ? t[n] : NAN; };
    const double ours = get("ours_factor");
    std::ofstream c(csv), m(md);
    c << "benchmark,cpu_ms,wall_ms,useful_GFlops,pct_of_peak,time_over_ours,residual\n";
    m << "Band matrix: " << P.Nt << " equations, band columns " << P.nband << " (diagonal "
      << P.W << ", kl = " << P.kl << ", ku = " << P.ku << "), " << P.Ap.back()
      << " nonzeros; useful flops of one elimination " << P.flops * 1e-9 << " G.  Core: "
      << cpu_model() << ", measured clock " << ghz << " GHz, peak " << peak
      << " GFlop/s (16 flops per cycle: 2 FMA units x 4 doubles x 2, AVX2+FMA).  One thread.\n\n";
    m << "CPU and wall time per operation: the least of three repetitions of the mean over "
         "a fixed number of iterations.  GFlop/s from the CPU time; time / ours: CPU time "
         "over that of ours_factor (factorisations) or of ours_reuse_solve (solutions).\n\n";
    m << "| benchmark | CPU ms | wall ms | useful GFlop/s | % of peak | time / ours | residual |\n"
         "|---|---:|---:|---:|---:|---:|---:|\n";
    for (const Row& r : rows) {
        // Factorisations against ours_factor, solutions against the reuse solve.
        const bool is_solve = r.name == "ours_reuse_solve" || r.name == "ours_packed_solve" ||
                              r.name == "dgbtrs" ||
                              r.name == "umfpack_solve";
        const double gf = is_solve ? NAN : P.flops / r.seconds * 1e-9;
        const double ratio = r.seconds / (is_solve ? get("ours_reuse_solve") : ours);
        const double res = Residual.count(r.name) ? Residual[r.name] : NAN;
        char line[512];
        std::snprintf(line, sizeof line, "%s,%.3f,%.3f,%.3f,%.2f,%.3f,%.2e\n", r.name.c_str(),
                      r.seconds * 1e3, r.wall * 1e3, gf, 100 * gf / peak, ratio, res);
        c << line;
        std::snprintf(line, sizeof line, "| %s | %.2f | %.2f | %s | %s | %.2f | %.1e |\n",
                      r.name.c_str(), r.seconds * 1e3, r.wall * 1e3,
                      std::isnan(gf) ? "" : std::to_string(gf).substr(0, 5).c_str(),
                      std::isnan(gf) ? "" : std::to_string(100 * gf / peak).substr(0, 4).c_str(),
                      ratio, res);
        m << line;
    }
    char sum[1024];
    std::snprintf(sum, sizeof sum,
                  "\nOur factorisation (elimination + factors kept) against OpenBLAS dgbtrf: "
                  "%.2f times as fast; against UMFPACK numeric: %.2f, symbolic + numeric: %.2f.  "
                  "Reuse solve: %.1f times as fast as factor + solve.  Fast elimination against "
                  "the plain one: %.2f times as fast.  Packed factors (the implicit "
                  "solution's): factorisation %.2f times as fast as dgbtrf and %.2f as UMFPACK "
                  "numeric; reuse solve %.1f times as fast as factor + solve.\n",
                  get("dgbtrf") / ours, get("umfpack_numeric") / ours,
                  get("umfpack_symbolic_numeric") / ours,
                  get("ours_factor_solve") / get("ours_reuse_solve"),
                  get("plain_eliminate") / get("ours_eliminate"),
                  get("dgbtrf") / get("ours_pack_factor"),
                  get("umfpack_numeric") / get("ours_pack_factor"),
                  get("ours_pack_factor_solve") / get("ours_packed_solve"));
    m << sum;
    c.close();
    m.close();
    std::printf("%s", sum);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vorn_bandbench BAND_FILE CSV_FILE MD_FILE [benchmark flags]\n");
        return 2;
    }
    const std::string file = argv[1], csv = argv[2], md = argv[3];
    int bargc = argc - 3;
    std::vector<char*> bargv{argv[0]};
    for (int k = 4; k < argc; ++k) bargv.push_back(argv[k]);
    benchmark::Initialize(&bargc, bargv.data());
    openblas_set_num_threads(1);
    try {
        set_up(file);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorn_bandbench: %s\n", e.what());
        return 2;
    }
    std::printf("dgbtrf from %s (%s)\n", library_of(reinterpret_cast<void*>(&dgbtrf_)),
                openblas_get_config());
    const double ghz = measure_ghz();
    std::printf("clock %.2f GHz, useful flops %.3g\n", ghz, P.flops);

    // Iterations fixed (one factorisation takes from a tenth of a second to
    // half a second), three repetitions each: the table takes the
    // repetition with the least CPU time per iteration (the machine may be
    // shared).
    auto add = [](const char* name, auto fn, int iterations, auto... args) {
        benchmark::RegisterBenchmark(name, fn, std::string(name), args...)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations)
            ->Repetitions(3)
            ->ComputeStatistics("min",
                                [](const std::vector<double>& v) {
                                    return *std::min_element(v.begin(), v.end());
                                })
            ->ReportAggregatesOnly(true);
    };
    add("ours_eliminate", BM_factor, 5, false, false);
    add("ours_factor", BM_factor, 5, false, true);
    add("plain_eliminate", BM_factor, 3, true, false);
    add("plain_factor", BM_factor, 3, true, true);
    add("ours_factor_solve", BM_factor_solve, 5);
    add("ours_reuse_solve", BM_reuse_solve, 30);
    add("ours_pack_factor", BM_pack_factor, 5, false);
    add("ours_pack_factor_solve", BM_pack_factor, 5, true);
    add("ours_packed_solve", BM_packed_solve, 30);
    add("dgbtrf", BM_dgbtrf, 2);
    add("dgbtrs", BM_dgbtrs, 10);
    add("umfpack_numeric", BM_umfpack_numeric, 2);
    add("umfpack_symbolic_numeric", BM_umfpack_symbolic_numeric, 2);
    add("umfpack_solve", BM_umfpack_solve, 10);
    Collector rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    write_tables(rep.rows, csv, md, ghz);
    benchmark::Shutdown();
    return 0;
}
