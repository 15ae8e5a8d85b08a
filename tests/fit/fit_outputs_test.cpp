// The outputs of the built temp1d-fit: targets that would replace an input,
// the other target or anything but a regular file are refused; the two
// outputs are committed together or not at all, after the report; curves
// without a finite residual or a minimum write nothing; an open interval end
// is null with a warning; INT, TERM and HUP leave nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fit/fit_report.h"
#include "fit_test_support.h"
#include "support/file_contents.h"
#include "support/scratch_folder.h"

using namespace fit;

namespace fs = std::filesystem;

namespace {

constexpr double run_length = 20.0;

std::string curve_csv(const FitProblem& problem) {
    std::string text;
    char line[80];
    for (std::size_t i = 0; i < problem.times.size(); ++i) {
        std::snprintf(line, sizeof line, "%.17g,%.17g\n", problem.times[i], problem.temperatures[i]);
        text += line;
    }
    return text;
}

class FitOutputs : public ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        write_file(directory / "probe.txt", probe_parameter_file(1.0, run_length));
        write_file(directory / "curve.csv",
                   curve_csv(model_curve(probe_parameters(1000.0, run_length), ProbePosition::centre, 40)));
        write_file(directory / "fitted.txt", "old parameters\n");
        write_file(directory / "fit.svg", "old chart\n");
    }

    // A run that must be refused with status 2 and `message`, leaving every
    // file as it was.
    void expect_refusal(const std::string& arguments, const std::string& message) {
        const std::vector<std::string> before = directory_listing(directory);
        const std::string probe = read_file(directory / "probe.txt").value_or("");
        const std::string curve = read_file(directory / "curve.csv").value_or("");
        const ProgramRun run = run_fit_program(directory, arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.standard_error, "temp1d-fit: " + message + "\n") << arguments;
        EXPECT_EQ(run.standard_output, "") << arguments;
        EXPECT_EQ(directory_listing(directory), before) << arguments;
        expect_untouched();
        EXPECT_EQ(read_file(directory / "probe.txt"), probe) << arguments;
        EXPECT_EQ(read_file(directory / "curve.csv"), curve) << arguments;
    }

    void expect_untouched() {
        EXPECT_EQ(read_file(directory / "fitted.txt"), "old parameters\n");
        EXPECT_EQ(read_file(directory / "fit.svg"), "old chart\n");
    }
};

TEST_F(FitOutputs, TargetsThatAreInputsTheOtherTargetOrNotRegularFilesAreRefused) {
    const std::string never = "; an output never replaces an input";
    expect_refusal("-o curve.csv probe.txt curve.csv", "curve.csv: is the curve file curve.csv" + never);
    expect_refusal("--chart probe.txt probe.txt curve.csv", "probe.txt: is the parameter file probe.txt" + never);
    // Another name of the same file: a hard link, or a path through a link.
    fs::create_hard_link(directory / "probe.txt", directory / "same.txt");
    expect_refusal("-o same.txt probe.txt curve.csv", "same.txt: is the parameter file probe.txt" + never);
    fs::create_directory(directory / "sub");
    fs::create_directory_symlink("..", directory / "sub" / "up");
    expect_refusal("-o sub/up/curve.csv probe.txt curve.csv", "sub/up/curve.csv: is the curve file curve.csv" + never);
    // The parameter file read through a link: its target is still an input.
    fs::create_symlink("probe.txt", directory / "probe-link.txt");
    expect_refusal("-o probe.txt probe-link.txt curve.csv", "probe.txt: is the parameter file probe-link.txt" + never);

    const std::string both = "; each output needs a file of its own";
    expect_refusal("-o fitted.txt --chart fitted.txt probe.txt curve.csv",
                   "fitted.txt and fitted.txt are the same file" + both);
    expect_refusal("-o new.txt --chart ./sub/../new.txt probe.txt curve.csv",
                   "new.txt and ./sub/../new.txt are the same file" + both);
    fs::create_hard_link(directory / "fitted.txt", directory / "same-fitted.txt");
    expect_refusal("-o fitted.txt --chart same-fitted.txt probe.txt curve.csv",
                   "fitted.txt and same-fitted.txt are the same file" + both);

    // Not regular files: a named pipe, a directory; the other output is not
    // written either.
    ASSERT_EQ(::mkfifo((directory / "pipe").c_str(), 0666), 0);
    expect_refusal("-o pipe --chart new.svg probe.txt curve.csv",
                   "pipe: is a named pipe; an output replaces regular files only");
    expect_refusal("-o new.txt --chart sub probe.txt curve.csv",
                   "sub: is a directory; an output replaces regular files only");
    expect_refusal("-o /dev/null probe.txt curve.csv",
                   "/dev/null: is a character device; an output replaces regular files only");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // Symbolic links are refused, not followed, also when they dangle.
    fs::create_symlink("fitted.txt", directory / "fitted-link.txt");
    fs::create_symlink("nowhere.txt", directory / "dangling.svg");
    const std::string link = ": is a symbolic link; outputs are not written through links (name the file itself)";
    expect_refusal("-o fitted-link.txt probe.txt curve.csv", "fitted-link.txt" + link);
    expect_refusal("--chart dangling.svg probe.txt curve.csv", "dangling.svg" + link);
    EXPECT_FALSE(fs::exists(directory / "nowhere.txt"));
}

