// One run per case: a second run stops at once naming the holder, and the
// lock of a run that died is taken over.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "test_util.hpp"

namespace vorn::test {
namespace {

class CaseLockRun : public ::testing::Test {
protected:
    void SetUp() override { case_dir = copy_example(tmp.path()); }
    fs::path lock_file() const { return case_dir / "output" / ".vorn-lock"; }
    ExeResult run() const { return run_vorn_args(tmp.path(), {"Demo", "001"}); }
    TempDir tmp;
    fs::path case_dir;
};

TEST_F(CaseLockRun, SecondRunStopsNamingTheHolder) {
    // This process holds the lock, as a running vorn would.
    const int fd = ::open(lock_file().c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const std::string pid = std::to_string(::getpid());
    ASSERT_EQ(::write(fd, pid.data(), pid.size()), ssize_t(pid.size()));
    const ExeResult r = run();
    ::close(fd);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The case is being run by process " + pid + " (lock " +
                         lock_file().string() + ")"),
              std::string::npos)
        << r.err;
    // Nothing written: no messages, no results.
    EXPECT_FALSE(fs::exists(case_dir / "output" / "VORN_messages.dat"));
    EXPECT_FALSE(fs::exists(case_dir / "Run01" / "Progress.dat"));
    // Once the holder is gone the case runs, and leaves the lock file empty.
    const ExeResult again = run();
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(read_file(lock_file()), "");
}

TEST_F(CaseLockRun, LockOfARunThatDiedIsTakenOver) {
    write_file(lock_file(), "2147483646\n");  // no process holds it
    const ExeResult r = run();
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string warning = "Warning: the lock " + lock_file().string() +
                                " of process 2147483646, which has ended, is taken over";
    EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
    EXPECT_NE(read_file(case_dir / "output" / "VORN_messages.dat").find(warning),
              std::string::npos);
}

}  // namespace
}  // namespace vorn::test
