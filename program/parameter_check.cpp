#include "program/parameter_check.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "model/parameter_file.h"
#include "model/result_file.h"
#include "program/outcomes.h"
#include "program/progress.h"
#include "textio/failure_report.h"
#include "textio/file_channel.h"
#include "textio/posix_file.h"

namespace program {

using model::derive_model_setup;
using model::ModelSetup;
using model::parameter_fields;
using model::ParameterField;
using model::parameter_file_name;
using model::parameter_file_unit;
using model::ParameterSet;

namespace {

using textio::ValueSource;

// The most of the parameter file that --check keeps to place the values:
// far more than any real parameter file, far less than memory.
constexpr std::size_t kept_text_limit = 1024 * 1024;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Line and column (both from 1) of byte `offset` of `text`.
void locate(std::string_view text, std::size_t offset, int& line, int& column) {
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t line_start = before.rfind('\n');
    column = static_cast<int>(offset - (line_start == std::string_view::npos ? 0 : line_start + 1)) + 1;
}

// A token as it may be shown: bytes outside printable ASCII as "?".
std::string printable(std::string_view text) {
    std::string shown;
    for (char c : text) shown += (c >= ' ' && c <= '~') ? c : '?';
    return shown;
}

std::string field_title(const ParameterField& field) {
    return std::string(field.meaning) + " (" + std::string(field.name) + ")";
}

std::string place_text(int line, int column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

void add_warning(CheckReport& report, std::string code, int field, const CheckedValue* value, std::string message) {
    CheckWarning warning;
    warning.code = std::move(code);
    warning.field = field;
    if (value != nullptr && value->position_known) {
        warning.line = value->line;
        warning.column = value->column;
    }
    warning.message = std::move(message);
    report.warnings.push_back(std::move(warning));
}

// The warnings about one value and about the text its read left unread.
void warn_about_value(CheckReport& report, int index, std::string_view text) {
    const ParameterField& field = parameter_fields[static_cast<std::size_t>(index)];
    const CheckedValue& checked = report.values[static_cast<std::size_t>(index)];
    const textio::ValueOrigin& origin = checked.origin;
    const std::string title = field_title(field);
    const std::string shown_value = exact_number_text(checked.value);

    if (origin.source == ValueSource::truth_word || origin.repeated_truth) {
        add_warning(report, "truth_word", index, &checked,
                    title + " = " + shown_value + " was read from the word \"" + checked.token +
                        "\" (a word that begins with T or F is a truth value)");
    }
    if (checked.position_known && origin.source != ValueSource::untouched && checked.line != field.line) {
        add_warning(report, "other_line", index, &checked,
                    title + " = " + shown_value + " was taken from line " + std::to_string(checked.line) +
                        ", not from its own line " + std::to_string(field.line));
    }
    const bool has_number = origin.source == ValueSource::number ||
                            (origin.source == ValueSource::repeat && !origin.repeated_null && !origin.repeated_truth);
    if (checked.position_known && has_number && origin.end > origin.begin && origin.end + 1 < text.size() &&
        text[origin.end] == ',' && is_digit(text[origin.end - 1]) && is_digit(text[origin.end + 1])) {
        int comma_line = 0, comma_column = 0;
        locate(text, origin.end, comma_line, comma_column);
        add_warning(report, "decimal_comma", index, &checked,
                    title + " = " + shown_value + ": the comma at " + place_text(comma_line, comma_column) +
                        " stands between digits; a comma separates values and is no decimal mark");
    }
    if (field.must_not_be_negative && checked.value < 0.0) {
        add_warning(report, "negative", index, &checked,
                    title + " = " + shown_value + " is negative, which has no physical meaning");
    }
}

// Digits right after the values of a read are left unread: "5 000" reads
// as 5.
void warn_about_unread_digits(CheckReport& report, const textio::ReadRecord& read, std::string_view text) {
    if (read.value_count == 0) return;
    const std::size_t last = read.first_value + read.value_count - 1;
    const int index = static_cast<int>(last);
    const CheckedValue& checked = report.values[last];
    if (!checked.position_known || checked.origin.source == ValueSource::untouched) return;
    if (checked.origin.source == ValueSource::null_value) return;
    std::size_t at = read.end;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at >= text.size() || !is_digit(text[at])) return;
    std::size_t stop = at;
    while (stop < text.size() && text[stop] != '\n' && text[stop] != '\r' && text[stop] != ' ' && text[stop] != '\t') {
        ++stop;
    }
    int line = 0, column = 0;
    locate(text, at, line, column);
    const ParameterField& field = parameter_fields[last];
    add_warning(report, "unread_digits", index, &checked,
                field_title(field) + " = " + exact_number_text(checked.value) + ": the text \"" +
                    printable(text.substr(at, stop - at)) + "\" at " + place_text(line, column) +
                    " after it is not read (a blank inside a number ends it)");
}

RunForecast forecast_run(const ParameterSet& p, double seconds_per_step) {
    RunForecast forecast;
    forecast.setup = derive_model_setup(p);
    const ModelSetup& s = forecast.setup;
    // The medium of each step is chosen by the running sum of the time
    // steps, exactly as the time loop does.
    double time = 0.0;
    for (std::int64_t step = 1; step <= s.step_count; ++step) {
        if (time >= p.first_phase_duration) {
            forecast.switch_step = step;
            forecast.switch_time = time;
            break;
        }
        time = s.time_step + time;
    }
    forecast.effective_coefficient = model::effective_coefficient(p, p.heat_transfer_coefficient);
    forecast.biot_number = (forecast.effective_coefficient * (p.outer_radius - p.inner_radius)) / p.conductivity;
    forecast.result_file_bytes = model::result_file_size(s.step_count);
    forecast.estimated_seconds = estimated_run_seconds(s, seconds_per_step);
    return forecast;
}

void warn_about_run(CheckReport& report) {
    const std::int32_t steps = report.forecast.setup.step_count;
    if (steps <= 0) {
        add_warning(report, "no_steps", -1, nullptr,
                    "the run takes no time step (step count " + std::to_string(steps) +
                        "): the result file gets no record");
    } else if (steps > many_steps) {
        add_warning(report, "many_steps", -1, nullptr,
                    "the run takes " + std::to_string(steps) + " time steps, more than " + std::to_string(many_steps));
    }
}

std::string_view source_key(const textio::ValueOrigin& origin) {
    switch (origin.source) {
        case ValueSource::untouched: return "not_reached";
        case ValueSource::number: return "number";
        case ValueSource::truth_word: return "truth_word";
        case ValueSource::null_value: return "null";
        case ValueSource::repeat: return "repeat";
    }
    return "number";
}

// How a value came about, in words.
std::string origin_text(const CheckedValue& checked) {
    const textio::ValueOrigin& origin = checked.origin;
    if (!checked.position_known && origin.source != ValueSource::untouched) {
        return "beyond the first " + std::to_string(kept_text_limit / 1024) +
               " KiB of the file (its place is not shown)";
    }
    std::string where = checked.position_known ? place_text(checked.line, checked.column) : std::string();
    switch (origin.source) {
        case ValueSource::untouched: return "not reached: a slash ended the read, the value stays 0";
        case ValueSource::null_value: return "null value at " + where + ", the value stays 0";
        case ValueSource::truth_word: return "truth word \"" + checked.token + "\" at " + where;
        case ValueSource::repeat:
            if (origin.repeated_null)
                return "repeated null \"" + checked.token + "\" at " + where + ", the value stays 0";
            return std::string(origin.repeated_truth ? "repeated truth word \"" : "repeat \"") + checked.token +
                   "\" at " + where;
        case ValueSource::number: break;
    }
    return "\"" + checked.token + "\" at " + where;
}

std::string json_string(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            // Bytes of the file are not necessarily UTF-8: each byte is shown
            // as the code point of the same number.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// A JSON number, or a JSON string for the values that have none.
std::string json_number(double value) {
    if (!std::isfinite(value)) return "\"" + exact_number_text(value) + "\"";
    return exact_number_text(value);
}

std::string json_position(bool known, int number) { return known ? std::to_string(number) : "null"; }

}  // namespace

std::string exact_number_text(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0.0 ? "-Infinity" : "Infinity";
    // A negative zero keeps its sign and reads back as a real number.
    if (value == 0.0) return std::signbit(value) ? "-0.0" : "0";
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

CheckReport analyse_parameters(const ParameterSet& parameters, const textio::ReadProvenance& provenance,
                               std::string_view text, bool text_known, double seconds_per_step) {
    CheckReport report;
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) {
        CheckedValue& checked = report.values[i];
        checked.value = parameters.*parameter_fields[i].member;
        if (i < provenance.values.size()) checked.origin = provenance.values[i];
        // A value beyond the text kept has no known place.
        if (text_known && checked.origin.source != ValueSource::untouched && checked.origin.end <= text.size()) {
            checked.position_known = true;
            locate(text, checked.origin.begin, checked.line, checked.column);
            const std::size_t end = std::min(checked.origin.end, text.size());
            const std::size_t begin = std::min(checked.origin.begin, end);
            checked.token = printable(text.substr(begin, end - begin));
        }
    }
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) warn_about_value(report, static_cast<int>(i), text);
    if (text_known) {
        for (const textio::ReadRecord& read : provenance.reads) warn_about_unread_digits(report, read, text);
    }
    // Warnings in the order of the fields; the run's own come after them.
    std::stable_sort(report.warnings.begin(), report.warnings.end(),
                     [](const CheckWarning& a, const CheckWarning& b) { return a.field < b.field; });
    report.forecast = forecast_run(parameters, seconds_per_step);
    warn_about_run(report);
    return report;
}

std::string check_report_text(const CheckReport& report) {
    std::string out = "Parameter file " + report.parameter_file + "\n\n";
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) {
        const ParameterField& field = parameter_fields[i];
        const CheckedValue& checked = report.values[i];
        std::string line = "  " + std::string(field.meaning) + ":";
        line.resize(std::max<std::size_t>(line.size(), 32), ' ');
        line += exact_number_text(checked.value) + " " + std::string(field.unit);
        line.resize(std::max<std::size_t>(line.size() + 2, 56), ' ');
        line += "from " + origin_text(checked);
        out += line + "\n";
    }
    out += "\n";
    for (const CheckWarning& warning : report.warnings) {
        out += "warning: ";
        if (warning.line > 0) out += place_text(warning.line, warning.column) + ": ";
        out += warning.message + "\n";
    }
    if (!report.warnings.empty()) out += "\n";

