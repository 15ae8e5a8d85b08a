#include "fit_test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/file_contents.h"
#include "support/scratch_folder.h"

using namespace model;
using namespace fit;

namespace fs = std::filesystem;

ParameterSet probe_parameters(double coefficient, double run_length) {
    ParameterSet p;
    p.inner_radius = 0.0;
    p.outer_radius = 0.00625;
    p.heat_transfer_coefficient = coefficient;
    p.initial_temperature = 850.0;
    p.ambient_temperature_1 = 40.0;
    p.ambient_temperature_2 = 40.0;
    p.density = 8470.0;
    p.specific_heat = 444.0;
    p.conductivity = 14.9;
    p.first_phase_duration = run_length / 2.0;
    p.second_phase_duration = run_length / 2.0;
    return p;
}

FitProblem model_curve(const ParameterSet& parameters, ProbePosition position, int count) {
    FitProblem problem;
    problem.parameters = parameters;
    problem.position = position;
    HeatModel model;
    set_up_model(model, parameters);
    const std::int32_t steps = model.setup.step_count;
    int next = 1;
    for (std::int32_t step = 1; step <= steps && next <= count; ++step) {
        const StepRecord record = take_time_step(model);
        // Point k lies at the end of step ceil(k * steps / count).
        if (static_cast<std::int64_t>(step) * count >= static_cast<std::int64_t>(next) * steps) {
            problem.times.push_back(record.time + model.setup.time_step);
            problem.temperatures.push_back(position == ProbePosition::centre ? record.tc : record.tpov);
            ++next;
        }
    }
    return problem;
}

ProgramRun run_fit_program(const fs::path& directory, const std::string& arguments, bool as_unprivileged_user) {
    return run_binary(TEMP1D_FIT_BINARY, directory, arguments, as_unprivileged_user);
}

std::string probe_parameter_file(double coefficient, double run_length) {
    char text[800];
    std::snprintf(text, sizeof text,
                  "Inconel probe, 12.5 mm, quenched in oil\r\n"
                  "0        inner radius, m\r\n"
                  "0.00625  outer radius, m\r\n"
                  "%-8.10g heat-transfer coefficient, W/(m2 K)\r\n"
                  "850      initial temperature, C\r\n"
                  "40 40    oil temperature, C\r\n"
                  "8470     density, kg/m3\r\n"
                  "444      specific heat, J/(kg K)\r\n"
                  "14.9     conductivity, W/(m K)\r\n"
                  "%.17g %.17g duration of phase 1 and phase 2, s\r\n",
                  coefficient, run_length / 2.0, run_length / 2.0);
    return text;
}

StartedFit start_fit(const fs::path& directory, const std::vector<std::string>& arguments, int output_fd) {
    StartedFit started;
    started.capture = make_scratch_directory("fit-capture");
    const std::string out = (started.capture / "stdout").string();
    const std::string err = (started.capture / "stderr").string();
    std::vector<std::string> words{TEMP1D_FIT_BINARY};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string folder = directory.string();
    started.pid = ::fork();
    if (started.pid == 0) {
        // Only calls that are safe after fork.
        const int error_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int standard_fd = output_fd >= 0 ? output_fd : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (error_fd < 0 || standard_fd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(126);
        ::dup2(standard_fd, 1);
        ::dup2(error_fd, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return started;
}

ProgramRun finish_fit(StartedFit& started) {
    int raw = 0;
    while (::waitpid(started.pid, &raw, 0) < 0 && errno == EINTR) {}
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.standard_output = read_file(started.capture / "stdout").value_or("");
    run.standard_error = read_file(started.capture / "stderr").value_or("");
    remove_scratch_directory(started.capture);
    return run;
}

namespace {

// The line of /proc/PID/status that starts with `key`, without the key.
std::string status_field(pid_t pid, const std::string& key) {
    const std::string status = read_file("/proc/" + std::to_string(pid) + "/status").value_or("");
    const std::size_t at = status.find("\n" + key);
    if (at == std::string::npos) return {};
    const std::size_t begin = at + 1 + key.size();
    return status.substr(begin, status.find('\n', begin) - begin);
}

bool handlers_installed(pid_t pid) {
    const std::string comm = read_file("/proc/" + std::to_string(pid) + "/comm").value_or("");
    if (comm != "temp1d-fit\n") return false;
    const unsigned long long caught = std::strtoull(status_field(pid, "SigCgt:\t").c_str(), nullptr, 16);
    const unsigned long long wanted = (1ULL << (SIGINT - 1)) | (1ULL << (SIGTERM - 1)) | (1ULL << (SIGHUP - 1));
    return (caught & wanted) == wanted;
}

template <typename Condition>
bool wait_for(Condition condition) {
    for (int attempt = 0; attempt < 60000; ++attempt) {
        if (condition()) return true;
        ::usleep(1000);
    }
    return false;
}

}  // namespace

bool wait_until_blocked(pid_t pid) {
    return wait_for([pid] { return handlers_installed(pid) && status_field(pid, "State:\t").rfind("S", 0) == 0; });
}

bool wait_until_closed(pid_t pid, const fs::path& path) {
    return wait_for([pid, &path] {
        if (!handlers_installed(pid)) return false;
        std::error_code error;
        const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
        for (const auto& entry : fs::directory_iterator(fds, error)) {
            std::error_code ignored;
            if (fs::read_symlink(entry.path(), ignored) == path) return false;
        }
        return !error;
    });
}