TEST_F(FitOutputs, BothOutputsAreReplacedTogetherAndASecondRenameThatFailsPutsTheFirstBack) {
    const ProgramRun good = run_fit_program(directory, "-o fitted.txt --chart fit.svg probe.txt curve.csv");
    ASSERT_EQ(good.status, 0) << good.standard_error;
    EXPECT_NE(read_file(directory / "fitted.txt").value_or("").find("heat-transfer"), std::string::npos);
    EXPECT_NE(read_file(directory / "fit.svg").value_or("").find("</svg>"), std::string::npos);
    EXPECT_EQ(directory_listing(directory),
              (std::vector<std::string>{"curve.csv", "fit.svg", "fitted.txt", "probe.txt"}));

    // In a sticky folder an unprivileged user may create files but not
    // replace one that root owns: the chart's rename fails after the
    // parameter file's has succeeded.
    if (!running_as_root()) GTEST_SKIP() << "needs root to give the files their owners";
    const fs::path sticky = directory / "sticky";
    fs::create_directory(sticky);
    fs::permissions(sticky, fs::perms::all | fs::perms::sticky_bit);
    write_file(sticky / "fitted.txt", "old parameters\n");
    write_file(sticky / "fit.svg", "old chart\n");
    fs::permissions(sticky / "fit.svg", fs::perms::all);
    ASSERT_EQ(::chown((sticky / "fitted.txt").c_str(), 65534, 65534), 0);
    const ProgramRun run =
        run_fit_program(directory, "-o sticky/fitted.txt --chart sticky/fit.svg probe.txt curve.csv", true);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.standard_error, "temp1d-fit: sticky/fit.svg: cannot be written: Operation not permitted; "
                                  "sticky/fitted.txt is back as it was\n");
    EXPECT_EQ(read_file(sticky / "fitted.txt"), "old parameters\n");
    EXPECT_EQ(read_file(sticky / "fit.svg"), "old chart\n");
    EXPECT_EQ(directory_listing(sticky), (std::vector<std::string>{"fit.svg", "fitted.txt"}));
}

TEST_F(FitOutputs, AReportThatCannotBeWrittenIsAFailureAndReplacesNothing) {
    const std::string arguments = "-o fitted.txt --chart fit.svg probe.txt curve.csv";
    const std::vector<std::string> before = directory_listing(directory);
    for (const auto& [shell_setup, reason] :
         {std::pair<std::string, std::string>{"exec >/dev/full;", "No space left on device"},
          {"exec >&-;", "Bad file descriptor"}}) {
        const ProgramRun run = run_binary(TEMP1D_FIT_BINARY, directory, arguments, false, shell_setup);
        EXPECT_EQ(run.status, 3) << shell_setup;
        EXPECT_EQ(run.standard_error, "temp1d-fit: the report cannot be written: " + reason + "\n") << shell_setup;
        expect_untouched();
        EXPECT_EQ(directory_listing(directory), before);
    }
    // A pipe whose reader has gone.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    StartedFit started =
        start_fit(directory, {"-o", "fitted.txt", "--chart", "fit.svg", "probe.txt", "curve.csv"}, ends[1]);
    ::close(ends[1]);
    const ProgramRun piped = finish_fit(started);
    EXPECT_EQ(piped.status, 3);
    EXPECT_EQ(piped.standard_error, "temp1d-fit: the report cannot be written: Broken pipe\n");
    expect_untouched();
    EXPECT_EQ(directory_listing(directory), before);

    // --help and --version likewise.
    const ProgramRun version = run_binary(TEMP1D_FIT_BINARY, directory, "--version", false, "exec >/dev/full;");
    EXPECT_EQ(version.status, 3);
    EXPECT_EQ(version.standard_error, "temp1d-fit: the version cannot be written: No space left on device\n");
}

