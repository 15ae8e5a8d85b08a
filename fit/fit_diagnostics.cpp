#include "fit/fit_diagnostics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fit {

namespace {

std::string number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.4g", value);
    return buffer;
}

// The medium the last fitted point sees, and its parameter's name.
bool last_point_in_second_phase(const FitProblem& problem) {
    return problem.times.back() > problem.parameters.first_phase_duration;
}

}  // namespace

ResidualDiagnostics residual_diagnostics(const FitProblem& problem, const FitResult& result) {
    ResidualDiagnostics d;
    const std::size_t n = problem.times.size();
    const auto [lowest, highest] = std::minmax_element(problem.temperatures.begin(), problem.temperatures.end());
    d.swing = *highest - *lowest;
    std::vector<double> e(n);
    for (std::size_t i = 0; i < n; ++i) e[i] = problem.temperatures[i] - result.model_values[i];
    double squares = 0.0, products = 0.0, differences = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        squares += e[i] * e[i];
        if (i + 1 < n) {
            products += e[i] * e[i + 1];
            differences += (e[i + 1] - e[i]) * (e[i + 1] - e[i]);
        }
    }
    d.lag1_autocorrelation = squares > 0.0 ? products / squares : 0.0;
    d.noise = n > 1 ? std::sqrt(differences / (2.0 * static_cast<double>(n - 1))) : 0.0;
    // Runs of equal sign (zeros count as positive).
    double positive = 0.0, negative = 0.0, runs = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        (e[i] >= 0.0 ? positive : negative) += 1.0;
        if (i == 0 || (e[i] >= 0.0) != (e[i - 1] >= 0.0)) runs += 1.0;
    }
    const double total = positive + negative;
    if (positive > 0.0 && negative > 0.0 && total > 1.0) {
        const double expected = 2.0 * positive * negative / total + 1.0;
        const double variance =
            2.0 * positive * negative * (2.0 * positive * negative - total) / (total * total * (total - 1.0));
        d.runs_z = variance > 0.0 ? (runs - expected) / std::sqrt(variance) : 0.0;
    } else {
        // Every residual on one side: one run, as structured as it gets.
        d.runs_z = -std::sqrt(total);
    }
    return d;
}

bool residuals_show_misfit(const FitResult& result, const ResidualDiagnostics& d) {
    const bool structured = d.lag1_autocorrelation > 0.95 && d.runs_z < -4.0;
    // A large RMS alone is no misfit when it is the noise itself: the
    // residuals of a misfit vary slowly, so their RMS is well above the
    // spread of their successive differences.
    const bool large = result.rms_residual > 0.02 * d.swing && result.rms_residual > 3.0 * d.noise;
    return (structured && result.rms_residual > 1e-3 * d.swing) || large;
}

