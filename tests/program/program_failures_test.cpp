// The program run end to end on broken inputs and hostile surroundings:
// each failure gives its one-line report, its exit status, and leaves the
// files as they should be.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <regex>

#include "support/crlf_records.h"
#include "support/file_contents.h"
#include "support/parameter_texts.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

class ProgramFailures : public ScratchFolder {};

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
    write_file(param(), plain_parameters);
    write_file(result(), "old results\r\n");
    fs::permissions(result(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const ProgramRun run = run_program(directory, running_as_root());
    EXPECT_EQ(run.status, 47);
    EXPECT_EQ(run.standard_error, failure_report_line(47, "write to READONLY file", 314, result()));
    EXPECT_EQ(read_file(result()), "old results\r\n");
    EXPECT_EQ(read_file(param()), plain_parameters);
}

TEST_F(ProgramFailures, ReadOnlyParameterFileIsStillRead) {
    write_file(param(), plain_parameters);
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
    write_file(param(), plain_parameters);
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
    write_file(param(), plain_parameters);
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
    EXPECT_EQ(run.standard_error,
              failure_report_line(43, "file name specification error", 217, deep / "DataInpTemp1d.txt"));
    EXPECT_FALSE(fs::exists(deep / "DataInpTemp1d.txt"));
}

TEST_F(ProgramFailures, TooManyOpenFilesIsAnOpenFailureWithoutSystemText) {
    if (!TEMP1D_STATIC_BINARY) GTEST_SKIP() << "a dynamically linked program cannot even load with 3 descriptors";
    write_file(param(), plain_parameters);
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

TEST_F(ProgramFailures, RunsThatCannotTakeAStepKeepTheirResultAndSayWhyWithStatusThree) {
    const std::string empty_result = crlf(" Time,s              tc               tpov\n"
                                          "******************************************\n"
                                          " *****************************************************\n"
                                          " dTmax=        0.00\n");
    const std::regex report("temp1d: no time step taken: step count (-?[0-9]+) \\(total time ([^ ]+) s, "
                            "reference step ([^ ]+) s\\)\r\n");
    const struct {
        const char* what;
        const char* parameters;
        const char* step_count;
        const char* total_time;
        const char* reference_step;
    } cases[] = {
        {"equal radii", "t\n0.05\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n", "-2147483648", "12", "0"},
        {"zero density", "t\n0\n0.05\n5000\n850\n20 20\n0\n460\n45\n6 6\n", "-2147483648", "12", "0"},
        {"negative durations", "t\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n-6 -6\n", "-74", "-12", nullptr},
        // -0.1 / 0.1594... + 1 = 0.37: a count of exactly 0, no negative one.
        {"a step count of exactly 0", "t\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n-0.05 -0.05\n", "0", "-0.1",
         nullptr},
        {"NaN from 0/0", "t\n0\n0.05\n5000\n850\n20 20\n0\n460\n0\n6 6\n", "-2147483648", "12", "nan"},
        {"a run too long for its step", "t\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n1e15 6\n", "-2147483648",
         "1000000000000006", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(param(), c.parameters);
        write_file(result(), "a stale result that is longer than the new one\r\n");
        const ProgramRun run = run_program(directory);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.standard_output, "");
        std::smatch match;
        ASSERT_TRUE(std::regex_match(run.standard_error, match, report)) << run.standard_error;
        EXPECT_EQ(match[1].str(), c.step_count);
        EXPECT_EQ(match[2].str(), c.total_time);
        if (c.reference_step != nullptr) {
            EXPECT_EQ(match[3].str(), c.reference_step);
        }
        EXPECT_EQ(read_file(result()), empty_result);
    }
}

TEST_F(ProgramFailures, SocketNamedLikeTheParameterFileIsNoSuchDevice) {
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(param().string().size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, param().c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);

    const ProgramRun run = run_program(directory);
    ::close(listener);
    EXPECT_EQ(run.status, 42);
    EXPECT_EQ(run.standard_error, failure_report_line(42, "no such device", 217, param()));
    EXPECT_TRUE(fs::is_socket(param()));
    EXPECT_FALSE(fs::exists(result()));
}

TEST_F(ProgramFailures, FolderUnderAParentTheUserCannotSearchIsStillUsable) {
    if (!running_as_root()) GTEST_SKIP() << "needs root to run the program as another user";
    // The parent belongs to root with mode 700; the folder itself is open to
    // everyone.  The files are reached relative to the working directory,
    // not through the path from the root.
    const fs::path parent = directory / "private";
    const fs::path folder = parent / "shared";
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::all);
    write_file(folder / "DataInpTemp1d.txt", plain_parameters);
    fs::permissions(folder / "DataInpTemp1d.txt", fs::perms::all);
    fs::permissions(parent, fs::perms::owner_all);

    const ProgramRun run = run_program(folder, true);
    EXPECT_EQ(run.status, 0) << run.standard_error;
    EXPECT_EQ(run.standard_error, "");
    const auto produced = read_file(folder / "temperat.txt");
    ASSERT_TRUE(produced.has_value());
    EXPECT_NE(produced->find(" dTmax="), std::string::npos);
}

}  // namespace