TEST_F(FitOutputs, CurvesWithoutAFiniteResidualOrWithoutAMinimumWriteNothing) {
    write_file(directory / "curve.csv", "1,800\n2,700\n3,-1e308\n");
    expect_refusal("-o fitted.txt --chart fit.svg probe.txt curve.csv",
                   "curve.csv: the residual is not finite (a measured value is too large to fit); nothing written");
    // Three points within the first picosecond: no coefficient changes the
    // model there.
    write_file(directory / "curve.csv", "1e-300,800\n2e-300,700\n3e-300,600\n");
    expect_refusal("-o fitted.txt --chart fit.svg probe.txt curve.csv",
                   "curve.csv: no minimum: every coefficient gives the same residual, so the curve does not "
                   "determine the coefficient; nothing written");
}

TEST_F(FitOutputs, AnOpenIntervalEndIsNullWithAWarningAndStatusOneWithEveryOutputWritten) {
    // The centre in its first tenth of a second hardly moves whatever the
    // coefficient: with noise of 1 K the interval reaches past any bound.
    FitProblem early = model_curve(probe_parameters(1000.0, 0.2), ProbePosition::centre, 8);
    const double noise[] = {1.0, -1.0, -1.0, 1.0, 1.0, -1.0, -1.0, 1.0};
    for (std::size_t i = 0; i < early.temperatures.size(); ++i) early.temperatures[i] += noise[i];
    write_file(directory / "curve.csv", curve_csv(early));
    const ProgramRun run = run_fit_program(directory, "--json -o fitted.txt --chart fit.svg probe.txt curve.csv");
    EXPECT_EQ(run.status, 1) << run.standard_error << run.standard_output;
    EXPECT_NE(run.standard_output.find("\"interval_95\": [null, null]"), std::string::npos) << run.standard_output;
    EXPECT_NE(run.standard_output.find("\"effective_interval_95\": [null, null]"), std::string::npos);
    EXPECT_EQ(run.standard_error, "temp1d-fit: warning: curve.csv: the 95 % interval has neither end: near the fit "
                                  "the curve hardly changes with the coefficient\n");
    EXPECT_NE(read_file(directory / "fitted.txt").value_or("").find("heat-transfer"), std::string::npos);
    EXPECT_NE(read_file(directory / "fit.svg").value_or("").find("</svg>"), std::string::npos);

    // One open end: the other stays a number.
    FitProblem problem = model_curve(probe_parameters(1000.0, run_length), ProbePosition::centre, 5);
    FitResult result;
    result.coefficient = 1000.0;
    result.interval_low = 990.0;
    result.interval_high = std::numeric_limits<double>::infinity();
    result.physical_coefficient = 2000.0;
    result.physical_low = 1980.0;
    result.physical_high = std::numeric_limits<double>::infinity();
    result.model_values = problem.temperatures;
    const std::vector<int> lines{1, 2, 3, 4, 5};
    FitReportInput input{&problem, &result, "c.csv", lines, 0.0};
    input.warnings.push_back({"open_interval", open_interval_notice(result), ""});
    const std::string json = fit_report_json(input);
    EXPECT_NE(json.find("{\"code\": \"open_interval\", \"message\": \"the 95 % interval has no upper end"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"interval_95\": [990, null]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"effective_interval_95\": [1980, null]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"parameter_file_interval_95\": [990, null]"), std::string::npos) << json;
    // The physical interval is bounded on both sides or null.
    EXPECT_NE(json.find("\"physical_interval_95\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"physical_coefficient\": 2000,"), std::string::npos) << json;
    const std::string text = fit_report_text(input);
    EXPECT_NE(text.find("95 % interval (parameter file):  990 .. open W/(m2 K)"), std::string::npos) << text;
    EXPECT_NE(text.find("warning: the 95 % interval has no upper end"), std::string::npos) << text;
}

TEST_F(FitOutputs, VersionAndTheEndOfTheOptions) {
    const ProgramRun version = run_fit_program(directory, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.standard_output, "temp1d-fit " + std::string(TEMP1D_VERSION) + "\n");
    // A curve whose name starts with a dash.
    fs::rename(directory / "curve.csv", directory / "-curve.csv");
    const ProgramRun option = run_fit_program(directory, "probe.txt -curve.csv");
    EXPECT_EQ(option.status, 2);
    EXPECT_EQ(option.standard_error.rfind("temp1d-fit: unknown option -curve.csv\n", 0), 0u) << option.standard_error;
    const ProgramRun operand = run_fit_program(directory, "--json -- probe.txt -curve.csv");
    EXPECT_EQ(operand.status, 0) << operand.standard_error;
    EXPECT_NE(operand.standard_output.find("\"curve\": \"-curve.csv\""), std::string::npos);
}

