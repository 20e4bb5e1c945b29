// The system matrix is taken from one workspace per case (and one for the
// infinitely long reference) and not zeroed between solutions: whole runs
// must write exactly the bytes of runs that give every solution a freshly
// allocated, zeroed matrix.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "control/driver.hpp"
#include "test_util.hpp"

namespace vorn::test {
namespace {

// Every file the run wrote below the case (output/ and Run01/), by relative
// path.  Summary.dat is left out: it holds the CPU time of the run.
std::map<std::string, std::string> run_files(const fs::path& root, const std::string& number,
                                             int fresh, int* status) {
    const fs::path case_dir = root / "VORN_data" / "Demo" / ("Demo-" + number);
    {
        InDir here(root);
        Model m;
        m.FreshMatrix = fresh;
        std::istringstream answers("Demo\n" + number + "\n");
        std::ostringstream console;
        m.con_in = &answers;
        m.con_out = &console;
        *status = vorn_main(m);
    }
    std::map<std::string, std::string> files;
    for (const char* sub : {"output", "Run01"})
        for (const auto& e : fs::directory_iterator(case_dir / sub)) {
            if (e.path().filename() == "Summary.dat") continue;
            files[std::string(sub) + "/" + e.path().filename().string()] = read_file(e.path());
        }
    return files;
}

class WorkspaceReuse : public ::testing::TestWithParam<const char*> {};

TEST_P(WorkspaceReuse, WritesTheBytesOfFreshMatrices) {
    TempDir a, b;
    copy_example(a.path());
    copy_example(b.path());
    int sa = -1, sb = -1;
    const auto reused = run_files(a.path(), GetParam(), 0, &sa);
    const auto fresh = run_files(b.path(), GetParam(), 1, &sb);
    ASSERT_EQ(sa, 0);
    ASSERT_EQ(sb, 0);
    ASSERT_GT(reused.size(), 5u);
    ASSERT_EQ(reused.size(), fresh.size());
    for (const auto& [name, text] : reused) {
        const auto it = fresh.find(name);
        ASSERT_NE(it, fresh.end()) << name;
        EXPECT_TRUE(text == it->second) << name << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Demo, WorkspaceReuse, ::testing::Values("001", "003"));

}  // namespace
}  // namespace vorn::test
