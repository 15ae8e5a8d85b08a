// Faults injected around the program: files it may not read, devices and
// links where its files should be, a library stop in the middle of a run,
// and parameter files that hold binary junk.  Each run must end with its
// report and status and leave the files in a sound state.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/file_contents.h"
#include "support/measured_run.h"
#include "support/parameter_texts.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "program/outcomes.h"
#include "textio/failure_report.h"

namespace fs = std::filesystem;

// The exit status of a stop of the numerical library.
constexpr int library_stop = static_cast<int>(program::status_library_stop);

namespace {

// Conductivity 0 and a vanishing heat capacity leave every conduction and
// capacity term 0 (the products underflow): the first column of the system
// is all zero and the first pivot is exactly zero.
const std::string singular_parameters = "t\n0\n1e-150\n100\n20\n20 20\n1e-60\n1e-60\n0\n100 100\n";

const std::string result_header = " Time,s              tc               tpov\r\n"
                                  "******************************************\r\n";

class HostileSurroundings : public ScratchFolder {};

TEST_F(HostileSurroundings, ZeroPivotStopsWithTheLibraryReportAndKeepsTheClosedResultFile) {
    write_file(param(), singular_parameters);
    write_file(result(), std::string(5000, 'x'));  // an older, longer result
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, library_stop);
    EXPECT_EQ(run.standard_error, "");
    EXPECT_EQ(run.standard_output, "\r\n"
                                   " *** FATAL    ERROR 2 from DLSLTR.  Element 1 of the diagonal became exactly\r\n"
                                   " ***          zero during execution.\r\n");
    // The matrix is the same in every step, so a singular system stops the
    // run in its first step: the file holds the header, cut where it ends,
    // and no closing lines.
    EXPECT_EQ(read_file(result()), result_header);
    EXPECT_EQ(read_file(param()), singular_parameters);
}

TEST_F(HostileSurroundings, ZeroPivotReportOnABrokenPipeStillClosesTheResultFile) {
    // The report cannot be delivered; the run must still close its result
    // file with what it holds, not be killed by the broken pipe with the
    // header still in its buffer.  The failed write is reported like any
    // other, and its status replaces the library's.
    write_file(param(), singular_parameters);
    const MeasuredRun run = run_measured(directory, true);
    EXPECT_EQ(run.status, 38);
    EXPECT_EQ(run.standard_error,
              "textio: Broken pipe\r\n" + failure_report_line(38, "error during write", 6, "stdout"));
    EXPECT_EQ(read_file(result()), result_header);
}

TEST_F(HostileSurroundings, FullDiskWhileTheLibraryStopsIsReported) {
    // The library's stop writes out the buffered header; that write fails.
    write_file(param(), singular_parameters);
    fs::create_symlink("/dev/full", result());
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 38);
    EXPECT_EQ(run.standard_error,
              "textio: No space left on device\r\n" + failure_report_line(38, "error during write", 314, result()));
    EXPECT_NE(run.standard_output.find("FATAL    ERROR 2 from DLSLTR"), std::string::npos);
}

TEST_F(HostileSurroundings, ResultFileLinkedToAFullDeviceFailsTheWriteWithTheSystemText) {
    write_file(param(), plain_parameters);
    fs::create_symlink("/dev/full", result());
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 38);
    EXPECT_EQ(run.standard_error,
              "textio: No space left on device\r\n" + failure_report_line(38, "error during write", 314, result()));
    EXPECT_EQ(run.standard_output, "");
    EXPECT_TRUE(fs::is_symlink(result()));
}

