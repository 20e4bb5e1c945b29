#include "magnetisation/filament.hpp"

#include <algorithm>
#include <cmath>

namespace vorn {

namespace {

double sign_of(double x) { return std::signbit(x) ? -1.0 : 1.0; }

// 3 P0 P1 P3: the field-to-the-1.5 swept when a sweep penetrates the whole
// filament.
double full_sweep(const FilamentConsts& k) { return 3.0 * k.P0 * k.P1 * k.P3; }

}  // namespace

double pow_signed(double x, double e) { return sign_of(x) * std::pow(std::abs(x), e); }

double entl(const FilamentConsts& k, double B) {
    return std::min(1.0, 2.0 * std::pow(std::abs(B), 1.5) / full_sweep(k));
}

double secl(const FilamentConsts& k, double B1, double B2) {
    return std::min(1.0, std::abs(pow_signed(B2, 1.5) - pow_signed(B1, 1.5)) / full_sweep(k));
}

double magn(const FilamentConsts& k, double B, double a, double b, double d, double e) {
    const double sigma = sign_of(B);
    const double eps = e * sigma;
    const double kk = k.P0 * k.P1 * eps * k.P3;
    const double c3 = std::pow(std::abs(B), 1.5);
    const double c9 = c3 * c3;
    auto g = [&](double x) {
        const double u = 1.5 * x * kk + c3;
        return ((((1.25 * x - 4.0) * x + 5.0) * k.P0 * k.P1 * eps * k.P3 - (x - 4.0) * c3) * kk +
                c9) *
               pow_signed(u, 2.0 / 3.0);
    };
    const double den = eps * eps * k.P3 * k.P3 * k.P0 * k.P0 * 5.0 * k.P2 * k.P1 * k.P1 * k.P1;
    return 2.0 * d * sigma / den * (g(b) - g(a));
}

double icmpch(double x, double y) {
    const double ix = std::trunc(x), iy = std::trunc(y);
    return ix > iy ? 1.0 : (ix < iy ? -1.0 : 0.0);
}

void sortzv(const double v[3], int idx[3]) {
    for (int i = 0; i < 3; ++i) idx[i] = i + 1;
    // Insertion sort on the values; equal values keep their numbers' order.
    for (int i = 1; i < 3; ++i)
        for (int j = i; j > 0; --j) {
            const double a = v[idx[j - 1] - 1], b = v[idx[j] - 1];
            if (a > b || (a == b && icmpch(idx[j - 1], idx[j]) > 0))
                std::swap(idx[j - 1], idx[j]);
            else
                break;
        }
}

namespace {

// B strictly between x and y (equal to either is not between).
bool between(double x, double y, double B) {
    if (B == x || B == y) return false;
    const double v[3] = {x, y, B};
    int idx[3];
    sortzv(v, idx);
    return idx[1] == 3;
}

// State of one filament's flux profile.
struct Stack {
    RArr1 L{1, kMaxLayers + 1, 0.0};  // reversal fields (T), room for 1000
    int n = 1;
    double dir = -1;   // direction sign of the present sweep
    double dnew = -1;  // last evaluated sweep direction (kept on equal fields)
    int virgin = 1;
    bool warned = false;
};

// Pushes a reversal field.  A full stack first merges its two most recent
// reversals (the smallest minor loop), so nothing is written past its end.
void push(Stack& st, double B) {
    if (st.n + 1 > kMaxLayers + 1) st.n -= 2;
    st.n = st.n + 1;
    st.L(st.n) = B;
}

void restart(Stack& st, double B) {
    st.n = 1;
    st.L(1) = B;
}

// Brings the layer stack up to date with the field B.
void update_stack(Stack& st, const FilamentConsts& k, double lambda, double B,
                  const std::function<void(std::string_view)>& warn) {
    for (;;) {
        if (st.n == 1) {
            const double d = B < st.L(1) ? 1.0 : -1.0;
            st.dnew = d;
            if (d == st.dir) {
                st.L(1) = B;
            } else {
                st.dir = d;
                if (secl(k, B, st.L(1)) < lambda)
                    push(st, B);
                else
                    st.L(1) = B;
            }
            return;
        }
        if (st.n > kMaxLayers && !st.warned) {
            // Said once per filament: the history would repeat it every step.
            warn("NUMBER OF LAYERS FOR ONE FILAMENT EXCEEDED");
            st.warned = true;
        }
        const int n = st.n;
        if (B > st.L(n)) st.dnew = -1;
        if (B < st.L(n)) st.dnew = 1;
        if (st.dnew != st.dir) {  // reversal
            if (between(st.L(n), st.L(n - 1), B)) {
                push(st, B);
                st.dir = st.dnew;
                return;
            }
            if (n == 2) {
                restart(st, B);
                st.dir = st.dnew;
                return;
            }
            st.n = n - 2;
            continue;
        }
        if (n == 2) {  // same direction on the first reversal
            if (secl(k, B, st.L(1)) < lambda)
                st.L(2) = B;
            else
                restart(st, B);
            return;
        }
        if (between(st.L(n - 1), st.L(n - 2), B)) {
            st.L(n) = B;
            return;
        }
        st.n = n - 2;  // the field passed an older reversal: wipe out two
    }
}

// Penetration fraction of the bottom layer.  A hollow filament is fully
// penetrated at lambda, so the virgin fraction is capped there.
double bottom_fraction(Stack& st, const FilamentConsts& k, double lambda, bool may_end_virgin) {
    if (st.virgin == 0) return lambda;
    const double f = entl(k, st.L(1));
    if (may_end_virgin && f >= lambda) st.virgin = 0;
    return std::min(f, lambda);
}

double step_magnetisation(Stack& st, const FilamentConsts& k, double lambda, double d) {
    const int n = st.n;
    if (n == 1) return magn(k, st.L(1), 0.0, bottom_fraction(st, k, lambda, true), d, st.dir);
    double f_above = secl(k, st.L(n), st.L(n - 1));
    double M = magn(k, st.L(n), 0.0, f_above, d, st.dir);
    double s = st.dir;
    for (int j = n - 1; j >= 2; --j) {
        const double f = secl(k, st.L(j), st.L(j - 1));
        s = -s;
        M += magn(k, st.L(j), f_above, f, d, s);
        f_above = f;
    }
    s = -s;
    return M + magn(k, st.L(1), f_above, bottom_fraction(st, k, lambda, false), d, s);
}

}  // namespace

RArr1 analyt(int n, double d_fil_in, double d_fil_out, const RArr1& c, const RArr1& /*T*/,
             const RArr1& B, const std::function<void(std::string_view)>& warn) {
    FilamentConsts k;
    k.P1 = d_fil_out * 0.3068528194400547;
    k.P2 = 3.141592653589793;
    k.P3 = 4e-7 * k.P2;
    const double lambda = 1.0 - d_fil_in / d_fil_out;
    RArr1 M(0, n, 0.0);

    int t0 = 0;
    while (t0 <= n && B(t0) == 0.0) ++t0;
    Stack st;
    double Bprev = 0.0;
    for (int t = t0; t <= n; ++t) {
        const double b = B(t);
        k.P0 = std::sqrt(std::abs(b)) * c(t);
        if (b != Bprev) update_stack(st, k, lambda, b, warn);
        // Without critical current (above the critical surface) the filament
        // carries no screening current; every sweep then counts as fully
        // penetrating, so no older profile survives either.
        M(t) = k.P0 > 0 ? step_magnetisation(st, k, lambda, d_fil_out) : 0.0;
        Bprev = st.L(st.n);
    }
    return M;
}

}  // namespace vorn
