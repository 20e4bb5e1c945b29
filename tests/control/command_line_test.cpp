// Parsing of the command line into the run options.
#include "control/command_line.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace vorn {
namespace {

struct Parsed {
    int status = 0;
    RunOptions o;
    std::string out, err;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "vorn");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    Parsed p;
    std::ostringstream out, err;
    p.status = parse_command_line(int(argv.size()), argv.data(), p.o, out, err);
    p.out = out.str();
    p.err = err.str();
    return p;
}

TEST(CommandLineParse, NoArgumentsMeansTheDialogue) {
    const Parsed p = parse({});
    EXPECT_EQ(p.status, kRunCase);
    EXPECT_TRUE(p.o.sub_dir.empty());
    EXPECT_TRUE(p.o.case_nr.empty());
    EXPECT_TRUE(p.o.root_dir.empty());
    EXPECT_FALSE(p.o.create);
    EXPECT_FALSE(p.o.fresh);
    EXPECT_FALSE(p.o.explicit_mutual);
    EXPECT_EQ(p.out + p.err, "");
}

TEST(CommandLineParse, CaseAndOptionsInAnyOrder) {
    const Parsed p = parse({"--fresh", "Demo", "--root", "/cases", "001", "--create"});
    EXPECT_EQ(p.status, kRunCase) << p.err;
    EXPECT_EQ(p.o.sub_dir, "Demo");
    EXPECT_EQ(p.o.case_nr, "001");
    EXPECT_EQ(p.o.root_dir, "/cases");
    EXPECT_TRUE(p.o.create);
    EXPECT_TRUE(p.o.fresh);
    EXPECT_EQ(parse({"--root=rel/dir"}).o.root_dir, "rel/dir");
    EXPECT_TRUE(parse({"--explicit-mutual", "Demo", "001"}).o.explicit_mutual);
    EXPECT_TRUE(parse({"--section-by-section", "Demo", "001"}).o.section_by_section);
    EXPECT_FALSE(parse({"Demo", "001"}).o.section_by_section);
    EXPECT_EQ(parse({"--mem-limit", "512", "Demo", "001"}).o.mem_limit_mb, 512);
    EXPECT_EQ(parse({"--mem-limit", "0", "Demo", "001"}).status, 2);
    EXPECT_EQ(parse({"--mem-limit", "-5", "Demo", "001"}).status, 2);
    // After "--" an argument may begin with a dash.
    const Parsed d = parse({"--", "-odd", "007"});
    EXPECT_EQ(d.status, kRunCase);
    EXPECT_EQ(d.o.sub_dir, "-odd");
}

TEST(CommandLineParse, HelpAndVersionExitWithZero) {
    for (const char* flag : {"-h", "--help"}) {
        const Parsed p = parse({flag});
        EXPECT_EQ(p.status, 0);
        EXPECT_EQ(p.out.find("Usage: vorn [OPTIONS] [SUBDIR CASE]\n"), p.out.find("Usage:"));
        EXPECT_NE(p.out.find("Usage:"), std::string::npos);
        EXPECT_EQ(p.err, "");
    }
    const Parsed v = parse({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, std::string("vorn ") + program_version() + "\n");
    EXPECT_STREQ(program_version(), VORN_VERSION);
}

TEST(CommandLineParse, UsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"-q"},
                                               {"Demo"},
                                               {"Demo", "001", "x"},
                                               {"--root"},
                                               {"--root", ""},
                                               {"Demo", ""}}) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.status, kUsageStatus) << ::testing::PrintToString(args);
        EXPECT_EQ(p.out, "");
        EXPECT_EQ(p.err.rfind("vorn: ", 0), 0u);
        EXPECT_NE(p.err.find("\nUsage: vorn [OPTIONS] [SUBDIR CASE]\n"), std::string::npos)
            << p.err;
    }
}

}  // namespace
}  // namespace vorn