TEST_F(HostileSurroundings, FilesWithoutAnyPermissionAreRefusedAndLeftAlone) {
    if (!running_as_root()) GTEST_SKIP() << "needs root to run the program as another user";
    // Parameter file: neither the read-write open nor the read-only retry
    // is allowed.
    write_file(param(), plain_parameters);
    fs::permissions(param(), fs::perms::none);
    ProgramRun run = run_program(directory, true);
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.standard_error, failure_report_line(9, "permission to access file denied", 217, param()));
    EXPECT_FALSE(fs::exists(result()));

    // Result file: unlike a read-only one (which opens and fails at the first
    // write), one without any permission cannot be opened at all.
    fs::permissions(param(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    write_file(result(), "old results\r\n");
    fs::permissions(result(), fs::perms::none);
    run = run_program(directory, true);
    EXPECT_EQ(run.status, 9);
    EXPECT_EQ(run.standard_error, failure_report_line(9, "permission to access file denied", 314, result()));
    fs::permissions(result(), fs::perms::owner_read);
    EXPECT_EQ(read_file(result()), "old results\r\n");
    EXPECT_EQ(read_file(param()), plain_parameters);
}

TEST_F(HostileSurroundings, LinksInPlaceOfTheFilesAreClassifiedByTheSystemsReason) {
    // A link into a directory that does not exist: nothing can be created.
    fs::create_symlink(directory / "missing" / "parameters", param());
    ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 29);
    EXPECT_EQ(run.standard_error, failure_report_line(29, "file not found", 217, param()));
    EXPECT_FALSE(fs::exists(directory / "missing"));
    fs::remove(param());

    // A link to itself: a reason without a number of its own, shown with the
    // system's text.
    fs::create_symlink("DataInpTemp1d.txt", param());
    run = run_program(directory);
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.standard_error,
              "textio: Too many levels of symbolic links\r\n" + failure_report_line(30, "open failure", 217, param()));
    fs::remove(param());

    // The same for the result file, after the parameters have been read.
    write_file(param(), plain_parameters);
    fs::create_symlink("temperat.txt", result());
    run = run_program(directory);
    EXPECT_EQ(run.status, 30);
    EXPECT_EQ(run.standard_error,
              "textio: Too many levels of symbolic links\r\n" + failure_report_line(30, "open failure", 314, result()));

    // A link to the empty device reads as an empty file.
    fs::remove(result());
    fs::remove(param());
    fs::create_symlink("/dev/null", param());
    run = run_program(directory);
    EXPECT_EQ(run.status, 24);
    EXPECT_EQ(run.standard_error, failure_report_line(24, "end-of-file during read", 217, param()));
    EXPECT_FALSE(fs::exists(result()));
}

TEST_F(HostileSurroundings, RemovedWorkingDirectoryIsNotReplacedByTheRootDirectory) {
    // A removed working directory has no path.  The files must still be
    // looked for there (and not be found), never in the root directory.
    const fs::path stray = fs::path("/") / "DataInpTemp1d.txt";
    if (fs::exists(stray)) GTEST_SKIP() << stray << " exists already";
    const ProgramRun run = run_program(directory, false, "rmdir \"$PWD\" &&");
    const bool created_in_root = fs::exists(stray);
    if (created_in_root) fs::remove(stray);
    EXPECT_FALSE(created_in_root);
    EXPECT_EQ(run.status, 29);
    EXPECT_EQ(run.standard_error, "textio: severe (29): file not found, unit 217, file DataInpTemp1d.txt\r\n");
}

TEST_F(HostileSurroundings, ParameterFileThatCannotBeReadGivesTheReadErrorWithTheSystemText) {
    // The program's own memory at address 0: opening works, reading fails
    // with an input/output error.
    fs::create_symlink("/proc/self/mem", param());
    const ProgramRun run = run_program(directory);
    EXPECT_EQ(run.status, 39);
    EXPECT_EQ(run.standard_error,
              "textio: Input/output error\r\n" + failure_report_line(39, "error during read", 217, param()));
    EXPECT_FALSE(fs::exists(result()));
}

TEST_F(HostileSurroundings, ReportsForAClosedStandardStreamNeverLandInTheFiles) {
    // Started without standard error, the parameter file would take its
    // descriptor, and the failure report would be appended to it.
    const std::string malformed = "t\n0\n0.05\nabc\n850\n20 20\n7800\n460\n45\n6 6\n";
    write_file(param(), malformed);
    ProgramRun run = run_program(directory, false, "exec 2>&-;");
    EXPECT_EQ(run.status, 59);
    EXPECT_EQ(read_file(param()), malformed);

    // Started without standard output, the result file would take its
    // descriptor, and the library's report would be written into it.
    write_file(param(), singular_parameters);
    run = run_program(directory, false, "exec >&-;");
    EXPECT_EQ(run.status, library_stop);
    EXPECT_EQ(run.standard_output, "");
    EXPECT_EQ(read_file(result()), result_header);

    // Without any standard stream a normal run is unchanged.
    write_file(param(), plain_parameters);
    run = run_program(directory, false, "exec <&- >&- 2>&-;");
    EXPECT_EQ(run.status, 0);
    const auto produced = read_file(result());
    ASSERT_TRUE(produced.has_value());
    EXPECT_EQ(produced->rfind(result_header, 0), 0u);
    EXPECT_NE(produced->find(" dTmax="), std::string::npos);
}

// Runs the program in `directory` inside a mount namespace whose /dev is an
// empty file system, with `redirections` applied to the program (for example
// "2>&-").  Returns the exit status, or -1 when no such namespace can be made
// here.
int run_under_empty_dev(const fs::path& directory, const std::string& redirections) {
    const std::string command = "cd '" + directory.string() +
                                "' && unshare -m sh -c 'mount -t tmpfs none /dev 2>/dev/null || exit 200; "
                                "test ! -e /dev/null || exit 201; exec \"$0\" " +
                                redirections + "' '" + TEMP1D_BINARY + "' >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    if (!WIFEXITED(raw)) return 128 + WTERMSIG(raw);
    const int status = WEXITSTATUS(raw);
    return status == 200 || status == 201 ? -1 : status;
}

