// temp1d-fit: finds the heat-transfer coefficient for which the model of a
// parameter file reproduces a measured cooling curve, and reports it.
//
//   temp1d-fit [--position centre|surface] [--from T0] [--to T1] [--json]
//              [--shift auto|SECONDS] [--columns TIME,TEMP]
//              [-o FITTED.txt] [--chart FIT.svg] [--] PARAMS.txt CURVE.csv
//
// Exit status: 0 after a clean fit; 1 after a fit with warnings (structured
// residuals, a set-up or unit hint, a bore, an open end of the interval, a
// model too coarse for the curve), every output written; 2 for bad input, a curve that
// does not determine the coefficient or a refused output target, nothing
// written; 3 when the report or an output file cannot be written, nothing
// replaced.  INT, TERM and HUP end the fit by the same signal, with one line
// on standard error, no temporary file left and nothing replaced (unless
// the signal comes once the outputs are being renamed into place: then they
// are all renamed, and the line says so).
#include <cerrno>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "fit/boiling_curve_main.h"
#include "fit/coefficient_search.h"
#include "fit/curve_checks.h"
#include "fit/fit_chart.h"
#include "fit/fit_diagnostics.h"
#include "fit/fit_parameters.h"
#include "fit/coefficient_fit_run.h"
#include "fit/fit_report.h"
#include "fit/interruption.h"
#include "fit/measured_curve.h"
#include "fit/output_file.h"
#include "fit/parameter_rewrite.h"
#include "fit/shift_search.h"

namespace {

#ifndef TEMP1D_VERSION
#error "TEMP1D_VERSION must be defined by the build (the project version)"
#endif

constexpr int status_warning = 1;
constexpr int status_bad_input = 2;
constexpr int status_output_failed = 3;

struct Options {
    fit::ProbePosition position = fit::ProbePosition::centre;
    double from = 0.0;
    double to = std::numeric_limits<double>::infinity();
    bool json = false;
    using Shift = fit::ShiftMode;
    Shift shift_mode = Shift::none;
    double shift = 0.0;             // --shift SECONDS
    fit::CurveColumns columns;      // --columns
    std::string fitted_parameters;  // -o
    std::string chart;              // --chart
    std::string parameter_file;
    std::string curve_file;
};

constexpr std::string_view usage_text =
    "usage: temp1d-fit [--position centre|surface] [--from T0] [--to T1] [--json]\n"
    "                  [--shift auto|SECONDS] [--columns TIME,TEMP]\n"
    "                  [-o FITTED.txt] [--chart FIT.svg] [--] PARAMS.txt CURVE.csv\n"
    "       temp1d-fit --boiling-curve ... (see temp1d-fit --boiling-curve --help)\n"
    "       temp1d-fit --help | --version\n"
    "  fits the heat-transfer coefficient of PARAMS.txt to the measured curve CURVE.csv\n"
    "  (time in s and temperature per line) and reports it with a 95 % interval.\n";

constexpr std::string_view version_text = "temp1d-fit " TEMP1D_VERSION "\n";

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

// Writes `text` to standard output and flushes it: 0, or status 3 with one
// line on standard error when it cannot be written (a full device, a
// closed standard output, a pipe without a reader).
int write_standard_output(std::string_view text, const char* what) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return 0;
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(stdout);
    if (fit::interruption_signal() != 0) return 0;  // the caller looks at the note next
    std::fprintf(stderr, "temp1d-fit: %s cannot be written: %s\n", what, std::strerror(error));
    return status_output_failed;
}

