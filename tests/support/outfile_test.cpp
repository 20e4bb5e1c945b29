// The output unit: records reach the file whole, and a file opened whole
// appears under its name only once it is complete.
#include "support/outfile.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "test_util.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;

TEST(OutFileWhole, AppearsOnlyWhenClosedAndReplacesTheOldFile) {
    test::TempDir dir;
    const fs::path p = dir.path() / " 1 00000000005 Cs.dat";
    test::write_file(p, "old\n");
    OutFile f;
    ASSERT_TRUE(f.open(p.string(), OpenMode::Whole));
    f.line("title");
    f.fmt("(I4,A1,F10.3)", {1, ",", 2.5});
    f.flush();  // committed to the temporary, not yet under the name
    EXPECT_EQ(test::read_file(p), "old\n");
    f.close();
    EXPECT_EQ(test::read_file(p), "title\n   1,     2.500\n");
    EXPECT_FALSE(fs::exists(p.string() + ".tmp"));
}

TEST(OutFileWhole, AStopWhileWritingLeavesNeitherFileNorTemporary) {
    test::TempDir dir;
    const fs::path p = dir.path() / "Summary.dat";
    try {
        OutFile f;
        ASSERT_TRUE(f.open(p.string(), OpenMode::Whole));
        f.line("half a report");
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(fs::exists(p));
    EXPECT_FALSE(fs::exists(p.string() + ".tmp"));
    // An append file keeps the records made before the stop.
    const fs::path q = dir.path() / "Progress.dat";
    try {
        OutFile f;
        ASSERT_TRUE(f.open(q.string(), OpenMode::Append));
        f.line("line 1");
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(test::read_file(q), "line 1\n");
}

TEST(OutFileRecords, LargeOutputIsCommittedAtRecordEnds) {
    test::TempDir dir;
    const fs::path p = dir.path() / "VORN_convergency.dat";
    OutFile f;
    ASSERT_TRUE(f.open(p.string(), OpenMode::Replace));
    const std::string rec(999, 'x');  // 1000 bytes with the line end
    std::size_t seen = 0;
    for (int i = 0; i < 200; ++i) {
        f.line(rec);
        const std::string now = test::read_file(p);
        // Whatever is on disk ends at a record end and has grown only by
        // whole commits.
        if (!now.empty()) {
            EXPECT_EQ(now.back(), '\n');
        }
        EXPECT_EQ(now.size() % 1000, 0u);
        seen = now.size();
    }
    EXPECT_GT(seen, 0u);  // commits happened without flush
    EXPECT_LT(seen, 200000u);
    f.flush();
    EXPECT_EQ(test::read_file(p).size(), 200000u);
}

}  // namespace
}  // namespace vorn
