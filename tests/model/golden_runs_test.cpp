// Whole runs of the program compared byte for byte with result files that
// were computed independently of this code base.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/file_contents.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> golden_case_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(TEMP1D_SOURCE_DIR) / "tests/data/golden")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenRun : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, ReproducesTheKeptResultFileOutputAndStatus) {
    const fs::path source = fs::path(TEMP1D_SOURCE_DIR) / "tests/data/golden" / GetParam();
    const fs::path directory = make_scratch_directory("golden");
    fs::copy_file(source / "DataInpTemp1d.txt", directory / "DataInpTemp1d.txt");
    if (fs::exists(source / "temperat.before.txt")) {
        fs::copy_file(source / "temperat.before.txt", directory / "temperat.txt");
    }

    const ProgramRun run = run_program(directory);

    EXPECT_EQ(run.status, std::stoi(read_file(source / "expected.status").value_or("-1")));
    EXPECT_EQ(run.standard_output, read_file(source / "expected.stdout").value_or("?"));
    // Standard error is empty unless the case keeps what it must say.
    EXPECT_EQ(run.standard_error, read_file(source / "expected.stderr").value_or(""));
    const auto expected = read_file(source / "expected.temperat.txt");
    const auto produced = read_file(directory / "temperat.txt");
    ASSERT_TRUE(expected.has_value());
    ASSERT_TRUE(produced.has_value());
    EXPECT_TRUE(*produced == *expected) << "temperat.txt differs from the kept result";
    // The parameter file is read, never changed.
    EXPECT_EQ(read_file(directory / "DataInpTemp1d.txt"), read_file(source / "DataInpTemp1d.txt"));
    remove_scratch_directory(directory);
}

INSTANTIATE_TEST_SUITE_P(KeptResults, GoldenRun, ::testing::ValuesIn(golden_case_names()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

}  // namespace