// Returns -1 when the options are good, else the exit status; `--help`
// and `--version` give 0.
int parse_options(int argc, char** argv, Options& options) {
    std::vector<std::string> operands;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool has_value = i + 1 < argc;
        if (options_ended) {
            operands.emplace_back(argument);
        } else if (argument == "--") {
            options_ended = true;
        } else if (argument == "-h" || argument == "--help") {
            return write_standard_output(usage_text, "the usage");
        } else if (argument == "--version") {
            return write_standard_output(version_text, "the version");
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
        } else if (argument == "--shift") {
            if (!has_value) return usage_error("--shift needs auto or a time in seconds");
            const std::string_view value = argv[++i];
            if (value == "auto") {
                options.shift_mode = Options::Shift::fitted;
            } else if (parse_time(argv[i], options.shift)) {
                options.shift_mode = Options::Shift::given;
            } else {
                return usage_error("--shift needs auto or a time in seconds, not \"" + std::string(value) + "\"");
            }
        } else if (argument == "--columns") {
            if (!has_value) return usage_error("--columns needs TIME,TEMP (column numbers from 1)");
            const std::string value = argv[++i];
            int time = 0, temperature = 0, consumed = 0;
            if (std::sscanf(value.c_str(), "%3d,%3d%n", &time, &temperature, &consumed) != 2 ||
                consumed != static_cast<int>(value.size()) || time < 1 || temperature < 1 || time == temperature ||
                value.find_first_of(" +-") != std::string::npos) {
                return usage_error("--columns needs TIME,TEMP, two different column numbers from 1, not \"" + value +
                                   "\"");
            }
            options.columns = {time, temperature, true};
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

// The end of an interrupted fit: the temporary files go, one line, and the
// process ends by the signal.
[[noreturn]] void end_interrupted(std::vector<fit::PendingOutput>& outputs, bool committed) {
    const int signal = fit::interruption_signal();
    fit::discard_outputs(outputs);
    std::fprintf(stderr, "temp1d-fit: interrupted by %s; %s\n", fit::signal_name(signal),
                 committed ? "the outputs had been written" : "nothing written");
    fit::end_by_signal(signal);
}

// The outputs never replace an input: the parameter file and the curve
// file, by their device and inode.
std::string refusal_of_outputs(const Options& options) {
    std::vector<std::string> targets;
    if (!options.fitted_parameters.empty()) targets.push_back(options.fitted_parameters);
    if (!options.chart.empty()) targets.push_back(options.chart);
    return fit::refusal_of_targets(
        targets, {{options.parameter_file, "the parameter file"}, {options.curve_file, "the curve file"}});
}

int run_fit(const Options& options) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<fit::PendingOutput> outputs;
    const auto check_interruption = [&outputs] {
        if (fit::interruption_signal() != 0) end_interrupted(outputs, false);
    };

    if (const std::string refusal = refusal_of_outputs(options); !refusal.empty()) return complain(refusal);

    const fit::FitParameters fit_parameters = fit::read_fit_parameters(options.parameter_file);
    check_interruption();
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

    const fit::CurveReading reading = fit::read_measured_curve(options.curve_file, options.columns);
    check_interruption();
    if (!reading.error.empty()) return complain(reading.error);

    fit::FitSettings settings;
    settings.curve_file = options.curve_file;
    settings.position = options.position;
    settings.from = options.from;
    settings.to = options.to;
    settings.shift_mode = options.shift_mode;
    settings.shift = options.shift;
    settings.columns = options.columns;
    fit::FitRun run;
    fit::run_coefficient_fit(run, fit_parameters.parameters, reading, settings);
    check_interruption();
    if (!run.refusal.empty()) return complain(run.refusal);
    const fit::FitProblem& problem = run.problem;
    const fit::FitResult& result = run.result;
    fit::FitReportInput& report = run.report;
    if (result.on_boundary) {
        report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const std::string text = options.json ? fit::fit_report_json(report) : fit::fit_report_text(report);
        const int status = write_standard_output(text, "the report");
        check_interruption();
        if (status != 0) return status;
        // The report has every warning; standard error adds the unit hints
        // to the refusal, the likeliest reason for a curve that no
        // coefficient fits.
        for (const fit::FitWarning& warning : report.warnings) {
            if (warning.code.rfind("unit_", 0) != 0) continue;
            std::fprintf(stderr, "temp1d-fit: warning: %s: %s\n", options.curve_file.c_str(), warning.message.c_str());
        }
        return complain(options.curve_file + ": " + fit::boundary_notice(result) + "; nothing written");
    }

    // Every output is staged, then the report is written, and only then are
    // the outputs renamed into place: a report that cannot be written
    // leaves every target as it was.
    if (!options.fitted_parameters.empty()) {
        outputs.push_back({options.fitted_parameters, {}});
        const std::string message =
            fit::stage_output(outputs.back(), fit::rewrite_coefficient(fit_parameters, result.coefficient));
        check_interruption();
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
        check_interruption();
        const fit::FitChartInput chart{&problem, &result, &records, options.curve_file};
        outputs.push_back({options.chart, {}});
        const std::string message = fit::stage_output(outputs.back(), fit::fit_chart_svg(chart));
        check_interruption();
        if (!message.empty()) {
            fit::discard_outputs(outputs);
            std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
            return status_output_failed;
        }
    }

    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string text = options.json ? fit::fit_report_json(report) : fit::fit_report_text(report);
    const int report_status = write_standard_output(text, "the report");
    check_interruption();
    if (report_status != 0) {
        fit::discard_outputs(outputs);
        return report_status;
    }

    // The targets are looked at once more: one may have been replaced by a
    // link or a folder while the fit ran.
    if (const std::string refusal = refusal_of_outputs(options); !refusal.empty()) {
        fit::discard_outputs(outputs);
        return complain(refusal + "; nothing written");
    }
    check_interruption();
    if (const std::string message = fit::commit_outputs(outputs); !message.empty()) {
        std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
        return status_output_failed;
    }
    // A signal during the renames lets them finish; the process still ends
    // by it.
    if (fit::interruption_signal() != 0) end_interrupted(outputs, !outputs.empty());

    for (const fit::FitWarning& warning : report.warnings) {
        std::fprintf(stderr, "temp1d-fit: warning: %s: %s\n", options.curve_file.c_str(), warning.message.c_str());
    }
    return report.warnings.empty() ? 0 : status_warning;
}

// A standard stream that is closed at the start gets a descriptor that
// cannot be written, so that no file of the fit takes its number and a
// report meant for it fails instead of landing in that file.
void hold_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0) continue;
        const int held = ::open("/", O_PATH | O_DIRECTORY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::fesetround(FE_TONEAREST);
    hold_standard_descriptors();
    // A pipe without a reader makes the write fail (status 3) instead of
    // ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    fit::install_interruption_handlers();
    if (fit::wants_boiling_curve(argc, argv)) return fit::boiling_curve_main(argc, argv);
    Options options;
    if (const int status = parse_options(argc, argv, options); status >= 0) {
        std::vector<fit::PendingOutput> none;
        if (fit::interruption_signal() != 0) end_interrupted(none, false);
        return status;
    }
    try {
        return run_fit(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "temp1d-fit: out of memory; nothing written\n");
        return status_output_failed;
    }
}
