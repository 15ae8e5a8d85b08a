#include "fit_test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

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

fs::path make_fit_scratch_directory() {
    std::string pattern = (fs::temp_directory_path() / "temp1d-fit-test-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    if (made == nullptr) return {};
    // Open to every user, so that the program can also run unprivileged here.
    fs::permissions(made, fs::perms::all);
    return fs::path(made);
}

void remove_fit_scratch_directory(const fs::path& directory) {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

std::optional<std::string> read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

FitRun run_fit_program(const fs::path& directory, const std::string& arguments, bool as_unprivileged_user) {
    const fs::path out = directory / ".captured-stdout";
    const fs::path err = directory / ".captured-stderr";
    const std::string prefix = as_unprivileged_user ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const std::string command = "cd '" + directory.string() + "' && " + prefix + "'" + std::string(TEMP1D_FIT_BINARY) + "' " +
                                arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    FitRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.standard_output = read_bytes(out).value_or("");
    run.standard_error = read_bytes(err).value_or("");
    fs::remove(out);
    fs::remove(err);
    return run;
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

std::vector<std::string> directory_listing(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
