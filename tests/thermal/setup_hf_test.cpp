// Heat-transfer set-up: insulation conductances, transient energy limits,
// helium density and mass.
#include <gtest/gtest.h>

#include "small_cable.hpp"

namespace vorn::test {
namespace {

void hf_cable(Model& m, int opt_temp, int opt_ins) {
    small_cable(m, 3);
    m.Opt_Temp = opt_temp;
    m.Opt_Ins = opt_ins;
    m.k_ins_1 = 0.1, m.k_ins_2 = 0.2, m.k_ins_f = 0.3;
    m.Th_ins_1 = 1e-4, m.Th_ins_2 = 2e-4, m.Th_ins_f = 5e-5;
    m.F_ins_1 = 1.0, m.F_ins_2 = 0.5, m.F_ins_f = 2.0;
    m.Th1 = 1.4e-3, m.Th2 = 1.6e-3;
    initialize_hf(m);
}

// NS = 8, w = 5 mm, band length TPStr/NS = 7.5 mm: the edges through
// insulation 1 and 2, the twelve face sections share the two faces.
TEST(InsulationConductance, EdgesAndFaces) {
    Model m;
    hf_cable(m, 1, 1);
    const double band = 0.060 / 8;
    EXPECT_DOUBLE_EQ(m.f_hf_ins(2), 0.1 / 1e-4 * 1.0 * 1.4e-3 * band);
    EXPECT_DOUBLE_EQ(m.f_hf_ins(15), 0.2 / 2e-4 * 0.5 * 1.6e-3 * band);
    for (int s = 3; s <= 14; ++s)
        EXPECT_DOUBLE_EQ(m.f_hf_ins(s), 0.3 / 5e-5 * 2.0 * 0.005 * band / 6) << s;
}

TEST(InsulationConductance, NoneWithoutInsulationOrTemperatures) {
    for (auto [temp, ins] : {std::pair{1, 0}, std::pair{0, 1}}) {
        Model m;
        hf_cable(m, temp, ins);
        for (int s = 2; s <= 15; ++s) EXPECT_EQ(m.f_hf_ins(s), 0.0);
    }
}

TEST(TransientLimit, ByOption) {
    Model m;
    small_cable(m, 3);
    m.E_Trans_Lim0 = 2.0;    // J/m^2
    m.E_Trans_Lim2 = 3.0e5;  // J/m^3
    m.Opt_Trans_HF = 1;
    initialize_hf(m);
    EXPECT_EQ(m.e_trans_lim(5), 1e20);
    m.Opt_Trans_HF = 2;
    initialize_hf(m);
    EXPECT_DOUBLE_EQ(m.e_trans_lim(2), 2 * 0.3e-6 * 2.0);  // edge: twice the surface
    EXPECT_DOUBLE_EQ(m.e_trans_lim(5), 0.3e-6 * 2.0);
    m.Opt_Trans_HF = 3;
    initialize_hf(m);
    EXPECT_NEAR(m.e_trans_lim(5), 0.05e-9 * 3.0e5, 1e-15);
    EXPECT_NEAR(m.e_trans_lim(2), 2 * 0.05e-9 * 3.0e5, 1e-15);
}

// 126 kg/m^3 from 2.18 K on, 147 below; the mass follows the volume.
TEST(HeliumMass, DensityAtTheBathTemperature) {
    for (auto [T, rho] : {std::pair{2.18, 126.0}, std::pair{2.17, 147.0}, std::pair{4.2, 126.0}}) {
        Model m;
        small_cable(m, 3);
        m.TBath = T;
        initialize_hf(m);
        EXPECT_DOUBLE_EQ(m.Mass_He(5), 0.05e-9 * rho) << T;
        EXPECT_DOUBLE_EQ(m.Mass_He(2), 2 * 0.05e-9 * rho) << T;
    }
}

}  // namespace
}  // namespace vorn::test
