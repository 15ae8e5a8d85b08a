#include "fit/boiling_curve_main.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "fit/boiling_curve_fit.h"
#include "fit/boiling_curve_report.h"
#include "fit/curve_checks.h"
#include "fit/fit_parameters.h"
#include "fit/input_file.h"
#include "fit/interruption.h"
#include "fit/measured_curve.h"
#include "fit/output_file.h"
#include "fit/table_sampling.h"

namespace fit {

namespace {

constexpr int status_warning = 1;
constexpr int status_bad_input = 2;
constexpr int status_output_failed = 3;

struct Options {
    ProbePosition position = ProbePosition::centre;
    double from = 0.0;
    double to = std::numeric_limits<double>::infinity();
    bool json = false;
    int nodes = 0;
    std::string table_out;
    std::string chart;
    std::string conductivity_table;
    std::string specific_heat_table;
    std::string parameter_file;
    std::string curve_file;
};

constexpr std::string_view usage_text =
    "usage: temp1d-fit --boiling-curve [--nodes N] [--table-out FILE]\n"
    "                  [--conductivity-table FILE] [--specific-heat-table FILE]\n"
    "                  [--position centre|surface] [--from T0] [--to T1] [--json]\n"
    "                  [--chart FIT.svg] [--] PARAMS.txt CURVE.csv\n"
    "  fits the surface heat-transfer coefficient against the surface temperature\n"
    "  (a table of N nodes, linear between them, as temp1d --coefficient-table reads\n"
    "  it) to the measured curve CURVE.csv and reports it with 95 % intervals.\n";

int complain(const std::string& message) {
    std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
    return status_bad_input;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "temp1d-fit: %s\n%.*s", message.c_str(), static_cast<int>(usage_text.size()),
                 usage_text.data());
    return status_bad_input;
}

bool parse_number(const char* text, double& value) {
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *text != '\0' && *end == '\0' && errno != ERANGE && std::isfinite(value);
}

int write_standard_output(std::string_view text, const char* what) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return 0;
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(stdout);
    if (interruption_signal() != 0) return 0;
    std::fprintf(stderr, "temp1d-fit: %s cannot be written: %s\n", what, std::strerror(error));
    return status_output_failed;
}

// -1 when the options are good, else the exit status.
int parse_options(int argc, char** argv, Options& options) {
    std::vector<std::string> operands;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        const bool has_value = i + 1 < argc;
        if (options_ended) {
            operands.emplace_back(argument);
            continue;
        }
        // --name=value for the options that take a file.
        std::string inline_value;
        bool has_inline = false;
        if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string_view::npos) {
            const std::size_t at = argument.find('=');
            inline_value = std::string(argument.substr(at + 1));
            argument = argument.substr(0, at);
            has_inline = true;
        }
        const auto file_value = [&](std::string& target) {
            if (has_inline) {
                target = inline_value;
            } else if (has_value) {
                target = argv[++i];
            } else {
                target.clear();
            }
            if (target.empty()) return usage_error(std::string(argument) + " needs a file name");
            return -1;
        };
        if (argument == "--") {
            options_ended = true;
        } else if (argument == "--boiling-curve" && !has_inline) {
        } else if ((argument == "-h" || argument == "--help") && !has_inline) {
            return write_standard_output(usage_text, "the usage");
        } else if (argument == "--position") {
            const char* value = has_inline ? inline_value.c_str() : (has_value ? argv[++i] : nullptr);
            if (value == nullptr) return usage_error("--position needs centre or surface");
            if (std::string_view(value) == "centre")
                options.position = ProbePosition::centre;
            else if (std::string_view(value) == "surface")
                options.position = ProbePosition::surface;
            else
                return usage_error("--position must be centre or surface, not \"" + std::string(value) + "\"");
        } else if (argument == "--from" || argument == "--to") {
            const char* value = has_inline ? inline_value.c_str() : (has_value ? argv[++i] : nullptr);
            if (value == nullptr) return usage_error(std::string(argument) + " needs a time in seconds");
            double& target = argument == "--from" ? options.from : options.to;
            if (!parse_number(value, target)) {
                return usage_error(std::string(argument) + " needs a time in seconds, not \"" + value + "\"");
            }
        } else if (argument == "--nodes") {
            const char* value = has_inline ? inline_value.c_str() : (has_value ? argv[++i] : nullptr);
            double count = 0.0;
            if (value == nullptr || !parse_number(value, count) || count != std::floor(count) || count < fewest_nodes ||
                count > most_nodes) {
                return usage_error("--nodes needs a whole number from " + std::to_string(fewest_nodes) + " to " +
                                   std::to_string(most_nodes) +
                                   (value != nullptr ? ", not \"" + std::string(value) + "\"" : std::string()));
            }
            options.nodes = static_cast<int>(count);
        } else if (argument == "--json" && !has_inline) {
            options.json = true;
        } else if (argument == "--table-out") {
            if (const int status = file_value(options.table_out); status >= 0) return status;
        } else if (argument == "--chart") {
            if (const int status = file_value(options.chart); status >= 0) return status;
        } else if (argument == "--conductivity-table") {
            if (const int status = file_value(options.conductivity_table); status >= 0) return status;
        } else if (argument == "--specific-heat-table") {
            if (const int status = file_value(options.specific_heat_table); status >= 0) return status;
        } else if (argument == "--coefficient-table") {
            return usage_error("--coefficient-table is what --boiling-curve fits; --table-out writes it");
        } else if (argument == "-o") {
            return usage_error("-o rewrites line 4, which --boiling-curve does not use; --table-out writes the "
                               "fitted table");
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usage_error("unknown option " + std::string(argument) + " for --boiling-curve");
        } else {
            operands.emplace_back(argv[i]);
        }
    }
    if (operands.size() != 2) return usage_error("needs a parameter file and a curve file");
    options.parameter_file = operands[0];
    options.curve_file = operands[1];
    if (!(options.from < options.to)) return usage_error("--from must be smaller than --to");
    return -1;
}

