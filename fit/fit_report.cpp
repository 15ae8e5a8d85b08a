#include "fit/fit_report.h"

#include <cmath>
#include <cstdio>

#include "fit/fit_parameters.h"

namespace fit {

namespace {

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// A number for JSON: finite values only (an unbounded interval end is null).
std::string json_number(double value) { return std::isfinite(value) ? format("%.10g", value) : "null"; }

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned char>(c));
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* position_name(ProbePosition position) { return position == ProbePosition::centre ? "centre" : "surface"; }

// An open end of the interval is shown as "open" in the text and as null
// in JSON.
std::string interval_text(const FitResult& result, double low, double high) {
    return (interval_open_low(result) ? std::string("open") : format("%.6g", low)) + " .. " +
           (interval_open_high(result) ? std::string("open") : format("%.6g", high)) + " W/(m2 K)";
}

std::string json_interval(const FitResult& result, double low, double high) {
    return "[" + (interval_open_low(result) ? std::string("null") : json_number(low)) + ", " +
           (interval_open_high(result) ? std::string("null") : json_number(high)) + "]";
}

// The physical interval: both ends or null (the interval of the physical
// coefficient is either bounded on both sides or not given).
std::string physical_interval_text(double low, double high) {
    if (!(low > 0.0 && std::isfinite(high))) return "open";
    return format("%.6g", low) + " .. " + format("%.6g", high) + " W/(m2 K)";
}

std::string physical_json_interval(double low, double high) {
    if (!(low > 0.0 && std::isfinite(high))) return "null";
    return "[" + json_number(low) + ", " + json_number(high) + "]";
}

}  // namespace

double biot_number(const model::ParameterSet& p, double physical_coefficient) {
    return physical_coefficient * (p.outer_radius - p.inner_radius) / p.conductivity;
}

std::string boundary_notice(const FitResult& result) {
    const bool low = result.coefficient <= lowest_coefficient * 1.0000001;
    return std::string("the best fit lies on the ") + (low ? "lower" : "upper") + " end of the search range (" +
           format("%g", low ? lowest_coefficient : highest_coefficient) +
           " W/(m2 K)): the curve does not determine the coefficient";
}

std::string open_interval_notice(const FitResult& result) {
    const bool low = interval_open_low(result);
    const bool high = interval_open_high(result);
    return std::string("the 95 % interval has ") +
           (low && high ? "neither end"
            : low       ? "no lower end"
                        : "no upper end") +
           ": near the fit the curve hardly changes with the coefficient";
}

