// Runs that end early or meet another run: interruption by SIGINT, SIGTERM
// and SIGHUP at random moments of a long run, and two runs in one folder.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
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

// Starts temp1d in `directory` with standard output discarded and standard
// error going to `error_file`, every signal at its default action.
pid_t start_program(const fs::path& directory, const fs::path& error_file) {
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
    ::execl(TEMP1D_BINARY, TEMP1D_BINARY, static_cast<char*>(nullptr));
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

class InterruptedRuns : public ScratchFolder {};

TEST_F(InterruptedRuns, EachSignalLeavesWholeRecordsUpToAStepAndEndsTheProcessByThatSignal) {
    const auto run_started = std::chrono::steady_clock::now();
    const fs::path kept = complete_long_run(directory / "alone");
    const auto run_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - run_started).count();
    const fs::path result = directory / "temperat.txt";
    const fs::path errors = directory.parent_path() / (directory.filename().string() + ".stderr");
    fs::copy_file(long_run / "DataInpTemp1d.txt", directory / "DataInpTemp1d.txt");
    // The complete result: header, one record per step, 56 + 21 bytes of closing lines.
    const std::size_t kept_steps = (fs::file_size(kept) - result_header.size() - 77) / record_size;
    const std::regex report("temp1d: run interrupted by (SIG[A-Z]+) after step ([0-9]+) of ([0-9]+)\r\n");

    std::mt19937 generator{std::random_device{}()};
    // Counted from the moment the run cuts the old result (its handlers are
    // in place by then), up to half the time the run alone took, so that the
    // signal arrives well before the end on a fast or a slow build alike.
    std::uniform_int_distribution<int> moment_ms(0, static_cast<int>(run_ms / 2));
    const struct {
        int number;
        const char* name;
    } signals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

    for (const auto& s : signals) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int moment = moment_ms(generator);
            SCOPED_TRACE(std::string(s.name) + " after " + std::to_string(moment) + " ms");
            write_file(result, "old results\r\n");
            const pid_t pid = start_program(directory, errors);
            ASSERT_GT(pid, 0);
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (read_file(result) == "old results\r\n" && std::chrono::steady_clock::now() < give_up) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(moment));
            ::kill(pid, s.number);
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
