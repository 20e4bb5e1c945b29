// The item table of the step files.  The names are those of
// docs/input-files.md; the units are the units in the files.
#include "input/step_items.hpp"

#include <algorithm>
#include <cctype>
#include <deque>

namespace vorn {

namespace {

StepItem reserved_int() {
    return {"reserved", static_cast<int Model::*>(nullptr), ""};
}
StepItem reserved_real() {
    return {"reserved", static_cast<double Model::*>(nullptr), ""};
}

std::vector<std::vector<StepRecord>> make_table() {
    return {
        // inp_STEP01.txt
        {{{"Opt_SC", &Model::Opt_SC, ""},
          {"Opt_Mat", &Model::Opt_Mat, ""},
          {"Opt_Cable", &Model::Opt_Cable, ""},
          {"NB", &Model::NB, ""},
          {"NS", &Model::NS, ""},
          {"w", &Model::w, "mm"},
          {"Th1", &Model::Th1, "mm"},
          {"Th2", &Model::Th2, "mm"},
          {"d_fil_in", &Model::d_fil_in, "mm"},
          {"d_fil_out", &Model::d_fil_out, "mm"},
          {"DiamStr", &Model::DiamStr, "mm"},
          {"TPFil", &Model::TPFil, "mm"},
          {"TPStr", &Model::TPStr, "mm"},
          {"Opt_CuSCRRR", &Model::Opt_CuSCRRR, ""},
          {"CuSC_con", &Model::CuSC_con, ""},
          {"RRR_con", &Model::RRR_con, ""},
          reserved_int(),
          {"MR_con", &Model::MR_con, "Ohm m/T"},
          reserved_int()}},
        // inp_STEP02.txt
        {{{"Opt_LongB", &Model::Opt_LongB, ""},
          {"The_Ba1", &Model::The_Ba1, "degree"},
          {"Phi_Ba1", &Model::Phi_Ba1, "degree"},
          {"Opt_Ba1", &Model::Opt_Ba1, ""},
          {"F1_Ba1", &Model::F1_Ba1, ""},
          {"F2_Ba1", &Model::F2_Ba1, ""},
          {"Opt_AddBa2", &Model::Opt_AddBa2, ""},
          {"The_Ba2", &Model::The_Ba2, "degree"},
          {"Phi_Ba2", &Model::Phi_Ba2, "degree"},
          {"Opt_Ba2", &Model::Opt_Ba2, ""},
          {"F1_Ba2", &Model::F1_Ba2, ""},
          {"F2_Ba2", &Model::F2_Ba2, ""},
          reserved_int(),
          reserved_int()}},
        // inp_STEP03.txt
        {{{"Opt_SF", &Model::Opt_SF, ""},
          {"NBSF", &Model::NBSF, ""},
          {"Opt_RetLead", &Model::Opt_RetLead, ""},
          {"d_RL", &Model::d_RL, "mm"},
          reserved_int(),
          reserved_int()}},
        // inp_STEP04.txt
        {{{"TauIF", &Model::TauIF, "s"}, reserved_int(), reserved_int()}},
        // inp_STEP05.txt
        {{{"RaCon", &Model::RaCon, "uOhm"},
          {"FRaW", &Model::FRaW, ""},
          {"Opt_RaRand", &Model::Opt_RaRand, ""},
          {"FRaRand", &Model::FRaRand, ""},
          {"NrRaSp", &Model::NrRaSp, ""},
          {"RcCon", &Model::RcCon, "uOhm"},
          {"FRcW", &Model::FRcW, ""},
          {"Opt_RcRand", &Model::Opt_RcRand, ""},
          {"FRcRand", &Model::FRcRand, ""},
          {"NrRcSp", &Model::NrRcSp, ""},
          {"Opt_Core", &Model::Opt_Core, ""},
          {"RcCore", &Model::RcCore, "uOhm"},
          {"Core_pos1", &Model::Core_pos1, ""},
          {"Core_pos2", &Model::Core_pos2, ""},
          {"Opt_StrRes", &Model::Opt_StrRes, ""},
          {"Opt_RaW", &Model::Opt_RaW, ""},
          {"Opt_RcW", &Model::Opt_RcW, ""},
          {"Opt_LongR", &Model::Opt_LongR, ""},
          reserved_int(),
          reserved_int()}},
        // inp_STEP06.txt
        {{{"Opt_RsCalc", &Model::Opt_RsCalc, ""},
          {"RhoMin", &Model::RhoMin, "Ohm m"},
          {"RhoIc", &Model::RhoIc, "Ohm m"},
          {"nPow", &Model::nPow, ""},
          {"NrRhoSp", &Model::NrRhoSp, ""},
          {"Opt_LongRho", &Model::Opt_LongRho, ""},
          reserved_real(),
          reserved_real()}},
        // inp_STEP07.txt
        {{{"Opt_Ic", &Model::Opt_Ic, ""},
          {"IcCon", &Model::IcCon, "A"},
          {"ConIcA", &Model::ConIcA, "A (Opt_Ic 2, 3)"},
          {"ConIcB", &Model::ConIcB, "A/T (Opt_Ic 2, 3); T (Opt_Ic 4: Bc20)"},
          {"ConIcC", &Model::ConIcC, "(Opt_Ic 4: K, Tc0)"},
          {"ConIcD", &Model::ConIcD, ""},
          {"ConIcE", &Model::ConIcE, ""},
          {"ConIcF", &Model::ConIcF, ""},
          reserved_int(),
          {"NrIcLT", &Model::NrIcLT, ""},
          {"Opt_StrIc", &Model::Opt_StrIc, ""},
          {"Opt_IcRedIF", &Model::Opt_IcRedIF, ""},
          reserved_int(),
          reserved_int()}},
        // inp_STEP08.txt
        {{{"Opt_Temp", &Model::Opt_Temp, ""},
          {"TBath", &Model::TBath, "K"},
          {"F_HF_str", &Model::F_HF_str, ""},
          {"F_cont", &Model::F_cont, "W/m2/K^(P_cont+1)"},
          {"P_cont", &Model::P_cont, ""},
          {"F_ISCL", &Model::F_ISCL, ""},
          {"Opt_Trans_HF", &Model::Opt_Trans_HF, ""},
          {"a_Trans", &Model::a_Trans, "W/m2/K^n_Trans"},
          {"n_Trans", &Model::n_Trans, ""},
          {"E_Trans_Lim0", &Model::E_Trans_Lim0, "J/m2"},
          {"E_Trans_Lim2", &Model::E_Trans_Lim2, "J/m3"},
          {"aKap", &Model::aKap, "W/m2/K^nKap"},
          {"nKap", &Model::nKap, ""},
          {"aFB_II", &Model::aFB_II, "W/m2/K"},
          {"HF_Lim_Kap", &Model::HF_Lim_Kap, "W/m2"},
          {"aNC", &Model::aNC, "W/m2/K"},
          {"aNB", &Model::aNB, "W/m2/K"},
          {"aFB_I", &Model::aFB_I, "W/m2/K"},
          {"HF_Lim_NC", &Model::HF_Lim_NC, "W/m2"},
          {"HF_Lim_NB", &Model::HF_Lim_NB, "W/m2"},
          {"Opt_kCu", &Model::Opt_kCu, ""},
          {"Opt_He", &Model::Opt_He, ""}},
         {{"C", &Model::C, "J/K/m3"},
          {"k", &Model::k, "W/m/K"},
          {"p", &Model::p, ""},
          {"a_inf", &Model::a_inf, "W/m2/K"},
          {"dT", &Model::dT, "K"},
          {"F_HF_Ad", &Model::F_HF_Ad, ""},
          {"F_HF_Cr", &Model::F_HF_Cr, ""}}},
        // inp_STEP09.txt
        {{{"Opt_SurfVol", &Model::Opt_SurfVol, ""},
          {"A_Ad_con", &Model::A_Ad_con, "mm2"},
          reserved_real(),
          reserved_int(),
          {"A_Cr_con", &Model::A_Cr_con, "mm2"},
          reserved_real(),
          reserved_int(),
          {"A_He_con", &Model::A_He_con, "mm2"},
          reserved_real(),
          reserved_int(),
          {"Vol_He_con", &Model::Vol_He_con, "mm3"},
          reserved_real(),
          {"F_Vol_He", &Model::F_Vol_He, ""},
          {"F_A_He", &Model::F_A_He, ""},
          reserved_int()}},
        // inp_STEP10.txt
        {{{"Opt_Ins", &Model::Opt_Ins, ""},
          {"Th_ins_1", &Model::Th_ins_1, "mm"},
          {"Th_ins_2", &Model::Th_ins_2, "mm"},
          {"Th_ins_f", &Model::Th_ins_f, "mm"},
          {"k_ins_1", &Model::k_ins_1, "W/m/K"},
          {"k_ins_2", &Model::k_ins_2, "W/m/K"},
          {"k_ins_f", &Model::k_ins_f, "W/m/K"},
          {"F_ins_1", &Model::F_ins_1, ""},
          {"F_ins_2", &Model::F_ins_2, ""},
          {"F_ins_f", &Model::F_ins_f, ""},
          reserved_int(),
          reserved_int()}},
        // inp_STEP11.txt
        {{{"Opt_FLC", &Model::Opt_FLC, ""},
          {"NrPFL", &Model::NrPFL, ""},
          {"FLx1", &Model::FLx1, "mm"},
          {"FLy1", &Model::FLy1, "mm"},
          {"FLz1", &Model::FLz1, "mm"},
          {"dFLx", &Model::dFLx, "mm"},
          {"dFLy", &Model::dFLy, "mm"},
          {"dFLz", &Model::dFLz, "mm"},
          reserved_int(),
          reserved_int(),
          reserved_int()}},
        // inp_STEP12.txt
        {{{"NrSteps_inp", &Model::NrSteps_inp, ""},
          {"VoltStop", &Model::VoltStop, "uV per metre of cable"},
          {"NBMut", &Model::NBMut, ""},
          {"F_SolAcc", &Model::F_SolAcc, ""},
          {"SolAcc", &Model::SolAcc, ""},
          {"Opt_StrCur", &Model::Opt_StrCur, ""},
          {"NrT_HP", &Model::NrT_HP, ""},
          {"Opt_HP", &Model::Opt_HP, ""},
          {"Nr_HP", &Model::Nr_HP, ""},
          {"NrRunT", &Model::NrRunT, ""},
          {"QE_rho_NQ", &Model::QE_rho_NQ, "Ohm m"},
          {"QE_nr_sec", &Model::QE_nr_sec, ""},
          {"QE_rho_Q", &Model::QE_rho_Q, "Ohm m"},
          reserved_real(),
          reserved_real()}},
        // inp_STEP13.txt
        {{{"NrItR0", &Model::NrItR0, ""},
          {"CntR_M", &Model::CntR_M, ""},
          {"FRsLim", &Model::FRsLim, ""},
          {"CsAcc", &Model::CsAcc, "A"},
          {"RhoAcc", &Model::RhoAcc, "Ohm m"},
          {"NrItT_M", &Model::NrItT_M, ""},
          {"TincrM", &Model::TincrM, "K"},
          {"TsAcc", &Model::TsAcc, "K"},
          {"HFAccRel", &Model::HFAccRel, ""},
          {"HFAccAbs", &Model::HFAccAbs, "W"}}},
        // inp_STEP14.txt
        {{{"Opt_Magn", &Model::Opt_Magn, ""},
          {"NB1_M", &Model::NB1_M, ""},
          {"NB2_M", &Model::NB2_M, ""},
          reserved_int(),
          reserved_int()}},
        // inp_STEP15.txt
        {{{"dt_Prog", &Model::dt_Prog, "s"},
          {"dT_Prog", &Model::dT_Prog, "K"},
          {"dI_Prog", &Model::dI_Prog, "A"},
          reserved_real(),
          {"dt_NTS", &Model::dt_NTS, "s"},
          {"dT_NTS", &Model::dT_NTS, "K"},
          {"dI_NTS", &Model::dI_NTS, "A"},
          reserved_real(),
          {"Opt_PrMat", &Model::Opt_PrMat, ""},
          {"Opt_PrIter", &Model::Opt_PrIter, ""},
          reserved_real(),
          {"NrWrArrays", &Model::NrWrArrays, ""},
          {"NrSignals", &Model::NrSignals, ""},
          reserved_int()}},
        // inp_STEP16.txt
        {{reserved_int(),
          {"One", &Model::One, ""},
          {"IniRand", &Model::IniRand, ""},
          {"EffLC", &Model::EffLC, "m"},
          {"NrItBack", &Model::NrItBack, ""},
          {"Opt_UnifCur1", &Model::Opt_UnifCur1, ""},
          {"Nr_Opt", &Model::Nr_Opt, ""},
          {"C1_Opt", &Model::C1_Opt, ""},
          {"C2_Opt", &Model::C2_Opt, ""},
          {"C3_Opt", &Model::C3_Opt, ""},
          {"C4_Opt", &Model::C4_Opt, ""},
          {"reserved", &Model::Text_Opt, ""},
          reserved_int(),
          reserved_int()}},
    };
}

// Case-insensitive edit distance.
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> prev(b.size() + 1), cur(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (same ? 0 : 1)});
        }
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

}  // namespace

