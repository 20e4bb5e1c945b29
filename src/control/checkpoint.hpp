// Checkpoints: the whole state of a run at the end of a converged time
// step, written to output/VORN_checkpoint.bin, from which `vorn --resume`
// continues as the run would have gone on.
//
// A checkpoint holds a format version, the program's version, a digest of
// the case's input files (and of the options that change the numbers), the
// length of every result file at that moment, the state of the model, and a
// checksum of all of it.  It is written under a temporary name, flushed to
// the disk and renamed into place, so that a run killed while writing it
// leaves the previous one; a file that is cut short or damaged fails its
// checksum and is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "control/model.hpp"
#include "support/state_archive.hpp"

namespace vorn {

// The name of the checkpoint file in the output directory.
inline constexpr const char* kCheckpointFile = "VORN_checkpoint.bin";

// A checkpoint as read: its header, the lengths of the result files (paths
// relative to the case directory), and its state, read up to the model's
// part.
struct ResumePoint {
    std::uint32_t format = 0;
    std::string version;
    std::uint64_t digest = 0;
    int run = 0, iter = 0, nts = 0;
    int nb = 0, ns = 0;  // the cable's bands and strands
    double time = 0;
    double cpu = 0;  // s of CPU time the QE iteration had taken
    std::vector<std::string> dirs, files;
    std::vector<std::uint64_t> sizes;
    std::unique_ptr<StateArchive> ar;
};

// Reads the image of a checkpoint file up to the model's state; throws
// ArchiveError when it is not a complete checkpoint of this format (with
// `check_sum` false the checksum is not looked at).
ResumePoint read_checkpoint_image(std::string bytes, bool check_sum = true);

// Every part of the model that changes in the time loop, in one list for
// both directions (control/checkpoint_state.cpp).
void model_state_io(StateArchive& ar, Model& m);

// Digest of the case's input files (names and contents) and of the options
// that change the results.
std::uint64_t input_digest(const Model& m);

// At the start of a run, once the output directory is known and locked.
// Resuming (--resume): reads and checks the checkpoint, cuts the result
// files back to their length at the checkpoint and removes those written
// after it; a missing, damaged or foreign checkpoint stops the program.
// A run from t = 0 removes a checkpoint of an earlier run (with a warning):
// the results it describes are about to change.
void checkpoint_start(Model& m);

// After a converged time step: writes a checkpoint when a signal asks the
// run to stop, or when --checkpoint-every seconds have passed since the
// last one.
void checkpoint_after_step(Model& m);

// Resuming: the run and QE iteration of the checkpoint (false otherwise).
bool checkpoint_resume_point(const Model& m, int& run, int& iter);

// At the start of a QE iteration, after its initialisation: when the run is
// resumed in this iteration, the state of the checkpoint replaces the
// initial one and true is returned (the step of the checkpoint is done).
bool checkpoint_restore(Model& m);

// How a file that a run starts afresh is opened: replaced, or appended to
// while a resumed run reopens the files its checkpoint left.
OpenMode fresh_file_mode(const Model& m);

// At the normal end of the simulation: the checkpoint is of no further use.
void checkpoint_remove(Model& m);

}  // namespace vorn
