// The reports of whole runs of the program: the section headers of
// "Summary.dat" in their order for every shipped example, the result
// summaries that options add, and the material-property report.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace vorn::test {
namespace {

const std::vector<std::string> kHeaders = {
    "========== OUTPUT VORN: SUMMARY ==========================================",
    "========== Cable Type and Geometry (STEP 1) ================================",
    "========== Applied field(s) orientation (STEP 2) ===========================",
    "========== Self Field (STEP 3) =============================================",
    "========== Inter Filament Coupling (STEP 4) ================================",
    "========== Contact Resistance Ra (STEP 5) ==================================",
    "========== Contact Resistance Rc (STEP 5) ==================================",
    "========== Strand resistivity (STEP 6) =====================================",
    "========== Strand Ic (STEP 7) ==============================================",
    "========== Temperature and Cooling (STEP 8) ================================",
    "========== Contact surfaces and Volumes (STEP 9) ===========================",
    "========== Cable insulation (STEP 10) ======================================",
    "========== Field Line (STEP 11) ===========================",
    "========== Calculations in time (STEP 12) ==================================",
    "========== Iteration parameters (STEP 13) ==================================",
    "========== Magnetization calculation (STEP 14) =============================",
    "========== Print options (STEP 15) =========================================",
    "========== Parameters for experienced users (STEP 16) ======================",
    "===== Geometrical values of the strand sections =====",
    "===== xy values (in mm) of the strand positions =====",
    "===== Strand specific data =====",
    "===== Heat transfer to helium data =====",
    "===== Connections of each section to the left and the right =====",
    "===== Connections of each section to adjacent strands (L and R) =====",
    "===== Connections of each section to crossing sections =====",
    // The result block appended at the end of the case.
    "========== RESULT ==============================================================",
};

std::vector<std::string> headers(const fs::path& summary) {
    std::vector<std::string> h;
    for (const auto& line : read_lines(summary))
        if (line.rfind("=====", 0) == 0) h.push_back(line);
    return h;
}

fs::path run_example(const TempDir& tmp, const std::string& nr) {
    const ExeResult r = run_vorn_exe(tmp.path(), "Demo\n" + nr + "\n");
    EXPECT_EQ(r.status, 0) << r.out;
    return tmp.path() / "VORN_data" / "Demo" / ("Demo-" + nr) / "output";
}

class ShippedExamples : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedExamples, SummaryHeadersInOrder) {
    TempDir tmp;
    copy_example(tmp.path());
    const fs::path out = run_example(tmp, GetParam());
    EXPECT_EQ(headers(out / "Summary.dat"), kHeaders);

    // The CPU-time table: 19 QE iterations, the first one with its time.
    const auto lines = read_lines(out / "Summary.dat");
    std::size_t i = 0;
    while (i < lines.size() && lines[i] != "CPU times (s)") ++i;
    ASSERT_LT(i + 19, lines.size());
    EXPECT_EQ(lines[i + 1].substr(0, 8), "       1");
    EXPECT_EQ(lines[i + 19], "      19     0.000");
    // The summary proper ends with the crossing table's last section
    // (2 NS - 1, NS = 12), then an empty line and the result block.
    const auto result = std::find(lines.begin(), lines.end(), kHeaders.back());
    ASSERT_NE(result, lines.end());
    ASSERT_GE(result - lines.begin(), 2);
    EXPECT_EQ(*(result - 2), "      23,        22");
    EXPECT_EQ(*(result - 1), "");
}

INSTANTIATE_TEST_SUITE_P(Demo, ShippedExamples, ::testing::Values("001", "002", "003"));

TEST(ReportOptions, FieldLineAndMagnetisationAddTheirSummaries) {
    TempDir tmp;
    const fs::path in = copy_example(tmp.path()) / "input";
    write_file(in / "inp_STEP11.txt", "1, 5, 0.0, 2.0, 0.0, 1.0, 0.0, 0.0, 0, 0, 0\n");
    write_file(in / "inp_STEP14.txt", "1, 1, 20, 0, 0\n");
    const fs::path out = run_example(tmp, "001");
    auto expected = kHeaders;
    expected.insert(expected.end() - 1, "===== Summary Field Line =====");
    expected.insert(expected.end() - 1, "===== Summary Magnetisation =====");
    EXPECT_EQ(headers(out / "Summary.dat"), expected);
    const std::string text = read_file(out / "Summary.dat");
    EXPECT_NE(text.find("Calculate the Field along a Line"), std::string::npos);
    EXPECT_NE(text.find("Magnetisation calculation performed"), std::string::npos);
}

TEST(ReportOptions, MaterialPropertiesOnRequest) {
    TempDir tmp;
    const fs::path in = copy_example(tmp.path()) / "input";
    const fs::path out = tmp.path() / "VORN_data" / "Demo" / "Demo-001" / "output";
    run_example(tmp, "001");
    EXPECT_FALSE(fs::exists(out / "Mat_prop.dat"));

    write_file(in / "inp_STEP15.txt",
               "0.001, 0.1, 10.0, 0.0, 0.01, 1.0, 100.0, 0.0, 1, 1, 0.0, 2, 1, 0\n");
    run_example(tmp, "001");
    const auto mat = headers(out / "Mat_prop.dat");
    const std::vector<std::string> blocks = {
        "========== OUTPUT VORN: MATERIAL PROPERTIES ==========",
        "===== Resistivities =====",
        "===== Resistivities and thermal conductivities at B=0, 3, and 6 T =====",
        "===== Heat capacities at B=8 T =====",
        "===== Critical currents at 1.9 and 4.3 K =====",
    };
    EXPECT_EQ(mat, blocks);
    // 20 bands; Rc also on the plane at the far end.
    for (const auto& [file, rows] : std::vector<std::pair<std::string, std::size_t>>{
             {"Ra.dat", 20}, {"Rc.dat", 21}, {"RRRs.dat", 20}, {"RRRp.dat", 20},
             {"ICRATs.dat", 20}, {"ICRATp.dat", 20}})
        EXPECT_EQ(read_lines(out / file).size(), 3 + rows) << file;
}

}  // namespace
}  // namespace vorn::test