namespace {

class ProgramOutputs : public ScratchFolder {};

TEST_F(ProgramOutputs, HelpVersionAndCheckThatCannotBeWrittenEndWithThirtyEight) {
    // A full device, a standard output the program was started without, and
    // a pipe whose reader has gone: each gives one line on standard error and
    // status 38, never status 0 with a lost report.
    write_file(param(), plain_parameters);
    const struct {
        const char* name;
        const char* setup;
        const char* reason;
    } outputs[] = {
        {"a full device", "exec >/dev/full;", "No space left on device"},
        {"a closed standard output", "exec >&-;", "Bad file descriptor"},
        {"a broken pipe", "mkfifo pipe && exec 3<>pipe && exec >pipe && exec 3<&- && rm pipe;", "Broken pipe"},
    };
    for (const auto& output : outputs) {
        for (const char* arguments : {"--help", "--version", "--check", "--check --json"}) {
            SCOPED_TRACE(std::string(arguments) + " into " + output.name);
            const ProgramRun run = run_binary(TEMP1D_BINARY, directory, arguments, false, output.setup);
            EXPECT_EQ(run.status, 38);
            EXPECT_EQ(run.standard_error,
                      std::string("temp1d: standard output could not be written: ") + output.reason + "\r\n");
        }
    }
    EXPECT_EQ(read_file(param()), plain_parameters);
    EXPECT_FALSE(fs::exists(result()));
}

TEST_F(ProgramFailures, ResultFileThatIsTheParameterFileIsRefusedAndBothStay) {
    for (const bool symbolic : {true, false}) {
        SCOPED_TRACE(symbolic ? "symbolic link" : "hard link");
        fs::remove(result());
        write_file(param(), plain_parameters);
        if (symbolic) {
            fs::create_symlink("DataInpTemp1d.txt", result());
        } else {
            fs::create_hard_link(param(), result());
        }
        const ProgramRun run = run_program(directory);
        EXPECT_EQ(run.status, 6);
        EXPECT_EQ(run.standard_error,
                  "temp1d: " + result().string() +
                      " is the parameter file DataInpTemp1d.txt (a link); neither file was changed\r\n");
        EXPECT_EQ(read_file(param()), plain_parameters);
    }
    // A result file that only looks alike is still reused in place.
    fs::remove(result());
    write_file(result(), plain_parameters);
    EXPECT_EQ(run_program(directory).status, 0);
    EXPECT_EQ(read_file(param()), plain_parameters);
    EXPECT_NE(read_file(result()), plain_parameters);
}

}  // namespace

namespace {

class TableRuns : public ScratchFolder {};

TEST_F(TableRuns, BadTablesAreOneLineWithStatusSevenAndTouchNoFile) {
    write_file(param(), plain_parameters);
    write_file(result(), "old results\r\n");
    const struct {
        const char* table;  // nullptr: the file is missing
        const char* report;
    } cases[] = {
        {"20,6000\n", "h.csv: fewer than two rows"},
        {"T,h\n20,6000\n10,350\n", "h.csv: line 3: the temperatures do not increase"},
        {"20,6000\n500,abc\n", "h.csv: line 2: the value is not a number"},
        {"20,6000\n500,0\n", "h.csv: line 2: the value is not positive"},
        {"20,6000\n500,-1\n", "h.csv: line 2: the value is not positive"},
        {nullptr, "h.csv: No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        fs::remove(directory / "h.csv");
        if (c.table != nullptr) write_file(directory / "h.csv", c.table);
        for (const char* option : {"--coefficient-table", "--conductivity-table", "--specific-heat-table"}) {
            const ProgramRun run = run_program_with(directory, std::string(option) + " h.csv");
            EXPECT_EQ(run.status, 7) << option;
            EXPECT_EQ(run.standard_error, std::string("temp1d: ") + c.report + "\r\n") << option;
            EXPECT_EQ(read_file(result()), "old results\r\n");
            EXPECT_EQ(read_file(param()), plain_parameters);
        }
    }
}

TEST_F(TableRuns, TablesChangeTheRunButNotTheLayoutAndConstantTablesMatchTheFile) {
    // The shipped steel quench: 5000 on line 4 is an effective 10000.
    fs::copy_file(fs::path(TEMP1D_SOURCE_DIR) / "examples/steel-bar-water-quench/DataInpTemp1d.txt", param());
    ASSERT_EQ(run_program(directory).status, 0);
    const std::string compatible = read_file(result()).value();

    // Tables that hold the file's own values give the same records.
    write_file(directory / "h.csv", "temperature,h\n0,10000\n1000,10000\n");
    const ProgramRun same = run_program_with(directory, "--coefficient-table h.csv");
    EXPECT_EQ(same.status, 0) << same.standard_error;
    EXPECT_EQ(read_file(result()), compatible);

    // A boiling curve gives another run in the same layout: as many lines,
    // each as long, the same heading and closing rule.
    write_file(directory / "h.csv", "20,6000\n490,6000\n510,350\n900,350\n");
    write_file(directory / "k.csv", "20,45\n900,25\n");
    const ProgramRun boiling = run_program_with(directory, "--coefficient-table h.csv --conductivity-table=k.csv");
    EXPECT_EQ(boiling.status, 0) << boiling.standard_error;
    const std::string tabled = read_file(result()).value();
    EXPECT_NE(tabled, compatible);
    EXPECT_EQ(tabled.size(), compatible.size());
    EXPECT_EQ(tabled.substr(0, 88), compatible.substr(0, 88));
    EXPECT_EQ(std::count(tabled.begin(), tabled.end(), '\n'), std::count(compatible.begin(), compatible.end(), '\n'));

    // A CSV profile never replaces a table: an input like the parameter file.
    for (const char* target : {"h.csv", "./h.csv"}) {
        const ProgramRun refused =
            run_program_with(directory, std::string("--coefficient-table h.csv --csv ") + target);
        EXPECT_EQ(refused.status, 2) << target;
        EXPECT_NE(refused.standard_error.find("that is the table h.csv"), std::string::npos) << refused.standard_error;
        EXPECT_EQ(read_file(directory / "h.csv"), "20,6000\n490,6000\n510,350\n900,350\n");
        EXPECT_EQ(read_file(result()), tabled);
    }
}

}  // namespace
