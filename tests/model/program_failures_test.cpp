// The program run end to end on broken inputs and hostile surroundings:
// each failure gives its one-line report, its exit status, and leaves the
// files as they should be.
#include <gtest/gtest.h>

#include <unistd.h>

#include "program_runner.h"

namespace fs = std::filesystem;

namespace {

const std::string well_formed_parameters =
    "title\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n";

class ProgramFailures : public ::testing::Test {
protected:
    void SetUp() override { directory = make_scratch_directory("failure"); }
    void TearDown() override { remove_scratch_directory(directory); }
    fs::path param() const { return directory / "DataInpTemp1d.txt"; }
    fs::path result() const { return directory / "temperat.txt"; }
    fs::path directory;
};

TEST_F(ProgramFailures, MissingParameterFileIsCreatedEmptyAndEndsAtEndOfFile) {
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 24);
    EXPECT_EQ(run.standard_error, failure_report_line(24, "end-of-file during read", 217, param()));
    EXPECT_EQ(run.standard_output, "");
    EXPECT_EQ(read_file(param()), std::string());
    EXPECT_FALSE(fs::exists(result()));
}

TEST_F(ProgramFailures, MalformedValuesAreReportedForTheParameterUnit) {
    struct Case {
        std::string file;
        int number;
        std::string message;
    };
    const Case cases[] = {
        {"t\n0\n0.05\nabc\n850\n20 20\n7800\n460\n45\n6 6\n", 59, "list-directed I/O syntax error"},
        {"t\n0\n0.05\n5.0x\n850\n20 20\n7800\n460\n45\n6 6\n", 59, "list-directed I/O syntax error"},
        {"t\n0\n0.05\n1.0E999\n850\n20 20\n7800\n460\n45\n6 6\n", 64, "input conversion error"},
        {"t\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6\n", 24, "end-of-file during read"},
        {"t\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n\n\n\n", 24, "end-of-file during read"},
    };
    for (const Case& c : cases) {
        write_file(param(), c.file);
        const ProgramRun run = run_program(directory);
        EXPECT_EQ(run.status, c.number) << c.file;
        EXPECT_EQ(run.standard_error, failure_report_line(c.number, c.message, 217, param())) << c.file;
        EXPECT_FALSE(fs::exists(result())) << "a run that fails while reading writes no result file";
        EXPECT_EQ(read_file(param()), c.file) << "the parameter file is left as it was";
    }
}