std::string fit_report_text(const FitReportInput& in) {
    const FitProblem& problem = *in.problem;
    const FitResult& result = *in.result;
    const model::ParameterSet& p = problem.parameters;
    std::string out;
    out += "curve: " + in.curve_file + ", " + std::to_string(problem.times.size()) + " points from " +
           format("%g", problem.times.front()) + " to " + format("%g", problem.times.back()) + " s" +
           (in.shift_given || in.shift_fitted ? " after immersion" : "") + ", " + position_name(problem.position) +
           " temperature\n";
    if (in.semicolons || in.decimal_comma || in.time_column != 1 || in.temperature_column != 2) {
        out += "curve format: ";
        out += in.semicolons ? "separated by semicolons" : "separated by commas or blanks";
        out += in.decimal_comma ? ", decimal comma" : ", decimal point";
        out += ", time in column " + std::to_string(in.time_column) + ", temperature in column " +
               std::to_string(in.temperature_column) + "\n";
    }
    out += "physical heat-transfer coefficient: " + format("%.10g", result.physical_coefficient) + " W/(m2 K)\n";
    out +=
        "95 % interval (physical):        " + physical_interval_text(result.physical_low, result.physical_high) + "\n";
    out += "Biot number:                     " + format("%.4g", biot_number(p, result.physical_coefficient)) + "\n";
    out += "heat-transfer coefficient (parameter file): " + format("%.10g", result.coefficient) +
           " W/(m2 K) (line 4; reproduces temp1d's own run)\n";
    out +=
        "95 % interval (parameter file):  " + interval_text(result, result.interval_low, result.interval_high) + "\n";
    out += "effective coefficient (used by the model):  " +
           format("%.10g", model::effective_coefficient(p, result.coefficient)) + " W/(m2 K)\n";
    out += "95 % interval (effective):       " +
           interval_text(result, model::effective_coefficient(p, result.interval_low),
                         model::effective_coefficient(p, result.interval_high)) +
           "\n";
    if (in.shift_given || in.shift_fitted) {
        out += "shift (immersion):  " + format("%.6g", in.shift) + " s on the curve's clock";
        if (in.shift_fitted) {
            out += std::isfinite(in.shift_low) && std::isfinite(in.shift_high)
                       ? " (fitted, 95 % interval " + format("%.6g", in.shift_low) + " .. " +
                             format("%.6g", in.shift_high) + " s)"
                       : " (fitted, 95 % interval open)";
        }
        out += "; " + std::to_string(in.skipped_points) + " points before it left out\n";
    }
    if (result.step_error_estimated) {
        out += "time-step error:    the line-4 value is " +
               format("%.3g", 100.0 * (result.coefficient / result.step_zero_coefficient - 1.0)) +
               " % off the physical problem's (" + format("%.10g", result.step_zero_coefficient) +
               " at step 0, from a run with a 4 times finer step; bound " +
               format("%.2g", 100.0 * result.step_error_bound) + " %, in the physical interval)\n";
    }
    out += "correlated residuals: lag-1 autocorrelation " + format("%.3f", result.residual_autocorrelation) +
           ", intervals widened " + format("%.3g", result.interval_scale) + " times (" +
           format("%.0f", result.effective_points) + " effective points)\n";
    out += "RMS residual:       " + format("%.4g", result.rms_residual) + " K\n";
    out += "largest residual:   " + format("%.4g", result.largest_residual) + " K at " +
           format("%g", problem.times[result.largest_at]) + " s (line " + std::to_string(in.lines[result.largest_at]) +
           ")\n";
    out += "model runs:         " + std::to_string(result.model_runs) + " (up to " +
           std::to_string(result.steps_per_run) + " steps each)\n";
    out += "residuals:          lag-1 autocorrelation " + format("%.3f", in.diagnostics.lag1_autocorrelation) +
           ", runs test z " + format("%.3g", in.diagnostics.runs_z) + ", RMS " +
           format("%.3g", in.diagnostics.swing > 0.0 ? 100.0 * result.rms_residual / in.diagnostics.swing : 0.0) +
           " % of the swing\n";
    out += "time taken:         " + format("%.3f", in.seconds) + " s\n";
    if (result.on_boundary) out += "warning: " + boundary_notice(result) + "\n";
    for (const FitWarning& warning : in.warnings) out += "warning: " + warning.message + " [" + warning.code + "]\n";
    return out;
}

