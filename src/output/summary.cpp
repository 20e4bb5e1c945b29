// Documented for users in docs/output-files.md (Summary.dat).
// "Summary.dat": the whole case restated in words and tables, rewritten from
// the start at the end of every QE iteration, so the last writing stands.
#include <vector>

#include "control/messages.hpp"
#include "output/output.hpp"
#include "output/summary_lines.hpp"

namespace vorn {

namespace {

void opening_lines(Model& m, SummaryLines& o) {
    o.plain("========== OUTPUT VORN: SUMMARY ==========================================");
    o.file().free({"Version of VORN.exe: ", m.Version});
    o.file().free({"Simulation Input: ", m.input_dir});
    o.file().free({"Simulation Output: ", m.output_dir});
}

// One line per QE iteration q = 1..NrItQE_M: q, then the CPU time of that
// iteration in every run (0 where it has not run).
void cpu_times(Model& m, SummaryLines& o) {
    static const Format row("(I8,26F10.3)");
    o.header("CPU times (s)");
    const int runs = m.t_cpu_iter.allocated() ? m.NrRunT : 0;
    std::vector<FItem> items;
    for (int q = 1; q <= NrItQE_M; ++q) {
        items.clear();
        items.emplace_back(q);
        for (int r = 1; r <= runs; ++r) items.emplace_back(m.t_cpu_iter(r, q));
        o.file().fmt(row, items);
    }
}

}  // namespace

void write_summary(Model& m) {
    OutFile f;
    if (!f.open(m.output_dir + "Summary.dat", OpenMode::Whole)) {
        // The results of the run are already written; the report is not
        // worth stopping for, but the user must learn that it is missing.
        msg(m, "Cannot write " + m.output_dir + "Summary.dat");
        return;
    }
    SummaryLines o(f);
    opening_lines(m, o);
    cpu_times(m, o);
    summary_cable(m, o);
    summary_thermal(m, o);
    summary_tables(m, o);
    summary_results(m, o);
    f.close();
    if (m.Opt_Magn == 1) write_mp(m);
}

}  // namespace vorn