std::vector<FitWarning> setup_warnings(const FitProblem& problem, const FitResult& result,
                                       const ResidualDiagnostics& d) {
    std::vector<FitWarning> warnings;
    const model::ParameterSet& p = problem.parameters;
    const std::size_t n = problem.times.size();
    const double medium = last_point_in_second_phase(problem) ? p.ambient_temperature_2 : p.ambient_temperature_1;
    const double drop = std::fabs(p.initial_temperature - p.ambient_temperature_1);

    if (residuals_show_misfit(result, d)) {
        warnings.push_back(
            {"structured_residuals",
             "the residuals are structured (lag-1 autocorrelation " + number(d.lag1_autocorrelation) +
                 ", runs test z " + number(d.runs_z) + ", RMS " + number(result.rms_residual) + " K of a swing of " +
                 number(d.swing) +
                 " K): the model does not follow the curve; check the start time (--shift), the temperatures of "
                 "the parameter file, the probe position and the units",
             ""});
    }

    // The first points: where the model has hardly left the initial
    // temperature, the measured curve should not have either.
    const double tolerance = 0.02 * drop + 3.0 * d.noise;
    if (std::fabs(result.model_values[0] - p.initial_temperature) <= 0.02 * drop &&
        std::fabs(problem.temperatures[0] - p.initial_temperature) > tolerance) {
        warnings.push_back({"initial_temperature",
                            "the curve starts at " + number(problem.temperatures[0]) + " at " +
                                number(problem.times[0]) + " s, where the model is still at the initial temperature " +
                                number(p.initial_temperature) + " of the parameter file",
                            "initial_temperature"});
    }

    // The last points: where the model has nearly reached the medium, the
    // measured curve should have too.
    const std::size_t tail = std::min<std::size_t>(3, n);
    double last_measured = 0.0;
    for (std::size_t i = n - tail; i < n; ++i) last_measured += problem.temperatures[i] / static_cast<double>(tail);
    if (std::fabs(result.model_values[n - 1] - medium) <= 0.05 * drop &&
        std::fabs(last_measured - medium) > tolerance) {
        const bool second = last_point_in_second_phase(problem);
        warnings.push_back({"medium_temperature",
                            "the curve ends at " + number(last_measured) + ", where the model has nearly reached the " +
                                "medium temperature " + number(medium) + " of the parameter file" +
                                (second ? " (second phase)" : ""),
                            second ? "ambient_temperature_2" : "ambient_temperature_1"});
    }

    // The model's time-step error: a correction of more than 1 % means
    // that temp1d's own step is too coarse for this Biot number.
    if (result.step_error_estimated) {
        const double correction = result.step_zero_coefficient / result.coefficient - 1.0;
        if (std::fabs(correction) > 0.01) {
            const double biot = result.physical_coefficient * (p.outer_radius - p.inner_radius) / p.conductivity;
            warnings.push_back({"time_step_error",
                                "the model on temp1d's time step is too coarse for this Biot number (" + number(biot) +
                                    "): its line-4 value is " + number(-100.0 * correction) +
                                    " % off the physical problem's; the physical coefficient has that removed, with "
                                    "a bound of " +
                                    number(100.0 * result.step_error_bound) + " % in its interval",
                                ""});
        }
    } else if (!result.on_boundary && interval_open_low(result) == false && interval_open_high(result) == false) {
        warnings.push_back({"time_step_error_not_estimated",
                            "the run is too long for a second run with a finer time step: the physical coefficient "
                            "is the line-4 value's effective coefficient, without the time-step error removed",
                            ""});
    }

    if (p.inner_radius > 0.0) {
        warnings.push_back({"bore",
                            "the inner radius is " + number(p.inner_radius) +
                                " m: the model simulates a solid bar of radius R - inner radius, not a tube; the "
                                "physical coefficient is that bar's, scaled by R / (R - inner radius)",
                            "inner_radius"});
    }
    return warnings;
}

std::vector<UnitTrial> unit_trials(const FitProblem& problem) {
    std::vector<UnitTrial> trials;
    UnitTrial fahrenheit{"Fahrenheit", "unit_fahrenheit", problem};
    for (double& t : fahrenheit.problem.temperatures) t = (t - 32.0) / 1.8;
    trials.push_back(std::move(fahrenheit));
    UnitTrial kelvin{"Kelvin", "unit_kelvin", problem};
    for (double& t : kelvin.problem.temperatures) t -= 273.15;
    trials.push_back(std::move(kelvin));
    // Times in minutes: only when the curve, read in seconds, still lies
    // within the run.
    const model::ParameterSet& p = problem.parameters;
    if (problem.times.back() * 60.0 <= p.first_phase_duration + p.second_phase_duration) {
        UnitTrial minutes{"minutes", "unit_minutes", problem};
        for (double& t : minutes.problem.times) t *= 60.0;
        trials.push_back(std::move(minutes));
    }
    return trials;
}

bool unit_hint_applies(const FitResult& as_given, const FitResult& converted, const ResidualDiagnostics& d) {
    return converted.minimum_found && !converted.on_boundary && std::isfinite(converted.rms_residual) &&
           converted.rms_residual < 0.25 * as_given.rms_residual && converted.rms_residual < 0.02 * d.swing;
}

FitWarning unit_warning(const UnitTrial& trial, const FitResult& converted) {
    const std::string unit = trial.unit;
    const bool times = unit == "minutes";
    return {trial.code,
            std::string("the curve looks like ") + (times ? "times in minutes" : "temperatures in " + unit) +
                ": read that way it fits with an RMS residual of " + number(converted.rms_residual) +
                " K; convert the curve " + (times ? "to seconds" : "to the parameter file's degrees"),
            ""};
}

}  // namespace fit