    const RunForecast& f = report.forecast;
    const ModelSetup& s = f.setup;
    auto row = [&out](std::string_view label, const std::string& value) {
        std::string line = "  " + std::string(label) + ":";
        line.resize(std::max<std::size_t>(line.size() + 1, 32), ' ');
        out += line + value + "\n";
    };
    out += "The run will do:\n";
    row("diffusivity", exact_number_text(s.diffusivity) + " m2/s");
    row("element length", exact_number_text(s.element_length) + " m");
    row("reference step", exact_number_text(s.reference_step) + " s");
    row("step count", std::to_string(s.step_count));
    row("time step", exact_number_text(s.time_step) + " s");
    row("end time", exact_number_text(s.total_time) + " s");
    row("medium changes", f.switch_step ? "at step " + std::to_string(*f.switch_step) + " (time " +
                                              exact_number_text(f.switch_time) + " s)"
                                        : std::string("never"));
    row("effective coefficient", exact_number_text(f.effective_coefficient) + " W/(m2 K) (2 h R / (R - inner radius))");
    row("Biot number", exact_number_text(f.biot_number));
    row("result file size", std::to_string(f.result_file_bytes) + " bytes");
    char estimate[64];
    std::snprintf(estimate, sizeof estimate, "%.3g s on this machine", f.estimated_seconds);
    row("estimated run time", estimate);
    out += "\n";
    out += report.warnings.empty() ? std::string("No warnings.\n")
                                   : std::to_string(report.warnings.size()) +
                                         (report.warnings.size() == 1 ? " warning.\n" : " warnings.\n");
    return out;
}

