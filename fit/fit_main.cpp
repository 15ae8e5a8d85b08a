// temp1d-fit: finds the heat-transfer coefficient for which the model of a
// parameter file reproduces a measured cooling curve, and reports it.
//
//   temp1d-fit [--position centre|surface] [--from T0] [--to T1] [--json]
//              [-o FITTED.txt] [--chart FIT.svg] PARAMS.txt CURVE.csv
//
// Exit status: 0 after a successful fit, 2 for bad input or a curve that
// does not determine the coefficient, 1 when an output file cannot be
// written.  No output file is written unless the fit succeeds.
#include <cerrno>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "fit/coefficient_search.h"
#include "fit/curve_checks.h"
#include "fit/fit_chart.h"
#include "fit/fit_parameters.h"
#include "fit/fit_report.h"
#include "fit/measured_curve.h"
#include "fit/output_file.h"
#include "fit/parameter_rewrite.h"

namespace {

constexpr int status_bad_input = 2;
constexpr int status_output_failed = 1;

struct Options {
    fit::ProbePosition position = fit::ProbePosition::centre;
    double from = 0.0;
    double to = std::numeric_limits<double>::infinity();
    bool json = false;
    std::string fitted_parameters;  // -o
    std::string chart;              // --chart
    std::string parameter_file;
    std::string curve_file;
};

constexpr std::string_view usage_text =
    "usage: temp1d-fit [--position centre|surface] [--from T0] [--to T1] [--json]\n"
    "                  [-o FITTED.txt] [--chart FIT.svg] PARAMS.txt CURVE.csv\n"
    "  fits the heat-transfer coefficient of PARAMS.txt to the measured curve CURVE.csv\n"
    "  (time in s and temperature per line) and reports it with a 95 % interval.\n";

int complain(const std::string& message) {
    std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
    return status_bad_input;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "temp1d-fit: %s\n%.*s", message.c_str(), static_cast<int>(usage_text.size()),
                 usage_text.data());
    return status_bad_input;
}

bool parse_time(const char* text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *text != '\0' && *end == '\0' && errno != ERANGE && std::isfinite(value);
}

// Returns -1 when the options are good, else the exit status; `--help`
// gives 0.
int parse_options(int argc, char** argv, Options& options) {
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool has_value = i + 1 < argc;
        if (argument == "-h" || argument == "--help") {
            std::fwrite(usage_text.data(), 1, usage_text.size(), stdout);
            return 0;
        } else if (argument == "--position") {
            if (!has_value) return usage_error("--position needs centre or surface");
            const std::string_view value = argv[++i];
            if (value == "centre")
                options.position = fit::ProbePosition::centre;
            else if (value == "surface")
                options.position = fit::ProbePosition::surface;
            else
                return usage_error("--position must be centre or surface, not \"" + std::string(value) + "\"");
        } else if (argument == "--from" || argument == "--to") {
            if (!has_value) return usage_error(std::string(argument) + " needs a time in seconds");
            double& target = argument == "--from" ? options.from : options.to;
            if (!parse_time(argv[++i], target)) {
                return usage_error(std::string(argument) + " needs a time in seconds, not \"" + argv[i] + "\"");
            }
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "-o" || argument == "--chart") {
            if (!has_value || argv[i + 1][0] == '\0') return usage_error(std::string(argument) + " needs a file name");
            (argument == "-o" ? options.fitted_parameters : options.chart) = argv[++i];
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usage_error("unknown option " + std::string(argument));
        } else {
            operands.emplace_back(argument);
        }
    }
    if (operands.size() != 2) return usage_error("needs a parameter file and a curve file");
    options.parameter_file = operands[0];
    options.curve_file = operands[1];
    if (!(options.from < options.to)) return usage_error("--from must be smaller than --to");
    return -1;
}

int run_fit(const Options& options) {
    const auto started = std::chrono::steady_clock::now();

    const fit::FitParameters fit_parameters = fit::read_fit_parameters(options.parameter_file);
    if (!fit_parameters.error.empty()) {
        // The same report line as the simulation program's.
        std::fputs(fit_parameters.error.c_str(), stderr);
        return status_bad_input;
    }
    if (const std::string refusal = fit::refusal_of_parameters(fit_parameters.parameters); !refusal.empty()) {
        return complain(options.parameter_file + ": cannot fit: " + refusal);
    }
    if (!options.fitted_parameters.empty() && !fit_parameters.coefficient_rewritable) {
        return complain(options.parameter_file +
                        ": the heat-transfer coefficient is not written as a plain number; -o cannot rewrite it");
    }

    const fit::CurveReading reading = fit::read_measured_curve(options.curve_file);
    if (!reading.error.empty()) return complain(reading.error);

    fit::FitProblem problem;
    problem.parameters = fit_parameters.parameters;
    problem.position = options.position;
    std::vector<int> lines;
    if (const std::string message =
            fit::select_window(reading.curve, options.curve_file, options.from, options.to, problem, lines);
        !message.empty()) {
        return complain(message);
    }
    if (const std::string refusal = fit::refusal_of_curve(problem, options.curve_file); !refusal.empty()) {
        return complain(refusal);
    }

    const fit::FitResult result = fit::fit_coefficient(problem);
    fit::FitReportInput report{&problem, &result, options.curve_file, lines, 0.0};
    if (result.on_boundary) {
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const std::string text = options.json ? fit::fit_report_json(report) : fit::fit_report_text(report);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return complain(options.curve_file + ": " + fit::boundary_notice(result) + "; nothing written");
    }

    std::vector<fit::PendingOutput> outputs;
    if (!options.fitted_parameters.empty()) {
        outputs.push_back({options.fitted_parameters, {}});
        const std::string message =
            fit::stage_output(outputs.back(), fit::rewrite_coefficient(fit_parameters, result.coefficient));
        if (!message.empty()) {
            fit::discard_outputs(outputs);
            std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
            return status_output_failed;
        }
    }
    if (!options.chart.empty()) {
        model::ParameterSet fitted = problem.parameters;
        fitted.heat_transfer_coefficient = result.coefficient;
        fit::RecordSink records;
        records.until = problem.times.back();
        fit::run_model_into(fitted, problem.position, records);
        const fit::FitChartInput chart{&problem, &result, &records, options.curve_file};
        outputs.push_back({options.chart, {}});
        const std::string message = fit::stage_output(outputs.back(), fit::fit_chart_svg(chart));
        if (!message.empty()) {
            fit::discard_outputs(outputs);
            std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
            return status_output_failed;
        }
    }
    if (const std::string message = fit::commit_outputs(outputs); !message.empty()) {
        std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
        return status_output_failed;
    }

    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string text = options.json ? fit::fit_report_json(report) : fit::fit_report_text(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : status_output_failed;
}

}  // namespace

int main(int argc, char** argv) {
    std::fesetround(FE_TONEAREST);
    Options options;
    if (const int status = parse_options(argc, argv, options); status >= 0) return status;
    try {
        return run_fit(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "temp1d-fit: out of memory\n");
        return status_output_failed;
    }
}
