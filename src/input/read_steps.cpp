// Documented for users in docs/input-files.md (step files).
// The sixteen step files inp_STEP01.txt .. inp_STEP16.txt, each followed by
// the auxiliary files its options ask for, the defaults of the tables that no
// file supplies, and the conversion to SI units (lengths mm -> m,
// resistances uOhm -> Ohm, VoltStop uV -> V, surfaces mm^2 -> m^2, volumes
// mm^3 -> m^3).  Every conversion is applied exactly once, right after its
// file.
#include <string>

#include "control/messages.hpp"
#include "input/input.hpp"
#include "input/read_files.hpp"
#include "input/step_items.hpp"
#include "support/listread.hpp"

namespace vorn {

using namespace input_files;

namespace {

// Reads every record of a step file into the store, as its item table says.
void read_step(Model& m, int step) {
    CaseFile f(m, input_path(m, step_file_name(step)));
    for (const StepRecord& record : step_file_records()[step - 1]) read_step_record(f.r, m, record);
}

void step_done(Model& m, int step) {
    debug_line(m, "Read parameters STEP " + std::to_string(step) + " finished");
}

// Cable type and geometry; creates the arrays that depend on NB and NS.
void step01(Model& m) {
    read_step(m, 1);
    set_derived_counts(m);
    // An absurd NB or NS must not exhaust memory or index out of range: the
    // arrays are created only for a valid size; the validation then stops.
    const bool sized = cable_size_valid(m);
    if (sized) {
        allocate_input_arrays(m);
        if (m.Opt_CuSCRRR == 1) read_str_mech(m);
        if (m.Opt_CuSCRRR == 2) {
            m.RRRs.fill(m.RRR_con);
            read_rrr_per_section(m);
        }
    }
    for (double* x :
         {&m.w, &m.Th1, &m.Th2, &m.d_fil_in, &m.d_fil_out, &m.DiamStr, &m.TPFil, &m.TPStr})
        *x /= 1000.0;
    step_done(m, 1);
}

// Applied fields; the angles stay in degrees.
void step02(Model& m) {
    read_step(m, 2);
    if (cable_size_valid(m)) {
        if (m.Opt_LongB == 1) {
            read_long_var_b(m);
        } else {
            m.ba1_long.fill(1.0);
            m.ba2_long.fill(1.0);
        }
        if (m.Opt_Ba1 == 4) read_b_posit(m);
    }
    step_done(m, 2);
}

// Self field.
void step03(Model& m) {
    read_step(m, 3);
    if (m.Opt_SF == 2) {
        // The predefined tables have no return lead.
        m.Opt_RetLead = 0;
        if (cable_size_valid(m)) read_sf_table(m);
    }
    m.d_RL /= 1000.0;
    step_done(m, 3);
}

// Inter-filament coupling.
void step04(Model& m) {
    read_step(m, 4);
    step_done(m, 4);
}

// Contact resistances, with the per-strand factors, the special values and
// the values per band; all resistances uOhm -> Ohm afterwards.
void step05(Model& m) {
    read_step(m, 5);
    const bool sized = cable_size_valid(m);
    if (sized && m.Opt_StrRes == 1) read_rarc_per_strand(m);
    read_special_lists(m, 5);
    if (sized) {
        if (m.Opt_LongR == 1) {
            read_long_var_r(m);
        } else {
            m.ralong.fill(m.RaCon);
            m.rclong.fill(m.RcCon);
        }
    }
    m.RaCon /= 1e6;
    m.RcCon /= 1e6;
    m.RcCore /= 1e6;
    for (RArr1* a : {&m.RaSp, &m.RcSp, &m.ralong, &m.rclong}) divide(*a, 1e6);
    step_done(m, 5);
}

// Strand resistivity; the special and per-band resistivities come in units
// of 1e-14 Ohm m.
void step06(Model& m) {
    read_step(m, 6);
    read_special_lists(m, 6);
    if (cable_size_valid(m)) {
        if (m.Opt_LongRho == 1)
            read_long_var_rho(m);
        else
            m.rholong.fill(0.0);
    }
    multiply(m.RhoSp, 1e-14);
    multiply(m.rholong, 1e-14);
    step_done(m, 6);
}

// Critical current, the local Ic variations and the per-strand Ic data.
void step07(Model& m) {
    read_step(m, 7);
    read_special_lists(m, 7);
    if (cable_size_valid(m)) {
        if (m.Opt_StrIc != 0) {
            read_str_ic(m);
        } else {
            m.ICRATw.fill(1.0);
            m.NPOWw.fill(double(m.nPow));
        }
    }
    step_done(m, 7);
}

// Temperature and cooling: two records, values 1..22 and 23..29.
void step08(Model& m) {
    read_step(m, 8);
    // A contact heat-flow factor left at (nearly) zero means no scaling.
    if (m.F_HF_Ad < 1e-4) m.F_HF_Ad = 1.0;
    if (m.F_HF_Cr < 1e-4) m.F_HF_Cr = 1.0;
    // Supercritical helium has no transient regime.
    if (m.Opt_He == 1) m.Opt_Trans_HF = 0;
    step_done(m, 8);
}

// Contact surfaces and helium volume.
void step09(Model& m) {
    read_step(m, 9);
    if (cable_size_valid(m) && m.Opt_SurfVol == 2) read_surf_vol(m);
    m.A_Ad_con /= 1e6;
    m.A_Cr_con /= 1e6;
    m.A_He_con /= 1e6;
    m.Vol_He_con /= 1e9;
    step_done(m, 9);
}

// Cable insulation.
void step10(Model& m) {
    read_step(m, 10);
    for (double* x : {&m.Th_ins_1, &m.Th_ins_2, &m.Th_ins_f}) *x /= 1000.0;
    step_done(m, 10);
}

// Field along a line.
void step11(Model& m) {
    read_step(m, 11);
    for (double* x : {&m.FLx1, &m.FLy1, &m.FLz1, &m.dFLx, &m.dFLy, &m.dFLz}) *x /= 1000.0;
    step_done(m, 11);
}

// Calculation in time: the schedule, end currents, heat pulses and the runs
// of the quench-energy search, in this order.
void step12(Model& m) {
    read_step(m, 12);
    m.VoltStop /= 1e6;
    read_time_steps(m);
    if (cable_size_valid(m)) {
        if (m.Opt_StrCur != 0) {
            read_str_cur(m);
        } else {
            m.CWB1perc.fill(100.0 / m.NS);
            m.CWB2perc.fill(100.0 / m.NS);
        }
    }
    read_heat_pulses(m);
    if (m.NrRunT == 0 || m.Opt_HP <= 1) m.NrRunT = 1;
    // An infinitely long cable has no neighbouring bands.
    if (m.Opt_Cable == 1) m.NBMut = 0;
    read_qe_runs(m);
    step_done(m, 12);
}

// Iteration parameters.
void step13(Model& m) {
    read_step(m, 13);
    // An accuracy left at (nearly) zero falls back to 1.
    if (m.HFAccRel < 1e-6) m.HFAccRel = 1.0;
    if (m.HFAccAbs < 1e-12) m.HFAccAbs = 1.0;
    step_done(m, 13);
}

// Magnetisation.
void step14(Model& m) {
    read_step(m, 14);
    step_done(m, 14);
}

// Print options.
void step15(Model& m) {
    read_step(m, 15);
    step_done(m, 15);
}

// Parameters for experienced users.
void step16(Model& m) {
    read_step(m, 16);
    // A 12-character text field: cut or blank-padded.
    m.Text_Opt.resize(12, ' ');
    if (m.Nr_Opt == 60) {
        // Variant 60 scales the whole applied-field schedule by C2_Opt.
        for (RArr1* a :
             {&m.dba1dt_inp, &m.dba2dt_inp, &m.ba1_ini, &m.ba1_fin, &m.ba2_ini, &m.ba2_fin})
            multiply(*a, m.C2_Opt);
    }
    step_done(m, 16);
}

}  // namespace

bool cable_size_valid(const Model& m) {
    return m.NB >= 1 && m.NB <= 10000 && m.NS >= 8 && m.NS <= 80 && m.NS % 2 == 0;
}

void read_input_parameters(Model& m) {
    step01(m);
    step02(m);
    step03(m);
    step04(m);
    step05(m);
    step06(m);
    step07(m);
    step08(m);
    step09(m);
    step10(m);
    step11(m);
    step12(m);
    step13(m);
    step14(m);
    step15(m);
    step16(m);
}

}  // namespace vorn
