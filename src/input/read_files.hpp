// Readers of the auxiliary input files, called by read_input_parameters at
// their point of the step-file sequence, and the small helpers they share.
// Internal to src/input.
#pragma once

#include <string>

#include "control/model.hpp"
#include "support/listread.hpp"

namespace vorn::input_files {

// A reader of one of the case's files: the values it found not to be finite
// numbers join the validation's list (NonFiniteInputs) when it is done.
struct CaseFile {
    CaseFile(Model& model, const std::string& path) : m(model), r(ListReader::from_file(path)) {}
    ~CaseFile() {
        m.NonFiniteInputs.insert(m.NonFiniteInputs.end(), r.nonfinite().begin(),
                                 r.nonfinite().end());
    }
    CaseFile(const CaseFile&) = delete;
    CaseFile& operator=(const CaseFile&) = delete;
    Model& m;
    ListReader r;
};

// Full name of a file of the case's input directory.
std::string input_path(const Model& m, const std::string& file);
// A line to the messages file when the debug-trace switch is on.
void debug_line(Model& m, const std::string& text);
// "name(i)" and "name(i,j)": names of table values in read messages.
std::string indexed(const std::string& name, int i);
std::string indexed(const std::string& name, int i, int j);
// Multiplies or divides every element (a conversion of units).
void multiply(RArr1& a, double f);
void divide(RArr1& a, double d);

// --- files that fill per-wire, per-band or per-section arrays; read only when
// the arrays exist (valid NB and NS) ---------------------------------------------
void read_str_mech(Model& m);         // inp_StrMech.txt: CuSCw, RRRw
void read_rrr_per_section(Model& m);  // inp_RRR_per_section.txt: RRRs
void read_long_var_b(Model& m);       // inp_LongVarB.txt: ba1_long, ba2_long
void read_b_posit(Model& m);          // inp_B-posit.txt: bp*_inp, b*_inp
void read_sf_table(Model& m);         // predefined self-field table: sff_x, sff_y
void read_rarc_per_strand(Model& m);  // inp_RaRc_per_strand.txt: F_Ra_w, F_Rc_w
void read_long_var_r(Model& m);       // inp_LongVarR.txt: ralong, rclong (uOhm)
void read_long_var_rho(Model& m);     // inp_LongVarRho.txt: rholong (1e-14 Ohm m)
void read_str_ic(Model& m);           // inp_StrIc.txt: ICRATw, NPOWw
void read_surf_vol(Model& m);         // inp_SurfVol.txt: A_Ad, A_Cr, A_He, Vol_He
void read_str_cur(Model& m);          // inp_StrCur.txt: CWB1perc, CWB2perc

// --- lists whose length is a count of the step files; always read -------------------
void read_special_lists(Model& m, int step);  // step 5: Ra and Rc; 6: Rho; 7: local Ic
void read_time_steps(Model& m);               // inp_TimeSteps.txt and the schedule
void read_heat_pulses(Model& m);              // inp_EP.txt
void read_qe_runs(Model& m);                  // QE arrays, inp_QE.txt when Opt_HP = 2

}  // namespace vorn::input_files
