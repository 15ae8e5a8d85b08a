#include "fit_test_support.h"

#include <cstdio>

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