// INT, TERM and HUP while the fit waits for an input that does not come, and
// while it computes: one line, no temporary file, the old outputs kept, and
// the end by that signal.
class FitInterrupted : public FitOutputs {
protected:
    // A run that never reached the expected state is ended, so that no
    // process outlives the test.
    static void stop(StartedFit& started) {
        ::kill(started.pid, SIGKILL);
        finish_fit(started);
    }

    void expect_interrupted(StartedFit& started, int signal) {
        ASSERT_EQ(::kill(started.pid, signal), 0);
        const ProgramRun run = finish_fit(started);
        EXPECT_EQ(run.status, 128 + signal);
        EXPECT_EQ(run.standard_error, std::string("temp1d-fit: interrupted by ") +
                                          (signal == SIGINT    ? "SIGINT"
                                           : signal == SIGTERM ? "SIGTERM"
                                                               : "SIGHUP") +
                                          "; nothing written\n");
        EXPECT_EQ(run.standard_output, "");
        expect_untouched();
    }
};

TEST_F(FitInterrupted, WhileWaitingForAnInputOrComputingEachSignalEndsTheFitAndLeavesNothing) {
    const std::vector<std::string> outputs{"-o", "fitted.txt", "--chart", "fit.svg"};
    // A parameter file that is a named pipe without a writer: the open
    // blocks.
    ASSERT_EQ(::mkfifo((directory / "params.fifo").c_str(), 0666), 0);
    std::vector<std::string> arguments = outputs;
    arguments.insert(arguments.end(), {"params.fifo", "curve.csv"});
    StartedFit waiting = start_fit(directory, arguments);
    if (!wait_until_blocked(waiting.pid)) {
        stop(waiting);
        FAIL() << "the fit never waited for its parameter file with its handlers in place";
    }
    expect_interrupted(waiting, SIGINT);

    // A curve that is a named pipe whose writer stays but writes no more:
    // the read blocks.
    ASSERT_EQ(::mkfifo((directory / "curve.fifo").c_str(), 0666), 0);
    const int writer = ::open((directory / "curve.fifo").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "1,800\n", 6), 6);
    arguments = outputs;
    arguments.insert(arguments.end(), {"probe.txt", "curve.fifo"});
    StartedFit reading = start_fit(directory, arguments);
    if (!wait_until_blocked(reading.pid)) {
        ::close(writer);
        stop(reading);
        FAIL() << "the fit never waited for its curve with its handlers in place";
    }
    expect_interrupted(reading, SIGHUP);
    ::close(writer);

    // A fit of ten million steps a run, interrupted once it has read its
    // curve to the end.
    write_file(directory / "long.txt", "t\n0\n0.00625\n1\n850\n40 40\n8470\n444\n14.9\n39000 39000\n");
    arguments = outputs;
    arguments.insert(arguments.end(), {"long.txt", "curve.fifo"});
    StartedFit computing = start_fit(directory, arguments);
    const fs::path fifo = fs::canonical(directory / "curve.fifo");
    // Opening for writing without blocking succeeds once the fit has the
    // pipe open for reading.
    int feeder = -1;
    for (int attempt = 0; attempt < 60000 && feeder < 0; ++attempt) {
        feeder = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (feeder < 0) ::usleep(1000);
    }
    if (feeder < 0) {
        stop(computing);
        FAIL() << "the fit never opened its curve";
    }
    const std::string curve = "1,800\n2,790\n78000,40\n";
    ASSERT_EQ(::write(feeder, curve.data(), curve.size()), static_cast<ssize_t>(curve.size()));
    ::close(feeder);
    if (!wait_until_closed(computing.pid, fifo)) {
        stop(computing);
        FAIL() << "the fit never finished reading its curve with its handlers in place";
    }
    expect_interrupted(computing, SIGTERM);
    EXPECT_EQ(directory_listing(directory),
              (std::vector<std::string>{"curve.csv", "curve.fifo", "fit.svg", "fitted.txt", "long.txt", "params.fifo",
                                        "probe.txt"}));
}

}  // namespace
