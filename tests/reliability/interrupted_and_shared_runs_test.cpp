// Runs that end early or meet another run: interruption by SIGINT, SIGTERM
// and SIGHUP at random moments of a long run, and two runs in one folder.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "support/file_contents.h"
#include "support/parameter_texts.h"
#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "program/outcomes.h"
#include "textio/failure_report.h"

namespace fs = std::filesystem;

namespace {

const fs::path long_run = fs::path(TEMP1D_SOURCE_DIR) / "bench/data/wire-2m-steps";

const std::string result_header = " Time,s              tc               tpov\r\n"
                                  "******************************************\r\n";
constexpr std::size_t record_size = 55;  // 53 characters and CR LF

// Starts temp1d (with `option`, when given) in `directory` with standard output discarded and standard
// error going to `error_file`, every signal at its default action.
pid_t start_program(const fs::path& directory, const fs::path& error_file, const char* option = nullptr) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(s, SIG_DFL);
    if (::chdir(directory.c_str()) != 0) ::_exit(120);
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = ::open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) ::_exit(121);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::execl(TEMP1D_BINARY, TEMP1D_BINARY, option, static_cast<char*>(nullptr));
    ::_exit(122);
}

// The complete result of the long run, made by a run alone in `directory`
// and checked against the sha256 kept beside the run's parameter file.
fs::path complete_long_run(const fs::path& directory) {
    fs::create_directories(directory);
    fs::copy_file(long_run / "DataInpTemp1d.txt", directory / "DataInpTemp1d.txt");
    EXPECT_EQ(run_program(directory).status, 0);
    const fs::path result = directory / "temperat.txt";
    const std::string check = "cd '" + directory.string() + "' && printf '%s  temperat.txt\\n' \"$(cut -d' ' -f1 '" +
                              (long_run / "expected.sha256").string() + "')\" | sha256sum --check --status";
    EXPECT_EQ(std::system(check.c_str()), 0) << "the long run's result differs from its kept sha256";
    return result;
}

// The first `size` bytes of `path`.
std::string file_start(const fs::path& path, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Waits until `result` holds at least `size` bytes while the process `pid`
// still runs; false when the process ended first or after a minute.
bool wait_for_result_size(pid_t pid, const fs::path& result, std::uintmax_t size) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < give_up) {
        std::error_code ignored;
        const std::uintmax_t now = fs::file_size(result, ignored);
        if (!ignored && now >= size && now != 13) return true;  // 13: "old results" still there
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

// Waits until the process `pid` holds `file` open.
bool wait_until_open(pid_t pid, const fs::path& file) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < give_up) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
            if (fs::read_symlink(entry.path(), ignored) == file) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Waits for the process `pid` to end, for at most `seconds`; a process that
// is still running then is killed, and the wait reports that (-1).
int wait_or_kill(pid_t pid, int seconds) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < give_up) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

class InterruptedRuns : public ScratchFolder {};

TEST_F(InterruptedRuns, EachSignalLeavesWholeRecordsUpToAStepAndEndsTheProcessByThatSignal) {
    const fs::path kept = complete_long_run(directory / "alone");
    const fs::path result = directory / "temperat.txt";
    const fs::path errors = directory.parent_path() / (directory.filename().string() + ".stderr");
    fs::copy_file(long_run / "DataInpTemp1d.txt", directory / "DataInpTemp1d.txt");
    // The complete result: header, one record per step, 56 + 21 bytes of closing lines.
    const std::size_t kept_steps = (fs::file_size(kept) - result_header.size() - 77) / record_size;
    const std::regex report("temp1d: run interrupted by (SIG[A-Z]+) after step ([0-9]+) of ([0-9]+)\r\n");

    std::mt19937 generator{std::random_device{}()};
    // The moment is chosen by what the run has written, not by the clock: a
    // random share of the complete result, up to half of it.  The run is
    // stopped (SIGSTOP) when its file has reached that size, the signal is
    // sent, and the run continues: however busy the machine, the signal
    // comes before the run could have ended.
    std::uniform_int_distribution<std::uintmax_t> moment_bytes(result_header.size() + 1, fs::file_size(kept) / 2);
    const struct {
        int number;
        const char* name;
    } signals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

    for (const auto& s : signals) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::uintmax_t moment = moment_bytes(generator);
            SCOPED_TRACE(std::string(s.name) + " after " + std::to_string(moment) + " bytes");
            write_file(result, "old results\r\n");
            const pid_t pid = start_program(directory, errors);
            ASSERT_GT(pid, 0);
            ASSERT_TRUE(wait_for_result_size(pid, result, moment)) << "the run ended before its file reached the size";
            ::kill(pid, SIGSTOP);
            ::kill(pid, s.number);
            ::kill(pid, SIGCONT);
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);

            ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
            EXPECT_EQ(WTERMSIG(status), s.number);

            const std::string error_text = read_file(errors).value_or("");
            std::smatch match;
            ASSERT_TRUE(std::regex_match(error_text, match, report)) << error_text;
            EXPECT_EQ(match[1].str(), s.name);
            const std::size_t steps = std::stoul(match[2].str());
            EXPECT_EQ(std::stoul(match[3].str()), kept_steps);

            // The header and exactly the records of the finished steps, each
            // the same as in the complete result; no closing lines.
            const auto produced = read_file(result);
            ASSERT_TRUE(produced.has_value());
            ASSERT_EQ(produced->size(), result_header.size() + steps * record_size);
            EXPECT_TRUE(*produced == file_start(kept, produced->size()))
                << "the records differ from the complete run's";
            EXPECT_EQ(produced->find(" dTmax="), std::string::npos);
        }
    }
    fs::remove(errors);
}

