// Case editing by name: vorn set rewrites values in place and validates,
// vorn get prints them; both driven by the readers' item table.
#include "input/case_edit.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "input/step_items.hpp"
#include "read_test_util.hpp"

namespace vorn::test {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class CaseEdit : public ::testing::Test {
protected:
    std::string dir() const { return c.input.parent_path().string(); }
    Outcome set(const std::vector<std::string>& a) {
        std::ostringstream out, err;
        const int s = set_case_values(dir(), a, out, err);
        return {s, out.str(), err.str()};
    }
    Outcome get(const std::vector<std::string>& a) {
        std::ostringstream out, err;
        const int s = get_case_values(dir(), a, out, err);
        return {s, out.str(), err.str()};
    }
    std::vector<std::string> all_values() {
        const Outcome o = get({});
        EXPECT_EQ(o.status, 0) << o.err;
        std::vector<std::string> lines;
        std::istringstream in(o.out);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    std::vector<std::string> step_texts() const {
        std::vector<std::string> t;
        for (int s = 1; s <= 16; ++s) t.push_back(read_file(c.step_file(s)));
        return t;
    }

    InputCase c;
};

TEST_F(CaseEdit, TableMatchesEveryStepFileOfTheExample) {
    // Each record of the table is one read of the file: the reader takes all
    // of them and nothing is left over.
    const auto& table = step_file_records();
    ASSERT_EQ(table.size(), 16u);
    for (int s = 1; s <= 16; ++s) {
        ListReader r = ListReader::from_file(c.step_file(s).string());
        Model m;
        for (const auto& record : table[s - 1]) read_step_record(r, m, record);
        EXPECT_TRUE(r.at_end()) << step_file_name(s);
    }
    EXPECT_EQ(find_step_item("F_HF_Cr").step, 8);
    EXPECT_EQ(find_step_item("F_HF_Cr").record, 1);
    EXPECT_EQ(find_step_item("reserved").item, nullptr);
}

TEST_F(CaseEdit, SetRoundTripsThroughTheReader) {
    const auto before = all_values();
    const auto texts = step_texts();
    const Outcome o = set({"RcCon=30.5", "NB=25", "F_HF_Cr=0.5", "VoltStop=2e3"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "RcCon = 30.5 uOhm  (inp_STEP05.txt)\nNB = 25  (inp_STEP01.txt)\n"
              "F_HF_Cr = 0.5  (inp_STEP08.txt)\nVoltStop = 2e3 uV per metre of cable  "
              "(inp_STEP12.txt)\n");
    c.read();
    EXPECT_DOUBLE_EQ(c.m().RcCon, 30.5e-6);  // uOhm -> Ohm after reading
    EXPECT_EQ(c.m().NB, 25);
    EXPECT_DOUBLE_EQ(c.m().F_HF_Cr, 0.5);
    EXPECT_DOUBLE_EQ(c.m().VoltStop, 2e-3);
    // Every other value is as it was, and so is every untouched file.
    const auto after = all_values();
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) ++changed;
    EXPECT_EQ(changed, 4);
    const auto now = step_texts();
    for (int s : {2, 3, 4, 6, 7, 9, 10, 11, 13, 14, 15, 16}) EXPECT_EQ(now[s - 1], texts[s - 1]);
    // The layout of an edited line stays: only the token changed.
    std::string expect = texts[4];
    expect.replace(expect.find("15.0"), 4, "30.5");
    EXPECT_EQ(now[4], expect);
}

TEST_F(CaseEdit, ValueInsideARepeatCountIsSplitOut) {
    write_file(c.step_file(4), "0.015 2*0   ! time constant, two unused\n");
    const Outcome o = set({"TauIF=0.02"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read_file(c.step_file(4)), "0.02 2*0   ! time constant, two unused\n");
    write_file(c.step_file(13), "3*5, 0.1, 1.0E-13, 50, 1.0, 0.001, 0.01, 0.001\n");
    const Outcome o2 = set({"CntR_M=9"});
    ASSERT_EQ(o2.status, 0) << o2.err;
    EXPECT_EQ(read_file(c.step_file(13)), "5, 9, 5, 0.1, 1.0E-13, 50, 1.0, 0.001, 0.01, 0.001\n");
    EXPECT_EQ(get({"NrItR0", "CntR_M", "FRsLim"}).out,
              "NrItR0 = 5  (inp_STEP13.txt)\nCntR_M = 9  (inp_STEP13.txt)\n"
              "FRsLim = 5  (inp_STEP13.txt)\n");
}

TEST_F(CaseEdit, RefusalsLeaveTheFilesAsTheyWere) {
    const auto texts = step_texts();
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> err;
    };
    const std::vector<Case> cases = {
        {{"RCcon=3"}, {"Unknown parameter \"RCcon\"; close names: RcCon", "vorn get CASE_DIR"}},
        {{"RcCon=3", "NB=1.5"}, {"The value of NB is \"1.5\", not an integer"}},
        {{"RcCon=fast"}, {"The value of RcCon is \"fast\", not a real number"}},
        {{"RcCon"}, {"Expected NAME=VALUE, not \"RcCon\""}},
        {{"RcCon=3", "NS=7"}, {"NS", "smaller than", "errors detected", "left as it was"}},
        {{"RaCon=-1"}, {"RaCon", "left as it was"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.args.back());
        const Outcome o = set(k.args);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "");
        for (const std::string& e : k.err) EXPECT_NE(o.err.find(e), std::string::npos) << o.err;
        EXPECT_EQ(step_texts(), texts);
    }
    const Outcome g = get({"RcCon", "Nope"});
    EXPECT_EQ(g.status, 1);
    EXPECT_NE(g.err.find("Unknown parameter \"Nope\""), std::string::npos);
    std::ostringstream out, err;
    EXPECT_EQ(get_case_values(dir() + "/missing", {"NB"}, out, err), 1);
    EXPECT_NE(err.str().find("Case directory not found"), std::string::npos);
}

TEST(CaseEditCommand, SubcommandsAndACaseNamedSet) {
    TempDir tmp;
    const fs::path demo = copy_example(tmp.path());
    ExeResult r = run_vorn_args(tmp.path(), {"set", demo.string(), "RcCon=25"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "RcCon = 25 uOhm  (inp_STEP05.txt)\n");
    r = run_vorn_args(tmp.path(), {"get", demo.string(), "RcCon", "w"});
    EXPECT_EQ(r.out, "RcCon = 25 uOhm  (inp_STEP05.txt)\nw = 5.0 mm  (inp_STEP01.txt)\n");
    r = run_vorn_args(tmp.path(), {"set", demo.string()});
    EXPECT_EQ(r.status, 2);
    // A case whose sub-directory is called "set" is run after "--".
    const fs::path named = tmp.path() / "VORN_data" / "set" / "set-001";
    fs::create_directories(named / "output");
    fs::create_directories(named / "Run01");
    fs::copy(demo / "input", named / "input");
    r = run_vorn_args(tmp.path(), {"--", "set", "001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(named / "Run01" / "Progress.dat"));
}

}  // namespace
}  // namespace vorn::test
