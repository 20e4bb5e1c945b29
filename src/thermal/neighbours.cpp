// Thermal neighbours of the sections: the sections before and
// after each section along its own strand, the adjacent strands in the same
// layer, the crossing strand of the other layer, and the centre distances.
//
// An NB_ entry is a band offset (-1 previous band, 0 same band, +1 next
// band), an NS_ entry the section in that band.  Section 2 of band j
// continues into section n+1 of band j+1, so section n+1's left neighbour is
// section 2 of the previous band.  With a single band every offset is 0.
#include "thermal/thermal.hpp"

namespace vorn {

void neighbour_tables(Model& m) {
    const int n = m.NS, first = 2, last = m.NS_2m1;
    for (IArr1* a : {&m.NS_str_L, &m.NB_str_L, &m.NS_str_R, &m.NB_str_R, &m.NS_adj_L, &m.NB_adj_L,
                     &m.NS_adj_R, &m.NB_adj_R, &m.NS_cross})
        a->allocate(first, last, 0);
    for (RArr1* a : {&m.l_str_l, &m.l_str_r, &m.l_cr}) a->allocate(first, last, 0.0);

    for (int s = first; s <= last; ++s) {
        const bool odd = s % 2 == 1;
        int left = 0, right = 0, cross = 0;
        if (s == 2) {
            left = 3;
            right = n + 1;
            cross = n + 1;
        } else if (s == 3) {
            left = n + 2;
            right = 2;
            cross = 4;
        } else if (s <= n) {
            // odd 5..n-1 and even 4..n
            left = odd ? s + n - 1 : s + n - 3;
            right = odd ? s + n - 3 : s + n - 1;
            cross = odd ? s + 1 : s - 1;
        } else if (s == n + 1) {
            left = 2;
            right = 4;
            cross = 2;
        } else if (s == 2 * n - 2) {
            left = 2 * n - 1;
            right = n - 1;
            cross = 2 * n - 1;
        } else if (s == 2 * n - 1) {
            left = n;
            right = 2 * n - 2;
            cross = 2 * n - 2;
        } else {
            // odd n+3..2n-3 and even n+2..2n-4
            left = odd ? s - n + 1 : s - n + 3;
            right = odd ? s - n + 3 : s - n + 1;
            cross = odd ? s - 1 : s + 1;
        }
        m.NS_str_L(s) = left;
        m.NS_str_R(s) = right;
        m.NS_cross(s) = cross;

        if (m.NB > 1) {
            m.NB_str_L(s) = (s >= 3 && s <= n + 1) || s == 2 * n - 2 ? -1 : 0;
            m.NB_str_R(s) = s >= 3 && s <= n ? 0 : 1;
        }
        // The adjacent strands: the sections along the own strand, one band
        // back (left) or on (right).
        m.NS_adj_L(s) = right;
        m.NS_adj_R(s) = left;
        if (m.NB > 1) {
            m.NB_adj_L(s) = m.NB_str_R(s) - 1;
            m.NB_adj_R(s) = m.NB_str_L(s) + 1;  // 0 at s = n+1
        }
    }

    // Centre distances along the strand and to the crossing strand (m).
    for (int s = first; s <= last; ++s) {
        m.l_str_l(s) = 0.5 * (m.Length_s(s) + m.Length_s(m.NS_str_L(s)));
        m.l_str_r(s) = 0.5 * (m.Length_s(s) + m.Length_s(m.NS_str_R(s)));
    }
    // Half the local thickness, by a rule linear in the section number:
    // f(i) for s = i = 2..n, f(s - n) for s = n+1..2n-2 (l_cr(s - n), and at
    // s = n+1 the same rule at i = 1, as there is no section 1), and the
    // right edge at i = n + 1.
    const double dTh = m.Th2 - m.Th1;
    auto f = [&](int i) { return 0.5 * (m.Th1 + (i - 1.5) * dTh / n); };
    for (int s = first; s <= n; ++s) m.l_cr(s) = f(s);
    for (int s = n + 1; s <= 2 * n - 2; ++s) m.l_cr(s) = f(s - n);
    m.l_cr(last) = f(n + 1);
}

}  // namespace vorn
