#include "fit/curve_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fit {

namespace {

std::string number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

}  // namespace

std::string distinct_number(double value, double other) {
    char buffer[40];
    for (int digits = 6; digits <= 17; ++digits) {
        char other_buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        std::snprintf(other_buffer, sizeof other_buffer, "%.*g", digits, other);
        if (std::string(buffer) != other_buffer) break;
    }
    return buffer;
}

std::string select_window(const MeasuredCurve& curve, const std::string& curve_file, double from, double to,
                          double shift, FitProblem& problem, std::vector<int>& lines, std::size_t& skipped) {
    problem.times.clear();
    problem.temperatures.clear();
    lines.clear();
    skipped = 0;
    const model::ParameterSet& p = problem.parameters;
    const double run_end = p.first_phase_duration + p.second_phase_duration;
    for (std::size_t i = 0; i < curve.time.size(); ++i) {
        if (curve.time[i] < from || curve.time[i] > to) continue;
        const double model_time = curve.time[i] - shift;
        if (model_time < 0.0) {
            ++skipped;
            continue;
        }
        if (model_time > run_end) {
            return curve_file + ":" + std::to_string(curve.line[i]) + ": the time " +
                   distinct_number(model_time, run_end) + " s" +
                   (shift != 0.0 ? " (after the shift of " + number(shift) + " s)" : std::string()) +
                   " lies past the end of the run (" + distinct_number(run_end, model_time) +
                   " s, the two phase durations on line 10)";
        }
        problem.times.push_back(model_time);
        problem.temperatures.push_back(curve.temperature[i]);
        lines.push_back(curve.line[i]);
    }
    if (problem.times.size() < 3) {
        const bool whole = from <= 0.0 && std::isinf(to);
        const std::string window = whole            ? ""
                                   : std::isinf(to) ? " from " + number(from) + " s on"
                                   : from <= 0.0    ? " up to " + number(to) + " s"
                                                    : " between " + number(from) + " and " + number(to) + " s";
        return curve_file + ": " + std::to_string(problem.times.size()) + " measured points" + window +
               (skipped > 0 ? " after immersion (" + std::to_string(skipped) + " before it)" : std::string()) +
               "; at least 3 are needed";
    }
    return {};
}

std::string refusal_of_curve(const FitProblem& problem, const std::string& curve_file) {
    const model::ParameterSet& p = problem.parameters;
    // The media the fitted points see: phase 2 only matters when a point
    // lies after the switch.
    const bool second_phase_seen = problem.times.back() > p.first_phase_duration;
    const double start = p.initial_temperature;
    const bool colder = p.ambient_temperature_1 < start && (!second_phase_seen || p.ambient_temperature_2 < start);
    const bool warmer = p.ambient_temperature_1 > start && (!second_phase_seen || p.ambient_temperature_2 > start);
    if (p.ambient_temperature_1 == start && (!second_phase_seen || p.ambient_temperature_2 == start)) {
        return "the medium stays at the initial temperature (lines 5 and 6): no heat flows, and no coefficient "
               "changes the model's curve";
    }
    const auto [lowest, highest] = std::minmax_element(problem.temperatures.begin(), problem.temperatures.end());
    if (*lowest == *highest) {
        return curve_file + ": the curve is flat (every temperature is " + number(*lowest) +
               "): it does not determine the coefficient";
    }
    // The trend of the curve: the slope of the least-squares line.
    const double n = static_cast<double>(problem.times.size());
    double mean_time = 0.0, mean_temperature = 0.0;
    for (std::size_t i = 0; i < problem.times.size(); ++i) {
        mean_time += problem.times[i];
        mean_temperature += problem.temperatures[i];
    }
    mean_time /= n;
    mean_temperature /= n;
    double slope = 0.0;
    for (std::size_t i = 0; i < problem.times.size(); ++i) {
        slope += (problem.times[i] - mean_time) * (problem.temperatures[i] - mean_temperature);
    }
    if (colder && slope > 0.0) {
        return curve_file + ": the curve rises while the medium is colder than the initial temperature "
                            "(lines 5 and 6): the model can only cool the probe";
    }
    if (warmer && slope < 0.0) {
        return curve_file + ": the curve falls while the medium is warmer than the initial temperature "
                            "(lines 5 and 6): the model can only heat the probe";
    }
    return {};
}

}  // namespace fit
