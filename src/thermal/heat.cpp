// Heat generation per section: the inter-strand coupling loss, dissipated in
// the contacts by the network solution, is moved onto the strand sections.
// Each contact power is shared by the sections around it, a quarter to each
// of four section entries, so that inside the cable the sum over the
// sections equals the sum over the contacts.
#include "thermal/thermal.hpp"

namespace vorn {

namespace {

// Contact powers seen from band b.  A band outside 1..NB does not exist
// (cable ends) and gives 0; with a single band every neighbouring band and
// the far crossing plane are the band itself (periodic cable).
struct ContactPowers {
    const Model& m;
    int b;
    double pa(int db, int k) const {
        int bb = b + db;
        if (m.NB == 1) bb = 1;
        if (bb < 1 || bb > m.NB) return 0.0;
        return m.Pa(bb, k);
    }
    // Crossing plane b + dp (dp = 0 the start, 1 the end of band b).
    double pc(int dp, int k) const {
        int plane = b + dp;
        if (m.NB == 1) plane = 1;
        return m.Pc(plane, k);
    }
};

// Adjacent-contact powers collected by section s (W).
double adjacent_sum(const ContactPowers& c, int s, int n) {
    if (s == 2)
        return c.pa(-1, 2) + c.pa(0, 1) + c.pa(0, 2) + c.pa(0, n + 1) + c.pa(1, 1) + c.pa(1, 3);
    if (s == 3) return c.pa(-1, 2) + c.pa(-1, n + 1) + c.pa(0, 2) + c.pa(0, 4) + c.pa(0, n + 1);
    if (s < n) return c.pa(-1, s + n - 2) + c.pa(0, s - 1) + c.pa(0, s + 1) + c.pa(0, s + n - 2);
    if (s == n)
        return c.pa(-1, 2 * n - 2) + c.pa(-1, 2 * n - 1) + c.pa(0, n - 1) + c.pa(0, 2 * n - 2) +
               c.pa(0, 2 * n - 1);
    if (s == n + 1) return c.pa(-1, 1) + c.pa(0, 1) + c.pa(0, 3) + c.pa(0, n + 2) + c.pa(1, 3);
    if (s <= 2 * n - 3)
        return c.pa(0, s - n + 2) + c.pa(0, s - 1) + c.pa(0, s + 1) + c.pa(1, s - n + 2);
    if (s == 2 * n - 2)
        return c.pa(-1, 2 * n) + c.pa(0, n) + c.pa(0, 2 * n - 3) + c.pa(0, 2 * n) + c.pa(1, n);
    // s = 2n-1
    return c.pa(-1, 2 * n - 1) + c.pa(0, 2 * n - 2) + c.pa(0, 2 * n - 1) + c.pa(0, 2 * n) +
           c.pa(1, n) + c.pa(1, 2 * n);
}

// Crossing-contact powers collected by section s (W).
double crossing_sum(const ContactPowers& c, int s, int n) {
    if (s == 2) return c.pc(0, 1) + c.pc(1, 1);
    if (s <= n) return c.pc(0, s - 2) + c.pc(0, s - 1);
    if (s == 2 * n - 1) return c.pc(0, n - 1) + c.pc(1, n - 1);
    if (s % 2 == 1)  // n+1, n+3, .., 2n-3 (n even)
        return c.pc(0, s - n) + c.pc(1, s - n + 1);
    return c.pc(0, s - n + 1) + c.pc(1, s - n);  // n+2, n+4, .., 2n-2
}

}  // namespace

void heat_per_section(Model& m) {
    const int n = m.NS;
    for (int b = 1; b <= m.NB; ++b) {
        const ContactPowers c{m, b};
        for (int s = 2; s <= m.NS_2m1; ++s)
            m.P_IS(b, s) = 0.25 * (adjacent_sum(c, s, n) + crossing_sum(c, s, n));
    }
}

}  // namespace vorn
