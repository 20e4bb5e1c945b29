// The state in which the resistance tests call rs_calculation: a later time
// step's second resistance iteration at relaxation level 1, no practical
// limit on the change, no normal-conducting strands and no special
// resistances.
#pragma once

#include "control/model.hpp"

namespace vorn::test {

inline void second_iteration_plain_strands(Model& m) {
    m.Norms.fill(0);
    m.AnyNormS = 0;
    m.Opt_UnifCur1 = 0;
    m.NTS = 1;
    m.NrItRs = 2;
    m.CntR = 1;
    m.FRsLim = 1e30;
    m.NrRhoSp = 0;
    m.NBRhoSp.allocate(1, 0, 0);
    m.NSRhoSp.allocate(1, 0, 0);
    m.RsSp.allocate(1, 0, 0.0);
}

}  // namespace vorn::test
