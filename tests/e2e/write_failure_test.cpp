// Output files that cannot be written: a file-size limit (RLIMIT_FSIZE, with
// SIGXFSZ ignored so that the write fails with EFBIG instead of killing the
// process) makes each kind of file fail in turn.  The run must stop with a
// message naming the file and the reason, a non-zero status, no "Simulation
// finished", and every file ending in a complete line.
#include <gtest/gtest.h>

#include <string>

#include "test_util.hpp"

namespace vorn::test {
namespace {

// The example run with files limited to `kb` kB.
ExeResult run_limited(const fs::path& dir, int kb) {
    return run_command(dir, "bash -c " + shell_quote("trap '' XFSZ; ulimit -f " +
                                                     std::to_string(kb) + "; exec " +
                                                     shell_quote(VORN_EXE) + " Demo 001"));
}

// Every file of the case is empty or ends with a line end, and none is
// above the limit.
void expect_complete_files(const fs::path& case_dir, int kb) {
    for (const auto& e : fs::recursive_directory_iterator(case_dir)) {
        if (!e.is_regular_file() || e.path().parent_path().filename() == "input") continue;
        const std::string text = read_file(e.path());
        EXPECT_LE(text.size(), std::size_t(kb) * 1024) << e.path();
        if (!text.empty()) {
            EXPECT_EQ(text.back(), '\n') << e.path();
        }
    }
}

class WriteFailure : public ::testing::Test {
protected:
    void SetUp() override { case_dir = copy_example(tmp.path()); }
    // The stop for `file` (below the case directory) and its traces.
    // `from`: the length of the messages file before the run.
    void expect_stop(const ExeResult& r, const std::string& file, int kb,
                     std::size_t from = 0) const {
        EXPECT_EQ(r.status, 1);
        const std::string reason =
            "Cannot write " + (case_dir / file).string() + ": File too large. Program aborted";
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        const std::string messages =
            read_file(case_dir / "output" / "VORN_messages.dat").substr(from);
        EXPECT_EQ(messages.find("Simulation finished"), std::string::npos);
        if (file != "output/VORN_messages.dat") {
            EXPECT_NE(messages.find(reason), std::string::npos) << messages;
        }
        expect_complete_files(case_dir, kb);
    }
    TempDir tmp;
    fs::path case_dir;
};

TEST_F(WriteFailure, SnapshotFile) {
    expect_stop(run_limited(tmp.path(), 2), "Run01/ 1 00000000000 Cs.dat", 2);
}

TEST_F(WriteFailure, SummaryReport) {
    // A Whole file: it never appears incomplete under its name.
    expect_stop(run_limited(tmp.path(), 8), "output/Summary.dat", 8);
    EXPECT_FALSE(fs::exists(case_dir / "output" / "Summary.dat"));
    EXPECT_FALSE(fs::exists(case_dir / "output" / "Summary.dat.tmp"));
}

TEST_F(WriteFailure, ProgressTableAppendedBeyondTheLimit) {
    ASSERT_EQ(run_vorn_args(tmp.path(), {"Demo", "001"}).status, 0);
    // The second run appends: Progress.dat grows past the limit first
    // (Summary.dat, larger, is written only at the end).
    const auto kb = int(fs::file_size(case_dir / "Run01" / "Progress.dat") / 1024 + 1);
    const auto before = std::size_t(fs::file_size(case_dir / "output" / "VORN_messages.dat"));
    expect_stop(run_limited(tmp.path(), kb), "Run01/Progress.dat", 32, before);
}

TEST_F(WriteFailure, MessagesFile) {
    std::string old;
    while (old.size() < 3050) old += "an earlier message\n";  // 3059 bytes
    write_file(case_dir / "output" / "VORN_messages.dat", old);
    const ExeResult r = run_limited(tmp.path(), 3);
    expect_stop(r, "output/VORN_messages.dat", 3);
    EXPECT_EQ(read_file(case_dir / "output" / "VORN_messages.dat"), old);
}

}  // namespace
}  // namespace vorn::test