[[noreturn]] void end_interrupted(std::vector<PendingOutput>& outputs, bool committed) {
    const int signal = interruption_signal();
    discard_outputs(outputs);
    std::fprintf(stderr, "temp1d-fit: interrupted by %s; %s\n", signal_name(signal),
                 committed ? "the outputs had been written" : "nothing written");
    end_by_signal(signal);
}

std::string refusal_of_outputs(const Options& options) {
    std::vector<std::string> targets;
    if (!options.table_out.empty()) targets.push_back(options.table_out);
    if (!options.chart.empty()) targets.push_back(options.chart);
    std::vector<InputFile> inputs{{options.parameter_file, "the parameter file"},
                                  {options.curve_file, "the curve file"}};
    if (!options.conductivity_table.empty()) inputs.push_back({options.conductivity_table, "the conductivity table"});
    if (!options.specific_heat_table.empty()) {
        inputs.push_back({options.specific_heat_table, "the specific-heat table"});
    }
    return refusal_of_targets(targets, inputs);
}

// Reads one material table: an empty string, or the line naming the file,
// the line and the reason.
std::string load_table(const std::string& path, model::PropertyTable& table) {
    const InputBytes input = read_input_file(path);
    if (input.interrupted) return {};
    if (input.open_error != 0) return path + ": " + std::strerror(input.open_error);
    if (input.read_error != 0) return path + ": " + std::strerror(input.read_error);
    model::TableReading reading = model::parse_property_table(input.bytes);
    if (!reading.problem.empty()) {
        return path + ": " + (reading.line > 0 ? "line " + std::to_string(reading.line) + ": " : "") + reading.problem;
    }
    table = std::move(reading.table);
    return {};
}