std::string check_report_json(const CheckReport& report) {
    std::string out = "{\n";
    out += "  \"program\": \"temp1d\",\n";
    out += "  \"parameter_file\": " + json_string(report.parameter_file) + ",\n";
    out += "  \"parameters\": [\n";
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) {
        const ParameterField& field = parameter_fields[i];
        const CheckedValue& c = report.values[i];
        out += "    {\"name\": " + json_string(field.name) + ", \"meaning\": " + json_string(field.meaning) +
               ", \"unit\": " + json_string(field.unit) + ", \"value\": " + json_number(c.value) +
               ", \"own_line\": " + std::to_string(field.line) + ", \"source\": \"" +
               std::string(source_key(c.origin)) + "\", \"line\": " + json_position(c.position_known, c.line) +
               ", \"column\": " + json_position(c.position_known, c.column) +
               ", \"token\": " + (c.position_known ? json_string(c.token) : std::string("null")) + "}" +
               (i + 1 < parameter_fields.size() ? ",\n" : "\n");
    }
    out += "  ],\n";
    out += "  \"warnings\": [";
    for (std::size_t i = 0; i < report.warnings.size(); ++i) {
        const CheckWarning& w = report.warnings[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"code\": " + json_string(w.code) + ", \"parameter\": " +
               (w.field >= 0 ? json_string(parameter_fields[static_cast<std::size_t>(w.field)].name)
                             : std::string("null")) +
               ", \"line\": " + json_position(w.line > 0, w.line) +
               ", \"column\": " + json_position(w.line > 0, w.column) + ", \"message\": " + json_string(w.message) +
               "}";
    }
    out += report.warnings.empty() ? "],\n" : "\n  ],\n";
    const RunForecast& f = report.forecast;
    const ModelSetup& s = f.setup;
    out += "  \"run\": {\n";
    out += "    \"diffusivity\": " + json_number(s.diffusivity) + ",\n";
    out += "    \"element_length\": " + json_number(s.element_length) + ",\n";
    out += "    \"reference_step\": " + json_number(s.reference_step) + ",\n";
    out += "    \"step_count\": " + std::to_string(s.step_count) + ",\n";
    out += "    \"time_step\": " + json_number(s.time_step) + ",\n";
    out += "    \"end_time\": " + json_number(s.total_time) + ",\n";
    out += "    \"switch_step\": " + (f.switch_step ? std::to_string(*f.switch_step) : std::string("null")) + ",\n";
    out += "    \"switch_time\": " + (f.switch_step ? json_number(f.switch_time) : std::string("null")) + ",\n";
    out += "    \"effective_heat_transfer_coefficient\": " + json_number(f.effective_coefficient) + ",\n";
    out += "    \"biot_number\": " + json_number(f.biot_number) + ",\n";
    out += "    \"result_file_bytes\": " + std::to_string(f.result_file_bytes) + ",\n";
    out += "    \"estimated_seconds\": " + json_number(f.estimated_seconds) + "\n";
    out += "  },\n";
    out += "  \"status\": " + std::string(report.warnings.empty() ? "0" : "1") + "\n";
    out += "}\n";
    return out;
}