TEST_F(HostileSurroundings, WithoutANullDeviceNoReportLandsInTheFiles) {
    if (!running_as_root()) GTEST_SKIP() << "needs root for a mount namespace";
    // Standard error closed: the parameter file must not take descriptor 2.
    const std::string malformed = "t\n0\n0.05\nabc\n850\n20 20\n7800\n460\n45\n6 6\n";
    write_file(param(), malformed);
    const int status = run_under_empty_dev(directory, "2>&-");
    if (status == -1) GTEST_SKIP() << "no mount namespace with an empty /dev here";
    EXPECT_EQ(status, 59);
    EXPECT_EQ(read_file(param()), malformed);
    EXPECT_FALSE(fs::exists(result()));

    // Standard output closed: the library's report must not land in the
    // result file; its failed write is reported instead.
    write_file(param(), singular_parameters);
    EXPECT_EQ(run_under_empty_dev(directory, ">&-"), 38);
    EXPECT_EQ(read_file(result()), result_header);

    // No standard stream at all: a normal run is unchanged.
    write_file(param(), plain_parameters);
    EXPECT_EQ(run_under_empty_dev(directory, "<&- >&- 2>&-"), 0);
    const auto produced = read_file(result());
    ASSERT_TRUE(produced.has_value());
    EXPECT_EQ(produced->rfind(result_header, 0), 0u);
    EXPECT_NE(produced->find(" dTmax="), std::string::npos);
    EXPECT_EQ(read_file(param()), plain_parameters);
}

TEST_F(HostileSurroundings, ParameterFileFedThroughANamedPipe) {
    ASSERT_EQ(::mkfifo(param().c_str(), 0666), 0);
    const fs::path feed = directory / "feed";
    write_file(feed, plain_parameters);
    // The writer opens the pipe once the program has it open, writes the
    // whole file and closes it; the program needs nothing beyond it.
    const ProgramRun run = run_program(directory, false, "cat feed > DataInpTemp1d.txt &");
    EXPECT_EQ(run.status, 0) << run.standard_error;
    const auto produced = read_file(result());
    ASSERT_TRUE(produced.has_value());
    EXPECT_NE(produced->find(" dTmax="), std::string::npos);
}

TEST_F(HostileSurroundings, BinaryJunkIsASyntaxErrorWhereAValueIsNeededAndIgnoredElsewhere) {
    using namespace std::string_literals;
    struct Case {
        std::string label;
        std::string file;
        int status;
    };
    const std::string rest = "\n850\n20 20\n7800\n460\n45\n6 6\n";
    const Case cases[] = {
        {"NUL bytes on a value line", "t\n0\n0.05\n\0\0\0\0"s + rest, 59},
        {"NUL right after a number", "t\n0\n0.05\n5000\0"s + rest, 59},
        {"high bytes on a value line", "t\n0\n0.05\n\xff\xfe\x80\x01"s + rest, 59},
        {"control characters", "t\n0\n0.05\n\x1b[31m5000"s + rest, 59},
        {"UTF-16 text", "\xff\xfet\0\n\0"s + "0\0\n\0"s + "0.05" + rest, 59},
        {"carriage returns alone end no line", "t\r0\r0.05\r5000\r850\r20 20\r7800\r460\r45\r6 6\r", 24},
        {"junk after the needed value", "t\n0\n0.05\n5000 \0\xff\x01junk"s + rest, 0},
        {"junk in the title line", "\0\xff\xfe\x1b\r\x01title\n0\n0.05\n5000"s + rest, 0},
        {"a byte order mark before the title", "\xef\xbb\xbftitle\n0\n0.05\n5000"s + rest, 0},
    };
    for (const Case& c : cases) {
        write_file(param(), c.file);
        std::error_code ignored;
        fs::remove(result(), ignored);
        const ProgramRun run = run_program(directory);
        EXPECT_EQ(run.status, c.status) << c.label;
        if (c.status == 59) {
            EXPECT_EQ(run.standard_error, failure_report_line(59, "list-directed I/O syntax error", 217, param()))
                << c.label;
        } else if (c.status == 24) {
            EXPECT_EQ(run.standard_error, failure_report_line(24, "end-of-file during read", 217, param())) << c.label;
        } else {
            EXPECT_EQ(run.standard_error, "") << c.label;
            const auto produced = read_file(result());
            ASSERT_TRUE(produced.has_value()) << c.label;
            EXPECT_NE(produced->find(" dTmax="), std::string::npos) << c.label;
        }
        EXPECT_EQ(fs::exists(result()), c.status == 0) << c.label;
        EXPECT_EQ(read_file(param()), c.file) << c.label << ": the parameter file is never changed";
    }
}

}  // namespace
