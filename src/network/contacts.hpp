// Helpers of the contact-resistance set-up, shared with the voltages and
// the tests.
#pragma once

namespace vorn {

// The two positions that adjacent contact k (1..2NS) joins, NS even.
struct PositionPair {
    int first = 0, second = 0;
};
PositionPair ra_contact_positions(int k, int NS);
// Crossing contact k (1..NS-1): upper position ceil(k/2), lower NS - k/2.
PositionPair rc_contact_positions(int k, int NS);

// Random scatter of one resistance r by the uniform draw u with relative
// width F: u is clamped to [1e-5, 0.99999]; below 0.5 r is multiplied, from
// 0.5 on divided, by 1 + F ln(1/(2 min(u, 1-u))).
double random_scatter(double r, double u, double F);

}  // namespace vorn