TEST_F(ProgramFailures, ReadOnlyResultFileFailsAtTheFirstWriteAndStaysUnchanged) {
    write_file(param(), well_formed_parameters);
    write_file(result(), "old results\r\n");
    fs::permissions(result(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ProgramRun run = run_program(directory, running_as_root());
    EXPECT_EQ(run.status, 47);
    EXPECT_EQ(run.standard_error, failure_report_line(47, "write to READONLY file", 314, result()));
    EXPECT_EQ(read_file(result()), "old results\r\n");
    EXPECT_EQ(read_file(param()), well_formed_parameters);
}

TEST_F(ProgramFailures, ReadOnlyParameterFileIsStillRead) {
    write_file(param(), well_formed_parameters);
    fs::permissions(param(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ProgramRun run = run_program(directory, running_as_root());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.standard_error, "");
    const auto produced = read_file(result());
    ASSERT_TRUE(produced.has_value());
    EXPECT_NE(produced->find(" dTmax="), std::string::npos);
}

TEST_F(ProgramFailures, DirectoryWhereNothingCanBeCreatedGivesAccessDenied) {
    fs::permissions(directory, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    ProgramRun run = run_program(directory, running_as_root());
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.standard_error, failure_report_line(9, "permission to access file denied", 217, param()));

    fs::permissions(directory, fs::perms::all);
    write_file(param(), well_formed_parameters);
    fs::permissions(directory, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    run = run_program(directory, running_as_root());
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.standard_error, failure_report_line(9, "permission to access file denied", 314, result()));
    EXPECT_FALSE(fs::exists(result()));
}

TEST_F(ProgramFailures, DirectoriesStandingInForTheFilesAreRefused) {
    fs::create_directory(param());
    ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.standard_error, failure_report_line(9, "permission to access file denied", 217, param()));

    fs::remove(param());
    write_file(param(), well_formed_parameters);
    fs::create_directory(result());
    run = run_program(directory);
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.standard_error, failure_report_line(9, "permission to access file denied", 314, result()));
    EXPECT_TRUE(fs::is_directory(result()));
}

TEST_F(ProgramFailures, FullPathLongerThan255CharactersIsAFileNameError) {
    fs::path deep = directory;
    while (deep.string().size() + 1 + std::string("DataInpTemp1d.txt").size() <= 255) {
        deep /= std::string(40, 'd');
    }
    fs::create_directories(deep);
    const ProgramRun run = run_program(deep);
    EXPECT_EQ(run.status, 43);
    EXPECT_EQ(run.standard_error, failure_report_line(43, "file name specification error", 217, deep / "DataInpTemp1d.txt"));
    EXPECT_FALSE(fs::exists(deep / "DataInpTemp1d.txt"));
}

TEST_F(ProgramFailures, TooManyOpenFilesIsAnOpenFailureWithoutSystemText) {
    if (!TEMP1D_STATIC_BINARY) GTEST_SKIP() << "a dynamically linked program cannot even load with 3 descriptors";
    write_file(param(), well_formed_parameters);
    const ProgramRun run = run_program(directory, false, "ulimit -n 3;");
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.standard_error, failure_report_line(30, "open failure", 217, param()));
}

TEST_F(ProgramFailures, FullDiskKeepsEveryRecordWrittenBeforeTheFailure) {
    // A long run for the complete file, then the same run with a file-size
    // limit of 8 KiB, which fails part-way through the records.
    write_file(param(), "t\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n60 60\n");
    ASSERT_EQ(run_program(directory).status, 0);
    const std::string complete = read_file(result()).value();
    ASSERT_GT(complete.size(), 16384u);
    fs::remove(result());

    // The limit is met with the signal at its default action: the program
    // itself must not be killed by it.
    const ProgramRun run = run_program(directory, false, "ulimit -f 16;");
    EXPECT_EQ(run.status, 38);
    const std::string report_line = failure_report_line(38, "error during write", 314, result());
    ASSERT_GE(run.standard_error.size(), report_line.size());
    EXPECT_EQ(run.standard_error.substr(run.standard_error.size() - report_line.size()), report_line);
    EXPECT_EQ(run.standard_error.rfind("textio: ", 0), 0u) << "the system's text comes first";
    EXPECT_EQ(std::count(run.standard_error.begin(), run.standard_error.end(), '\n'), 2);

    // The file ends with the last record that fitted whole: the 8192 bytes
    // the limit allowed, less the start of the record that did not fit.
    const std::string partial = read_file(result()).value();
    EXPECT_LE(partial.size(), 8192u);
    EXPECT_GT(partial.size(), 8192u - 55u);
    EXPECT_EQ(partial.substr(partial.size() - 2), "\r\n");
    EXPECT_EQ(partial, complete.substr(0, partial.size())) << "what reached the disk is the start of the full result";
}

TEST_F(ProgramFailures, LongerOldResultFileIsCutToTheNewRun) {
    write_file(param(), "t\n0\n1\n1\n0\n0 0\n1\n1\n1\n-1 0\n");
    write_file(result(), std::string(10000, 'x'));
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 3);  // the run takes no step
    EXPECT_EQ(run.standard_error.rfind("temp1d: no time step taken: step count ", 0), 0u);
    EXPECT_EQ(read_file(result()), crlf(" Time,s              tc               tpov\n"
                                        "******************************************\n"
                                        " *****************************************************\n"
                                        " dTmax=        0.00\n"));
}

}  // namespace
