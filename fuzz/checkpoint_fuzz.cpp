// The checkpoint reader on arbitrary bytes: the header, the lengths of the
// result files and the model's state, as `vorn --resume` reads them (the
// checksum is not required here, so that the fuzzer reaches the parts
// behind it).  An ArchiveError is the reader's answer to a file that is not
// a checkpoint; anything else (a crash, a sanitizer report, a huge
// allocation, a hang) is a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "control/checkpoint.hpp"
#include "control/model.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorn;
    try {
        ResumePoint r = read_checkpoint_image(
            std::string(reinterpret_cast<const char*>(data), size), false);
        // The resumed case's counts, as its set-up makes them (bounded as
        // the input check bounds them).
        Model m;
        if (r.nb < 1 || r.nb > 200 || r.ns < 2 || r.ns > 40 || r.ns % 2 != 0) return 0;
        m.NB = r.nb;
        m.NS = r.ns;
        set_derived_counts(m);
        model_state_io(*r.ar, m);
    } catch (const ArchiveError&) {
    }
    return 0;
}