std::uint32_t run_parameter_check(bool json) {
    // The same read as a run, through the same channel and relative name
    // (its failures end the work with the same report and status), except
    // that a missing file is not created: it gets the report of a file that
    // cannot be found.  What the read takes from the file is also kept, up
    // to a limit, to place the values in lines and columns; the file is read
    // once, so pipes and devices are placed as well, and a huge file costs
    // no more memory than the limit.
    std::string text;
    textio::ReadProvenance provenance;
    ParameterSet parameters;
    std::string full_path;
    {
        textio::Channel& channel = textio::open_existing_unit(parameter_file_unit, parameter_file_name);
        full_path = channel.full_path;
        channel.input_copy = &text;
        channel.input_copy_limit = kept_text_limit;
        textio::FreeFormReader reader = textio::make_channel_reader(channel);
        reader.provenance = &provenance;
        const textio::ReadOutcome outcome = read_parameter_set(reader, parameters);
        channel.input_copy = nullptr;
        if (outcome != textio::ReadOutcome::ok) {
            textio::report_failure(textio::failure_number_of(outcome), channel.unit, channel.full_path);
        }
        textio::close_unit(parameter_file_unit);
    }
    const bool text_known = true;

    CheckReport report = analyse_parameters(parameters, provenance, text, text_known, measure_seconds_per_step());
    report.parameter_file = full_path;
    textio::stop_if_interrupted();
    write_standard_output(json ? check_report_json(report) : check_report_text(report));
    return report.warnings.empty() ? status_success : status_check_warnings;
}

}  // namespace program