TEST_F(InterruptedRuns, InterruptionWhileTheParametersAreReadLeavesTheOldResultAlone) {
    // The parameter file is a named pipe that nobody writes, so the run
    // waits in its first read; the signal arrives while it waits, and the
    // read returns to look at it.
    const fs::path feed = directory / "DataInpTemp1d.txt";
    const fs::path result = directory / "temperat.txt";
    const fs::path errors = directory.parent_path() / (directory.filename().string() + ".stderr");
    ASSERT_EQ(::mkfifo(feed.c_str(), 0666), 0);
    write_file(result, "old results\r\n");
    const pid_t pid = start_program(directory, errors);
    ASSERT_GT(pid, 0);

    // The handlers are installed before the parameter file is opened; wait
    // until the program holds the pipe open.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool opened = false;
    while (!opened && std::chrono::steady_clock::now() < give_up) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
            if (fs::read_symlink(entry.path(), ignored) == feed) opened = true;
        }
        if (!opened) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(opened);
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    const std::string error_text = read_file(errors).value_or("");
    fs::remove(errors);
    EXPECT_TRUE(std::regex_match(error_text,
                                 std::regex("temp1d: run interrupted by SIGTERM while reading the parameter file\r\n")))
        << error_text;
    EXPECT_EQ(read_file(result), "old results\r\n");
}

TEST_F(InterruptedRuns, ReadsThatNeverEndOrWaitForeverEndByTheSignal) {
    // A parameter file that never ends and never blocks (/dev/zero), and a
    // named pipe that nobody writes, for a run and for a check: each ends
    // by the signal with one report line, and the old result stays.
    const fs::path parameters = directory / "DataInpTemp1d.txt";
    const fs::path result = directory / "temperat.txt";
    const fs::path errors = directory.parent_path() / (directory.filename().string() + ".stderr");
    for (const bool endless : {true, false}) {
        for (const char* option : {static_cast<const char*>(nullptr), "--check"}) {
            SCOPED_TRACE(std::string(endless ? "/dev/zero" : "a pipe nobody writes") + (option ? " --check" : ""));
            fs::remove(parameters);
            if (endless) {
                fs::create_symlink("/dev/zero", parameters);
            } else {
                ASSERT_EQ(::mkfifo(parameters.c_str(), 0666), 0);
            }
            write_file(result, "old results\r\n");
            const pid_t pid = start_program(directory, errors, option);
            ASSERT_GT(pid, 0);
            ASSERT_TRUE(wait_until_open(pid, endless ? fs::path("/dev/zero") : parameters));
            ::kill(pid, SIGINT);
            const int status = wait_or_kill(pid, 60);
            ASSERT_NE(status, -1) << "the program did not end after SIGINT";
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), SIGINT);
            EXPECT_EQ(read_file(errors),
                      option ? "temp1d: check interrupted by SIGINT\r\n"
                             : "temp1d: run interrupted by SIGINT while reading the parameter file\r\n");
            EXPECT_EQ(read_file(result), "old results\r\n");
        }
    }
    fs::remove(errors);
}

TEST_F(InterruptedRuns, TableThatNobodyWritesEndsByTheSignal) {
    write_file(directory / "DataInpTemp1d.txt", plain_parameters);
    write_file(directory / "temperat.txt", "old results\r\n");
    const fs::path table = directory / "h.csv";
    const fs::path errors = directory.parent_path() / (directory.filename().string() + ".stderr");
    ASSERT_EQ(::mkfifo(table.c_str(), 0666), 0);
    const pid_t pid = start_program(directory, errors, "--coefficient-table=h.csv");
    ASSERT_GT(pid, 0);
    // The moment: the run waits in the open of the table for a writer.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (read_file("/proc/" + std::to_string(pid) + "/wchan").value_or("") != "wait_for_partner" &&
           std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGHUP);
    const int status = wait_or_kill(pid, 60);
    ASSERT_NE(status, -1) << "the program did not end after SIGHUP";
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGHUP);
    EXPECT_EQ(read_file(errors), "temp1d: run interrupted by SIGHUP while reading the table h.csv\r\n");
    EXPECT_EQ(read_file(directory / "temperat.txt"), "old results\r\n");
    fs::remove(errors);
}