const std::vector<std::vector<StepRecord>>& step_file_records() {
    static const std::vector<std::vector<StepRecord>> table = make_table();
    return table;
}

std::string step_file_name(int step) {
    return std::string("inp_STEP") + (step < 10 ? "0" : "") + std::to_string(step) + ".txt";
}

void read_step_record(ListReader& r, Model& m, const StepRecord& record,
                      std::vector<ValuePlace>* places) {
    // Unused values land here; a deque keeps their addresses fixed.
    std::deque<int> ints;
    std::deque<double> reals;
    std::deque<std::string> texts;
    std::vector<RItem> items;
    items.reserve(record.size());
    for (const StepItem& it : record) {
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(m.*member)>;
                T* target = nullptr;
                if (member) {
                    target = &(m.*member);
                } else if constexpr (std::is_same_v<T, int>) {
                    target = &ints.emplace_back(0);
                } else if constexpr (std::is_same_v<T, double>) {
                    target = &reals.emplace_back(0.0);
                } else {
                    target = &texts.emplace_back();
                }
                items.emplace_back(it.name, target);
            },
            it.field);
    }
    r.read(items, places);
}

StepItemPlace find_step_item(std::string_view name) {
    const auto& table = step_file_records();
    for (std::size_t s = 0; s < table.size(); ++s)
        for (std::size_t r = 0; r < table[s].size(); ++r)
            for (std::size_t v = 0; v < table[s][r].size(); ++v) {
                const StepItem& it = table[s][r][v];
                if (!it.reserved() && name == it.name) return {int(s) + 1, int(r), int(v), &it};
            }
    return {};
}

std::vector<std::string> close_step_item_names(std::string_view name, std::size_t count) {
    std::vector<std::pair<std::size_t, std::string>> all;
    for (const auto& step : step_file_records())
        for (const auto& record : step)
            for (const StepItem& it : record)
                if (!it.reserved()) all.emplace_back(distance(name, it.name), it.name);
    std::stable_sort(all.begin(), all.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Only names within reach: at most half the longer name changed.
    std::vector<std::string> out;
    for (const auto& [d, n] : all) {
        if (out.size() >= count) break;
        if (d <= std::max<std::size_t>(2, std::max(name.size(), n.size()) / 2)) out.push_back(n);
    }
    return out;
}

}  // namespace vorn