int run(const Options& options) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<PendingOutput> outputs;
    const auto check_interruption = [&outputs] {
        if (interruption_signal() != 0) end_interrupted(outputs, false);
    };

    if (const std::string refusal = refusal_of_outputs(options); !refusal.empty()) return complain(refusal);

    const FitParameters fit_parameters = read_fit_parameters(options.parameter_file);
    check_interruption();
    if (!fit_parameters.error.empty()) {
        std::fputs(fit_parameters.error.c_str(), stderr);
        return status_bad_input;
    }
    if (const std::string refusal = refusal_of_parameters(fit_parameters.parameters); !refusal.empty()) {
        return complain(options.parameter_file + ": cannot fit: " + refusal);
    }

    model::PropertyTable conductivity;
    model::PropertyTable specific_heat;
    BoilingCurveProblem problem;
    std::vector<std::string> material_tables;
    if (!options.conductivity_table.empty()) {
        const std::string message = load_table(options.conductivity_table, conductivity);
        check_interruption();
        if (!message.empty()) return complain(message);
        problem.materials.conductivity = &conductivity;
        material_tables.push_back("conductivity " + options.conductivity_table);
    }
    if (!options.specific_heat_table.empty()) {
        const std::string message = load_table(options.specific_heat_table, specific_heat);
        check_interruption();
        if (!message.empty()) return complain(message);
        problem.materials.specific_heat = &specific_heat;
        material_tables.push_back("specific heat " + options.specific_heat_table);
    }

    const CurveReading reading = read_measured_curve(options.curve_file);
    check_interruption();
    if (!reading.error.empty()) return complain(reading.error);

    problem.curve.parameters = fit_parameters.parameters;
    problem.curve.position = options.position;
    problem.nodes = options.nodes;
    std::vector<int> lines;
    std::size_t skipped = 0;  // points before immersion: none without a shift
    if (const std::string message = select_window(reading.curve, options.curve_file, options.from, options.to, 0.0,
                                                  problem.curve, lines, skipped);
        !message.empty()) {
        return complain(message);
    }
    if (const std::string refusal = refusal_of_curve(problem.curve, options.curve_file); !refusal.empty()) {
        return complain(refusal);
    }
    // Every node needs points to decide it: at least three per node.
    const std::size_t points = problem.curve.times.size();
    const int largest_count = static_cast<int>(std::min<std::size_t>(points / 3, most_nodes));
    if (options.nodes > largest_count || largest_count < fewest_nodes) {
        const int nodes = options.nodes > 0 ? options.nodes : fewest_nodes;
        return complain(options.curve_file + ": " + std::to_string(points) + " measured points are too few for " +
                        std::to_string(nodes) + " nodes; at least " + std::to_string(3 * nodes) + " are needed");
    }

    const BoilingCurveResult result = fit_boiling_curve(problem);
    check_interruption();
    if (!result.finite) {
        return complain(options.curve_file +
                        ": the residual is not finite (a measured value is too large to fit); nothing written");
    }
    if (!result.minimum_found) {
        return complain(options.curve_file +
                        ": no node of the table changes the model's curve, so the curve does not determine the "
                        "boiling curve; nothing written");
    }

    if (!options.table_out.empty()) {
        outputs.push_back({options.table_out, {}});
        const std::string message = stage_output(outputs.back(), boiling_curve_table_text(result));
        check_interruption();
        if (!message.empty()) {
            discard_outputs(outputs);
            std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
            return status_output_failed;
        }
    }
    if (!options.chart.empty()) {
        const model::PropertyTable table = fitted_table(result);
        model::MaterialTables tables = problem.materials;
        tables.coefficient = &table;
        RecordSink records;
        records.until = problem.curve.times.back();
        run_table_model_into(problem.curve.parameters, tables, problem.curve.position, records);
        check_interruption();
        const BoilingCurveChartInput chart{&problem, &result, &records, options.curve_file};
        outputs.push_back({options.chart, {}});
        const std::string message = stage_output(outputs.back(), boiling_curve_chart_svg(chart));
        check_interruption();
        if (!message.empty()) {
            discard_outputs(outputs);
            std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
            return status_output_failed;
        }
    }

    BoilingCurveReportInput report{&problem, &result, options.curve_file, lines, material_tables, 0.0};
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string text = options.json ? boiling_curve_report_json(report) : boiling_curve_report_text(report);
    const int report_status = write_standard_output(text, "the report");
    check_interruption();
    if (report_status != 0) {
        discard_outputs(outputs);
        return report_status;
    }
    if (const std::string refusal = refusal_of_outputs(options); !refusal.empty()) {
        discard_outputs(outputs);
        return complain(refusal + "; nothing written");
    }
    check_interruption();
    if (const std::string message = commit_outputs(outputs); !message.empty()) {
        std::fprintf(stderr, "temp1d-fit: %s\n", message.c_str());
        return status_output_failed;
    }
    if (interruption_signal() != 0) end_interrupted(outputs, !outputs.empty());

    const std::vector<std::string> warnings = boiling_curve_warnings(result);
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "temp1d-fit: warning: %s: %s\n", options.curve_file.c_str(), warning.c_str());
    }
    return warnings.empty() ? 0 : status_warning;
}

}  // namespace

bool wants_boiling_curve(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") return false;
        if (argument == "--boiling-curve") return true;
    }
    return false;
}

int boiling_curve_main(int argc, char** argv) {
    Options options;
    if (const int status = parse_options(argc, argv, options); status >= 0) {
        std::vector<PendingOutput> none;
        if (interruption_signal() != 0) end_interrupted(none, false);
        return status;
    }
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "temp1d-fit: out of memory; nothing written\n");
        return status_output_failed;
    }
}

}  // namespace fit
