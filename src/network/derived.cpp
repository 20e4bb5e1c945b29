// Derived cable quantities, computed once after the contact resistances and
// read by the reports.
#include <algorithm>
#include <cmath>

#include "network/network.hpp"

namespace vorn {

namespace {

struct TableStats {
    double min = 0, max = 0, aver = 0, inv_aver = 0;
};

// Minimum, maximum, mean and mean inverse over every element of a table;
// zeros for an empty or missing table.  A zero resistance makes the mean
// inverse infinite, which the report shows as asterisks.
TableStats table_stats(const RArr2& a) {
    TableStats st;
    if (!a.allocated() || a.size() == 0) return st;
    const double* v = a.data();
    const std::size_t n = a.size();
    st.min = st.max = v[0];
    double sum = 0, inv = 0;
    for (std::size_t i = 0; i < n; ++i) {
        st.min = std::min(st.min, v[i]);
        st.max = std::max(st.max, v[i]);
        sum += v[i];
        inv += 1.0 / v[i];
    }
    st.aver = sum / double(n);
    st.inv_aver = inv / double(n);
    return st;
}

}  // namespace

void cable_derived_values(Model& m) {
    m.ThMid = (m.Th1 + m.Th2) / 2;
    m.L_cable = m.TPStr * m.NB / m.NS;

    // A strand crosses the width twice per pitch: tan(theta) = 2 w/TPStr.
    m.Theta_tr = std::atan(2 * m.w / m.TPStr);
    // Share of the cable's cross-section filled by strands: each strand,
    // inclined by theta, cuts it in A_str/cos(theta).
    const double a_str = m.Pi * (m.DiamStr / 2) * (m.DiamStr / 2);
    m.F_compact = m.NS * a_str / (m.w * m.ThMid * std::cos(m.Theta_tr));
    m.Vol_free = (1 - m.F_compact) * m.w * m.ThMid;

    const TableStats ra = table_stats(m.Ra);
    m.Ra_min = ra.min;
    m.Ra_max = ra.max;
    m.Ra_aver = ra.aver;
    m.Ra_inv_aver = ra.inv_aver;
    const TableStats rc = table_stats(m.Rc);
    m.Rc_min = rc.min;
    m.Rc_max = rc.max;
    m.Rc_aver = rc.aver;
    m.Rc_inv_aver = rc.inv_aver;
}

}  // namespace vorn