TEST_F(InterruptedRuns, WriteBlockedOnAPipeEndsByTheSignal) {
    // The result file is a named pipe whose reader never reads: the run
    // fills the pipe and waits in its write until the signal comes.
    fs::copy_file(long_run / "DataInpTemp1d.txt", directory / "DataInpTemp1d.txt");
    const fs::path result = directory / "temperat.txt";
    const fs::path errors = directory.parent_path() / (directory.filename().string() + ".stderr");
    ASSERT_EQ(::mkfifo(result.c_str(), 0666), 0);
    const int reader = ::open(result.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int capacity = ::fcntl(reader, F_GETPIPE_SZ);
    ASSERT_GT(capacity, 0);
    const pid_t pid = start_program(directory, errors);
    ASSERT_GT(pid, 0);
    // The moment: the first buffer of records (just under 64 KiB) fills the
    // pipe, so the run's next write waits; the signal may come while it
    // waits or while it computes, and either way ends the run, also when
    // the records still buffered cannot be written.
    int queued = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (queued <= capacity / 2 && std::chrono::steady_clock::now() < give_up) {
        ASSERT_EQ(::ioctl(reader, FIONREAD, &queued), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GT(queued, capacity / 2);
    ::kill(pid, SIGTERM);
    const int status = wait_or_kill(pid, 60);
    ::close(reader);
    ASSERT_NE(status, -1) << "the program did not end after SIGTERM";
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    const std::string error_text = read_file(errors).value_or("");
    EXPECT_TRUE(std::regex_match(error_text, std::regex("temp1d: run interrupted by SIGTERM after step [0-9]+ of "
                                                        "[0-9]+\r\n")))
        << error_text;
    fs::remove(errors);
}

class SharedFolder : public ScratchFolder {};

TEST_F(SharedFolder, ResultFileLockedByAnotherRunIsLeftAloneWithItsOwnStatus) {
    write_file(param(), plain_parameters);
    write_file(result(), "another run's records\r\n");
    const int holder = ::open(result().c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    const ProgramRun run = run_program(directory);
    ::close(holder);
    EXPECT_EQ(run.status, static_cast<int>(program::status_result_file_in_use));
    EXPECT_EQ(run.standard_error, "temp1d: " + result().string() + " is in use by another run\r\n");
    EXPECT_EQ(run.standard_output, "");
    EXPECT_EQ(read_file(result()), "another run's records\r\n");
    EXPECT_EQ(read_file(param()), plain_parameters);

    // With the lock released the run goes ahead.
    EXPECT_EQ(run_program(directory).status, 0);
}

TEST_F(SharedFolder, TwoRunsStartedTogetherGiveTheResultOfOneRunAlone) {
    const fs::path alone = complete_long_run(directory / "alone");
    fs::copy_file(long_run / "DataInpTemp1d.txt", param());
    const fs::path first_errors = directory.parent_path() / (directory.filename().string() + ".first");
    const fs::path second_errors = directory.parent_path() / (directory.filename().string() + ".second");
    const pid_t first = start_program(directory, first_errors);
    const pid_t second = start_program(directory, second_errors);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    int first_status = 0, second_status = 0;
    ASSERT_EQ(::waitpid(first, &first_status, 0), first);
    ASSERT_EQ(::waitpid(second, &second_status, 0), second);
    ASSERT_TRUE(WIFEXITED(first_status));
    ASSERT_TRUE(WIFEXITED(second_status));

    const int in_use = static_cast<int>(program::status_result_file_in_use);
    const int statuses[] = {WEXITSTATUS(first_status), WEXITSTATUS(second_status)};
    const std::string reports[] = {read_file(first_errors).value_or("?"), read_file(second_errors).value_or("?")};
    fs::remove(first_errors);
    fs::remove(second_errors);
    const bool first_ran = statuses[0] == 0;
    EXPECT_EQ(statuses[first_ran ? 0 : 1], 0);
    EXPECT_EQ(statuses[first_ran ? 1 : 0], in_use);
    EXPECT_EQ(reports[first_ran ? 0 : 1], "");
    EXPECT_EQ(reports[first_ran ? 1 : 0], "temp1d: " + result().string() + " is in use by another run\r\n");

    const std::string compare = "cmp -s '" + result().string() + "' '" + alone.string() + "'";
    EXPECT_EQ(std::system(compare.c_str()), 0) << "the result differs from a run alone";
}

}  // namespace