std::string fit_report_json(const FitReportInput& in) {
    const FitProblem& problem = *in.problem;
    const FitResult& result = *in.result;
    const model::ParameterSet& p = problem.parameters;
    std::string out = "{\n";
    out += "  \"curve\": " + json_string(in.curve_file) + ",\n";
    out += "  \"position\": \"" + std::string(position_name(problem.position)) + "\",\n";
    out += "  \"points\": " + std::to_string(problem.times.size()) + ",\n";
    out +=
        "  \"curve_format\": {\"separator\": " + std::string(in.semicolons ? "\"semicolon\"" : "\"comma or blank\"") +
        ", \"decimal_mark\": " + (in.decimal_comma ? "\"comma\"" : "\"point\"") +
        ", \"header_rows\": " + std::to_string(in.header_rows) + ", \"columns\": [" + std::to_string(in.time_column) +
        ", " + std::to_string(in.temperature_column) + "]},\n";
    out += "  \"first_time\": " + json_number(problem.times.front()) + ",\n";
    out += "  \"last_time\": " + json_number(problem.times.back()) + ",\n";
    out += "  \"physical_coefficient\": " + json_number(result.physical_coefficient) + ",\n";
    out += "  \"physical_interval_95\": " + physical_json_interval(result.physical_low, result.physical_high) + ",\n";
    out += "  \"biot_number\": " + json_number(biot_number(p, result.physical_coefficient)) + ",\n";
    out += "  \"parameter_file_coefficient\": " + json_number(result.coefficient) + ",\n";
    out +=
        "  \"parameter_file_interval_95\": " + json_interval(result, result.interval_low, result.interval_high) + ",\n";
    out += "  \"heat_transfer_coefficient\": " + json_number(result.coefficient) + ",\n";
    out += "  \"effective_coefficient\": " + json_number(model::effective_coefficient(p, result.coefficient)) + ",\n";
    out += "  \"interval_95\": " + json_interval(result, result.interval_low, result.interval_high) + ",\n";
    out += "  \"effective_interval_95\": " +
           json_interval(result, model::effective_coefficient(p, result.interval_low),
                         model::effective_coefficient(p, result.interval_high)) +
           ",\n";
    out += "  \"time_step_error\": ";
    if (result.step_error_estimated) {
        out += "{\"finer_step_coefficient\": " + json_number(result.finer_step_coefficient) +
               ", \"step_zero_coefficient\": " + json_number(result.step_zero_coefficient) +
               ", \"relative_correction\": " + json_number(result.step_zero_coefficient / result.coefficient - 1.0) +
               ", \"bound\": " + json_number(result.step_error_bound) + "},\n";
    } else {
        out += "null,\n";
    }
    out += "  \"residual_autocorrelation\": " + json_number(result.residual_autocorrelation) + ",\n";
    out += "  \"interval_scale\": " + json_number(result.interval_scale) + ",\n";
    out += "  \"effective_points\": " + json_number(result.effective_points) + ",\n";
    out += "  \"rms_residual\": " + json_number(result.rms_residual) + ",\n";
    out += "  \"largest_residual\": {\"value\": " + json_number(result.largest_residual) +
           ", \"time\": " + json_number(problem.times[result.largest_at]) +
           ", \"line\": " + std::to_string(in.lines[result.largest_at]) + "},\n";
    out += "  \"model_runs\": " + std::to_string(result.model_runs) + ",\n";
    out += "  \"steps_per_run\": " + std::to_string(result.steps_per_run) + ",\n";
    out += "  \"shift\": " + json_number(in.shift) + ",\n";
    out += "  \"shift_interval_95\": " +
           (in.shift_fitted && std::isfinite(in.shift_low) && std::isfinite(in.shift_high)
                ? "[" + json_number(in.shift_low) + ", " + json_number(in.shift_high) + "]"
                : std::string("null")) +
           ",\n";
    out += "  \"points_before_immersion\": " + std::to_string(in.skipped_points) + ",\n";
    out +=
        "  \"residual_diagnostics\": {\"lag1_autocorrelation\": " + json_number(in.diagnostics.lag1_autocorrelation) +
        ", \"runs_z\": " + json_number(in.diagnostics.runs_z) + ", \"swing\": " + json_number(in.diagnostics.swing) +
        ", \"noise\": " + json_number(in.diagnostics.noise) + "},\n";
    out += "  \"warnings\": [";
    for (std::size_t k = 0; k < in.warnings.size(); ++k) {
        const FitWarning& w = in.warnings[k];
        out += std::string(k == 0 ? "\n" : ",\n") + "    {\"code\": " + json_string(w.code) +
               ", \"message\": " + json_string(w.message) +
               (w.parameter.empty() ? std::string() : ", \"parameter\": " + json_string(w.parameter)) + "}";
    }
    out += in.warnings.empty() ? "],\n" : "\n  ],\n";
    out += "  \"seconds\": " + format("%.6f", in.seconds) + ",\n";
    out += std::string("  \"on_boundary\": ") + (result.on_boundary ? "true" : "false") + "\n";
    out += "}\n";
    return out;
}

}  // namespace fit
