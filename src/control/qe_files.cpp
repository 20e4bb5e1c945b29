// Result files of the quench-energy search: the summary over the runs
// ("VORN_QE_Sum.dat", output directory) and each run's decision file
// ("VORN_QE.dat", run directory).
#include <string>

#include "control/checkpoint.hpp"
#include "control/control.hpp"
#include "control/messages.hpp"

namespace vorn {

void qe_summary_open(Model& m) {
    const std::string path = m.output_dir + "VORN_QE_Sum.dat";
    // A resumed run goes on with the file of the checkpoint.
    const bool resuming = m.Ckpt.resuming == 1;
    if (!m.qesum_unit.open(path, fresh_file_mode(m)))
        stop_with_message(m, "Cannot open " + shown_path(path));
    if (resuming) return;
    const std::string& s = m.Sep;
    static const Format header("(A5,14(A1,A12))");
    const FItem names[] = {"Case",   s, "Ba1",      s, "TC_ini",   s, "E_HP_ini", s, "QE_F",
                           s,        "QE_acc",      s, "TC_min",   s, "TC_max",   s, "TC_aver",
                           s,        "E_HP_min",    s, "E_HP_max", s, "E_HP_aver", s, "Error"};
    const FItem units[] = {"(-)", s, "(T)",  s, "(A)",  s, "(uJ)", s, "(-)",  s,
                           "(%)", s, "(A)",  s, "(A)",  s, "(A)",  s, "(uJ)", s,
                           "(uJ)", s, "(uJ)", s, "(%)"};
    m.qesum_unit.fmt(header, names);
    m.qesum_unit.fmt(header, units);
    m.qesum_unit.flush();
}

void qe_summary_line(Model& m) {
    const int r = m.Run;
    // Relative width of the final bracket of the searched variable, in %.
    const bool energy = m.hp_or_tc(r) == 1;
    const double hi = energy ? m.E_HP_max : m.TC_max;
    const double lo = energy ? m.E_HP_min : m.TC_min;
    const double error = 100.0 * (hi - lo) / (hi + lo);
    const std::string& s = m.Sep;
    m.qesum_unit.fmt("(I5,14(A1,F12.3))",
                     {r, s, m.Ba1, s, m.tc_qe(r, 1), s, 1e6 * m.e_hp(r, 1), s, m.qe_f(r), s,
                      m.qe_acc(r), s, m.TC_min, s, m.TC_max, s, (m.TC_min + m.TC_max) / 2, s,
                      1e6 * m.E_HP_min, s, 1e6 * m.E_HP_max, s,
                      1e6 * (m.E_HP_min + m.E_HP_max) / 2, s, error});
    m.qesum_unit.flush();
}

void qe_file_open(Model& m) {
    const std::string path = m.run_dir + "VORN_QE.dat";
    const bool resuming = m.Ckpt.resuming == 1;
    if (!m.qe_unit.open(path, fresh_file_mode(m)))
        stop_with_message(m, "Cannot open " + shown_path(path));
    if (resuming) return;
    for (const char* legend :
         {"QDM:       Quench Decision Moment", "QE_Dec=0:  No quench", "QE_Dec=1:  Quench",
          "Tmax(m):   Maximum local cable temperature in last time step",
          "Tmax(m-1): Maximum local cable temperature in previous time step",
          "nQ(-1): Nr of sections with rho>QE_rho_Q in wire left adjacent to heated wire",
          "nQ(0):  Nr of sections with rho>QE_rho_Q in heated wire",
          "nQ(+1): Nr of sections with rho>QE_rho_Q in wire right adjacent to heated wire", ""})
        m.qe_unit.line(legend);
    const std::string& s = m.Sep;
    static const Format header("(A7,A1,A7,10(A1,A12),4(A1,A7))");
    const FItem names[] = {"Iter",   s, "NTS",    s, "QDM",     s, "E_HP_min",  s, "E_HP_max",
                           s,        "E_HP",      s, "TC_min",  s, "TC_max",    s, "TC",
                           s,        "Ba1",       s, "Tmax(m)", s, "Tmax(m-1)", s, "QE_Dec",
                           s,        "nQ(-1)",    s, "nQ(0)",   s, "nQ(+1)"};
    const FItem units[] = {"(-)",  s, "(-)", s, "(ms)", s, "(uJ)", s, "(uJ)", s, "(uJ)",
                           s,      "(A)", s, "(A)",  s, "(A)",  s, "(T)",  s, "(K)",  s,
                           "(K)",  s, "(-)", s, "(-)", s, "(-)", s, "(-)"};
    m.qe_unit.fmt(header, names);
    m.qe_unit.fmt(header, units);
    m.qe_unit.flush();
}

void qe_decision_line(Model& m, int nq_left, int nq_heated, int nq_right) {
    const int r = m.Run, it = m.Iter;
    const std::string& s = m.Sep;
    // Time in ms, energies in uJ; the brackets as updated by this decision.
    m.qe_unit.fmt("(I7,A1,I7,10(A1,F12.5),4(A1,I7))",
                  {it, s, m.NTS, s, 1000 * m.Time, s, 1e6 * m.E_HP_min, s, 1e6 * m.E_HP_max, s,
                   1e6 * m.e_hp(r, it), s, m.TC_min, s, m.TC_max, s, m.tc_qe(r, it), s, m.Ba1, s,
                   m.Ts_max, s, m.Tmax_prev, s, m.QE_Dec(it), s, nq_left, s, nq_heated, s,
                   nq_right});
}

}  // namespace vorn
