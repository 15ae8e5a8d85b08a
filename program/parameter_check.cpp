#include "program/parameter_check.h"

#include <algorithm>
#include <cctype>
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

// The index in parameter_fields of the field named `name`.
constexpr std::size_t field_named(std::string_view name) {
    std::size_t index = 0;
    while (index < parameter_fields.size() && parameter_fields[index].name != name) ++index;
    return index;
}
constexpr std::size_t outer_radius_field = field_named("outer_radius");
constexpr std::size_t coefficient_field = field_named("heat_transfer_coefficient");
static_assert(outer_radius_field < parameter_fields.size() && coefficient_field < parameter_fields.size());

// The first step count that a 32-bit count does not hold.
constexpr double first_step_count_beyond_32_bits = 2147483648.0;  // 2^31

// "x" with the unit of the field.
std::string value_with_unit(const ParameterField& field, double value) {
    return exact_number_text(value) + " " + std::string(field.unit);
}

// Values far outside what any solid or quench has, most likely given in
// another unit, and an inner radius, which the model does not treat as a
// bore.  A negative value has its own warning and gets no second one here.
void warn_about_unit(CheckReport& report, int index) {
    const ParameterField& field = parameter_fields[static_cast<std::size_t>(index)];
    const CheckedValue& checked = report.values[static_cast<std::size_t>(index)];
    const double v = checked.value;
    const std::string said = field_title(field) + " = " + value_with_unit(field, v);
    auto implausible = [&](const std::string& message) {
        add_warning(report, "implausible", index, &checked, said + " " + message);
    };
    const std::string_view name = field.name;
    if (name == "inner_radius" || name == "outer_radius") {
        // A radius of up to 1000 mm reads as more than 1 m.
        if (v > 1000.0) {
            implausible("is above 1 m, larger than any bar quenched whole");
        } else if (v > largest_plausible_radius) {
            implausible("is above 1 m, larger than any bar quenched whole: in millimetres? (" + exact_number_text(v) +
                        " mm = " + exact_number_text(v / 1000.0) + " m)");
        }
    } else if (name == "heat_transfer_coefficient") {
        if (v > largest_plausible_coefficient) {
            implausible("is above 10^6 W/(m2 K), more than any quench gives (intense water sprays reach about "
                        "10^5): in another unit than W/(m2 K)?");
        }
    } else if (field.unit == "C") {
        if (v < absolute_zero) implausible("is below absolute zero (-273.15 C)");
    } else if (name == "density") {
        // The densities of solids in g/cm3 lie below 25.
        if (v >= 25.0 && v < smallest_plausible_density) {
            implausible("is below 500 kg/m3, lighter than any metal (lithium, the lightest, has 534)");
        } else if (v >= 0.0 && v < smallest_plausible_density) {
            implausible("is below 500 kg/m3, lighter than any metal (lithium, the lightest, has 534): in g/cm3? (" +
                        exact_number_text(v) + " g/cm3 = " + exact_number_text(v * 1000.0) + " kg/m3)");
        } else if (v > largest_plausible_density) {
            implausible("is above 25000 kg/m3, denser than any solid (osmium, the densest, has 22590): in another "
                        "unit than kg/m3?");
        }
    } else if (name == "specific_heat") {
        // The specific heats of solids in kJ/(kg K) lie below 5.
        if (v > 5.0 && v < smallest_plausible_specific_heat) {
            implausible("is below 50 J/(kg K), less than any solid has (lead and gold, among the lowest, have about "
                        "130)");
        } else if (v >= 0.0 && v < smallest_plausible_specific_heat) {
            implausible("is below 50 J/(kg K), less than any solid has (lead and gold, among the lowest, have about "
                        "130): in kJ/(kg K)? (" +
                        exact_number_text(v) + " kJ/(kg K) = " + exact_number_text(v * 1000.0) + " J/(kg K))");
        }
    } else if (name == "conductivity") {
        if (v > largest_plausible_conductivity) {
            implausible("is above 1000 W/(m K), more than any metal conducts (silver, the best, has 429): in another "
                        "unit than W/(m K)?");
        }
    }
    // The bore warning needs the outer radius, which a failed read may not
    // have reached.
    const bool outer_read = !report.failure || report.failure->field > static_cast<int>(outer_radius_field);
    if (name == "inner_radius" && v > 0.0 && std::isfinite(v) && outer_read) {
        const double outer = report.values[outer_radius_field].value;
        add_warning(report, "bore", index, &checked,
                    said + " is above 0: the model has no bore; it computes a solid bar of radius R - inner radius = " +
                        exact_number_text(outer - v) + " m with the surface term taken at the outer radius R = " +
                        exact_number_text(outer) + " m (effective coefficient 2 h R / (R - inner radius))");
    }
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
    warn_about_unit(report, index);
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

// The step count a run's parameters ask for, before it is made a 32-bit
// count: the quotient plus one the run truncates.
double requested_step_count(const ModelSetup& s) { return s.total_time / s.reference_step + 1.0; }

// A count of steps in words: all its digits while it has them, else three.
std::string step_count_text(double count) {
    if (count < 1e18) return std::to_string(static_cast<std::uint64_t>(count));
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", count);
    return text;
}

void warn_about_biot_number(CheckReport& report) {
    const double biot = report.forecast.biot_number;
    if (biot > largest_plausible_biot_number) {
        // On the coefficient, which the Biot number scales with.
        add_warning(report, "implausible", static_cast<int>(coefficient_field), &report.values[coefficient_field],
                    "the Biot number " + exact_number_text(biot) +
                        " is above 1000: the surface takes the temperature of the medium at once; check the units of "
                        "the radii (m), the heat-transfer coefficient (W/(m2 K)) and the conductivity (W/(m K))");
    }
}

void warn_about_run(CheckReport& report) {
    const std::int32_t steps = report.forecast.setup.step_count;
    const double requested = requested_step_count(report.forecast.setup);
    if (std::isfinite(requested) && requested >= first_step_count_beyond_32_bits) {
        // Too many for the 32-bit count: the run stops before its first step.
        // (A zero reference step, from a bar of no thickness, asks for no
        // count at all and is a run without steps.)
        add_warning(report, "many_steps", -1, nullptr,
                    "the parameters ask for " + step_count_text(std::trunc(requested)) +
                        " time steps, beyond the 32-bit range of the step count (2147483647): the run will stop at "
                        "once with status 3 (no time step taken)");
    } else if (steps <= 0) {
        add_warning(report, "no_steps", -1, nullptr,
                    "the run takes no time step (step count " + std::to_string(steps) +
                        "): the result file gets no record");
    } else if (steps > many_steps) {
        add_warning(report, "many_steps", -1, nullptr,
                    "the run takes " + std::to_string(steps) + " time steps, more than " + std::to_string(many_steps));
    }
}

// The values as read, each with its origin and, where the text kept shows
// it, its place and token.
void fill_values(CheckReport& report, const ParameterSet& parameters, const textio::ReadProvenance& provenance,
                 std::string_view text, bool text_known) {
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
}

// What ends a token of the parameter file: a blank, a tab, a comma, a
// slash, a right parenthesis or a line end.
bool ends_token(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/' || c == ')' || c == '\n'; }

// The number of lines of `text` that hold something other than blanks.
int lines_with_text(std::string_view text) {
    int count = 0;
    bool has_text = false;
    for (char c : text) {
        if (c == '\n') {
            count += has_text ? 1 : 0;
            has_text = false;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            has_text = true;
        }
    }
    return count + (has_text ? 1 : 0);
}

// Whether `token` is a number as the reader takes it: a sign, digits with
// an optional decimal point, an optional exponent.
bool is_number_token(std::string_view token) {
    std::size_t at = 0;
    auto digits = [&] {
        const std::size_t start = at;
        while (at < token.size() && is_digit(token[at])) ++at;
        return at - start;
    };
    if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
    std::size_t mantissa = digits();
    if (at < token.size() && token[at] == '.') {
        ++at;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (at < token.size() && std::string_view("eEdDqQ").find(token[at]) != std::string_view::npos) {
        ++at;
        if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
        if (digits() == 0) return false;
    }
    return at == token.size();
}

// Whether the first line begins with a number (after a UTF-8 byte order
// mark and blanks): then the title line seems to be missing.  A title such
// as "42CrMo4 bar" does not count.
bool first_line_holds_number(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::size_t begin = 0;
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    std::size_t end = begin;
    while (end < text.size() && !ends_token(text[end]) && text[end] != '\r') ++end;
    return is_number_token(text.substr(begin, end - begin));
}

// UTF-16 text starts with its byte order mark, or (text in ASCII letters)
// has a zero byte in every other place, which other binary data does not.
bool looks_like_utf16(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return true;
    const std::size_t looked_at = std::min<std::size_t>(text.size(), 256);
    std::array<std::size_t, 2> zeros{};
    for (std::size_t i = 0; i < looked_at; ++i) zeros[i % 2] += text[i] == '\0' ? 1 : 0;
    return looked_at >= 4 && (zeros[0] == 0 || zeros[1] == 0) && zeros[0] + zeros[1] >= looked_at / 4;
}

constexpr std::string_view no_title_text =
    "the first line begins with a number: the title line seems to be missing (the first line is always skipped as "
    "the title, so every value is taken from the line written for the next one)";

// The likely causes of a failed read that show in the text.
std::vector<FailureCause> likely_causes(const CheckReport& report, const ReadFailure& failure, std::string_view text,
                                        std::string_view raw_token) {
    std::vector<FailureCause> causes;
    if (first_line_holds_number(text)) {
        causes.push_back({"no_title_line", std::string(no_title_text)});
    }
    if (text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos) {
        causes.push_back({"cr_line_ends",
                          "the lines end in a carriage return alone, so the whole file is one line: save it with LF "
                          "or CR LF line ends"});
    }
    const bool utf16 = looks_like_utf16(text);
    if (utf16) {
        causes.push_back({"utf16",
                          "the file seems to be UTF-16 text (a zero byte in every other place, or a UTF-16 byte "
                          "order mark): save it as plain ASCII or UTF-8 text"});
    } else if (std::any_of(raw_token.begin(), raw_token.end(),
                           [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        causes.push_back({"non_ascii", "\"" + failure.token +
                                           "\" holds bytes outside ASCII (shown as ?), such as a non-breaking space, a "
                                           "typographic minus sign or a degree sign: numbers are plain ASCII"});
    }
    if (failure.number == textio::failure_syntax &&
        std::any_of(raw_token.begin(), raw_token.end(), [](char c) { return is_digit(c); })) {
        for (const auto& [letter, digit] : {std::pair{'O', '0'}, std::pair{'o', '0'}, std::pair{'l', '1'}}) {
            if (raw_token.find(letter) != std::string_view::npos) {
                causes.push_back({"letter_in_number", "\"" + failure.token + "\" holds the letter " +
                                                          std::string(1, letter) + " where the digit " +
                                                          std::string(1, digit) + " belongs"});
                break;
            }
        }
    }
    // A read of two values from a line that holds one: the file ends, or a
    // word of a comment is read, where the second value is looked for.
    const bool word = !raw_token.empty() && std::isalpha(static_cast<unsigned char>(raw_token.front())) != 0;
    if (failure.field > 0 && (failure.number == textio::failure_end_of_file || word)) {
        const ParameterField& field = parameter_fields[static_cast<std::size_t>(failure.field)];
        const ParameterField& before = parameter_fields[static_cast<std::size_t>(failure.field) - 1];
        const CheckedValue& first = report.values[static_cast<std::size_t>(failure.field) - 1];
        if (before.read == field.read && first.position_known && first.line == field.line) {
            causes.push_back({"few_values", "line " + std::to_string(field.line) + " holds one value where " +
                                                std::to_string(model::fields_of_read(field.read)) +
                                                " are read from it; " + field_title(field) +
                                                " is looked for in the text after it"});
        }
    }
    return causes;
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
    fill_values(report, parameters, provenance, text, text_known);
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) warn_about_value(report, static_cast<int>(i), text);
    if (text_known) {
        for (const textio::ReadRecord& read : provenance.reads) warn_about_unread_digits(report, read, text);
    }
    report.forecast = forecast_run(parameters, seconds_per_step);
    warn_about_biot_number(report);
    // Warnings in the order of the fields; the run's own come after them.
    std::stable_sort(report.warnings.begin(), report.warnings.end(),
                     [](const CheckWarning& a, const CheckWarning& b) { return a.field < b.field; });
    warn_about_run(report);
    return report;
}

CheckReport analyse_failed_read(const ParameterSet& parameters, const textio::ReadProvenance& provenance,
                                std::string_view text, std::size_t stop_offset, int number) {
    CheckReport report;
    ReadFailure failure;
    failure.number = number;
    // The value being read: the first one of the last read that received
    // nothing.  The first read is the title line's.
    if (provenance.reads.size() > 1) {
        const textio::ReadRecord& read = provenance.reads.back();
        failure.field = static_cast<int>(read.first_value);
        for (std::size_t k = 0; k < read.value_count; ++k) {
            failure.field = static_cast<int>(read.first_value + k);
            if (read.first_value + k >= provenance.values.size() ||
                provenance.values[read.first_value + k].source == ValueSource::untouched) {
                break;
            }
        }
    }
    report.failure = failure;
    fill_values(report, parameters, provenance, text, true);
    const std::size_t read_count = failure.field < 0 ? 0 : static_cast<std::size_t>(failure.field);
    for (std::size_t i = 0; i < read_count; ++i) warn_about_value(report, static_cast<int>(i), text);
    // Digits left after a read that ended before the failing one.
    for (std::size_t r = 0; r + 1 < provenance.reads.size(); ++r) {
        warn_about_unread_digits(report, provenance.reads[r], text);
    }
    std::stable_sort(report.warnings.begin(), report.warnings.end(),
                     [](const CheckWarning& a, const CheckWarning& b) { return a.field < b.field; });

    // Where reading stopped: the token it could not take, or after the last
    // character of the last line when the file ended.
    std::string_view raw_token;
    failure.place_known = stop_offset <= text.size();
    if (failure.place_known) {
        std::size_t at = stop_offset;
        if (number == textio::failure_end_of_file) {
            // The line end of the last line is not part of it.
            if (at > 0 && text[at - 1] == '\n') {
                --at;
                if (at > 0 && text[at - 1] == '\r') --at;
            }
        } else if (number != textio::failure_read) {
            std::size_t begin = at;
            while (begin > 0 && !ends_token(text[begin - 1])) --begin;
            raw_token = text.substr(begin, at - begin);
            failure.token = printable(raw_token);
            at = begin;
        }
        locate(text, at, failure.line, failure.column);
    }

    const std::string value_read = failure.field < 0
                                       ? std::string("the title line")
                                       : field_title(parameter_fields[static_cast<std::size_t>(failure.field)]);
    switch (number) {
        case textio::failure_syntax:
            failure.reason = reason_not_a_number;
            failure.explanation = "\"" + failure.token + "\" is not a number (nor a truth value) and stands where " +
                                  value_read + " is read";
            break;
        case textio::failure_conversion:
            failure.reason = reason_out_of_range;
            failure.explanation = "\"" + failure.token +
                                  "\" is a number beyond the range of the run's numbers (about 1.8e308) or a repeat "
                                  "count that is not a whole number from 1 to 2147483647, where " +
                                  value_read + " is read";
            break;
        case textio::failure_end_of_file: {
            const int lines = lines_with_text(text);
            const int well_formed = parameter_fields.back().line;
            if (failure.field >= 0 && failure.place_known && lines == well_formed - 1) {
                failure.reason = reason_missing_line;
                failure.explanation = "the file ended while " + value_read + " was read: it has " +
                                      std::to_string(lines) + " lines that hold text, a well-formed file " +
                                      std::to_string(well_formed) +
                                      ", so a line seems to be missing and every value after it was read one line "
                                      "early";
            } else {
                failure.reason = reason_file_ended;
                failure.explanation =
                    failure.field < 0
                        ? std::string("the file is empty: it ended before the title line")
                        : "the file ended while " + value_read + " was read (its own line is " +
                              std::to_string(parameter_fields[static_cast<std::size_t>(failure.field)].line) + ")";
            }
            break;
        }
        default:
            failure.reason = reason_read_error;
            failure.explanation = "the system could not read the file while " + value_read + " was read";
            break;
    }
    failure.causes = likely_causes(report, failure, text, raw_token);
    report.failure = std::move(failure);
    return report;
}

namespace {

// The number of parameters the report shows: all of them, or those read
// before a failure.
std::size_t values_shown(const CheckReport& report) {
    if (!report.failure) return parameter_fields.size();
    return report.failure->field < 0 ? 0 : static_cast<std::size_t>(report.failure->field);
}

void append_values_text(std::string& out, const CheckReport& report) {
    for (std::size_t i = 0; i < values_shown(report); ++i) {
        const ParameterField& field = parameter_fields[i];
        const CheckedValue& checked = report.values[i];
        std::string line = "  " + std::string(field.meaning) + ":";
        line.resize(std::max<std::size_t>(line.size(), 32), ' ');
        line += exact_number_text(checked.value) + " " + std::string(field.unit);
        line.resize(std::max<std::size_t>(line.size() + 2, 56), ' ');
        line += "from " + origin_text(checked);
        out += line + "\n";
    }
}

void append_warnings_text(std::string& out, const CheckReport& report) {
    for (const CheckWarning& warning : report.warnings) {
        out += "warning: ";
        if (warning.line > 0) out += place_text(warning.line, warning.column) + ": ";
        out += warning.message + "\n";
    }
    if (!report.warnings.empty()) out += "\n";
}

std::string failure_report_text(const CheckReport& report) {
    const ReadFailure& f = *report.failure;
    std::string out = "Parameter file " + report.parameter_file + "\n\n";
    out += "Reading stopped ";
    if (!f.place_known) {
        out +=
            "beyond the first " + std::to_string(kept_text_limit / 1024) + " KiB of the file (its place is not shown)";
    } else {
        out += "at " + place_text(f.line, f.column);
        if (!f.token.empty()) out += ", at \"" + f.token + "\"";
    }
    out += ": " + f.reason + ".\n";
    std::string being_read = "the title line";
    if (f.field >= 0) {
        const ParameterField& field = parameter_fields[static_cast<std::size_t>(f.field)];
        being_read = field_title(field) + ", whose own line is " + std::to_string(field.line);
    }
    out += "  value being read:  " + being_read + "\n";
    out += "  why:               " + f.explanation + "\n";
    for (const FailureCause& cause : f.causes) out += "  likely cause:      " + cause.message + "\n";
    out += "\n";
    if (values_shown(report) == 0) {
        out += "No value was read before.\n\n";
    } else {
        out += "Values read before:\n";
        append_values_text(out, report);
        out += "\n";
    }
    append_warnings_text(out, report);
    out += "A run stops here with its failure report on standard error (severe (" + std::to_string(f.number) +
           "), exit status " + std::to_string(f.number) + ").\n";
    return out;
}

}  // namespace

std::string check_report_text(const CheckReport& report) {
    if (report.failure) return failure_report_text(report);
    std::string out = "Parameter file " + report.parameter_file + "\n\n";
    append_values_text(out, report);
    out += "\n";
    append_warnings_text(out, report);

    const RunForecast& f = report.forecast;
    const ModelSetup& s = f.setup;
    auto row = [&out](std::string_view label, const std::string& value) {
        std::string line = "  " + std::string(label) + ":";
        line.resize(std::max<std::size_t>(line.size() + 1, 32), ' ');
        out += line + value + "\n";
    };
    if (!report.tables.empty()) {
        out += "Tables:\n";
        for (const CheckedTable& t : report.tables) {
            out += "  " + t.quantity + " from " + t.file + " (" + t.option + "): " + std::to_string(t.rows) +
                   " rows, " + exact_number_text(t.lowest_temperature) + " to " +
                   exact_number_text(t.highest_temperature) + " C, " + exact_number_text(t.smallest_value) + " to " +
                   exact_number_text(t.largest_value) + " " + t.unit + "; " + exact_number_text(t.value_at_start) +
                   " " + t.unit + " at the initial temperature\n";
        }
        out += "  The run takes each value at the temperatures a step starts from: the surface node's for the\n"
               "  coefficient (applied as given, in place of line 4), each element's mean for the material.\n\n";
    }
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
    const bool coefficient_table = std::any_of(report.tables.begin(), report.tables.end(),
                                               [](const CheckedTable& t) { return t.option == "--coefficient-table"; });
    row("effective coefficient", exact_number_text(f.effective_coefficient) + " W/(m2 K) (2 h R / (R - inner radius))" +
                                     (coefficient_table ? "; the run takes the table's instead" : ""));
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
    const std::size_t shown = values_shown(report);
    std::string out = "{\n";
    out += "  \"program\": \"temp1d\",\n";
    out += "  \"parameter_file\": " + json_string(report.parameter_file) + ",\n";
    out += shown == 0 ? "  \"parameters\": [" : "  \"parameters\": [\n";
    for (std::size_t i = 0; i < shown; ++i) {
        const ParameterField& field = parameter_fields[i];
        const CheckedValue& c = report.values[i];
        out += "    {\"name\": " + json_string(field.name) + ", \"meaning\": " + json_string(field.meaning) +
               ", \"unit\": " + json_string(field.unit) + ", \"value\": " + json_number(c.value) +
               ", \"own_line\": " + std::to_string(field.line) + ", \"source\": \"" +
               std::string(source_key(c.origin)) + "\", \"line\": " + json_position(c.position_known, c.line) +
               ", \"column\": " + json_position(c.position_known, c.column) +
               ", \"token\": " + (c.position_known ? json_string(c.token) : std::string("null")) + "}" +
               (i + 1 < shown ? ",\n" : "\n");
    }
    out += shown == 0 ? "],\n" : "  ],\n";
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
    if (report.failure) {
        const ReadFailure& f = *report.failure;
        out += "  \"failure\": {\"number\": " + std::to_string(f.number) + ", \"parameter\": " +
               (f.field >= 0 ? json_string(parameter_fields[static_cast<std::size_t>(f.field)].name)
                             : std::string("null")) +
               ", \"line\": " + std::to_string(f.line) + ", \"column\": " + std::to_string(f.column) +
               ", \"token\": " + json_string(f.token) + ", \"reason\": " + json_string(f.reason) +
               ",\n              \"message\": " + json_string(f.explanation) + ",\n              \"causes\": [";
        for (std::size_t i = 0; i < f.causes.size(); ++i) {
            out += (i == 0 ? "" : ", ") + std::string("{\"code\": ") + json_string(f.causes[i].code) +
                   ", \"message\": " + json_string(f.causes[i].message) + "}";
        }
        out += "]},\n";
        out += "  \"status\": " + std::to_string(f.number) + "\n";
        out += "}\n";
        return out;
    }
    if (!report.tables.empty()) {
        out += "  \"tables\": [\n";
        for (std::size_t i = 0; i < report.tables.size(); ++i) {
            const CheckedTable& t = report.tables[i];
            out += "    {\"option\": " + json_string(t.option) + ", \"file\": " + json_string(t.file) +
                   ", \"quantity\": " + json_string(t.quantity) + ", \"unit\": " + json_string(t.unit) +
                   ", \"rows\": " + std::to_string(t.rows) + ", \"temperature_range\": [" +
                   json_number(t.lowest_temperature) + ", " + json_number(t.highest_temperature) +
                   "], \"value_range\": [" + json_number(t.smallest_value) + ", " + json_number(t.largest_value) +
                   "], \"value_at_initial_temperature\": " + json_number(t.value_at_start) + "}" +
                   (i + 1 < report.tables.size() ? ",\n" : "\n");
        }
        out += "  ],\n";
    }
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

void add_tables(CheckReport& report, const TableFiles& files, const LoadedTables& tables) {
    const struct {
        const char* option;
        const std::string& file;
        const model::PropertyTable* table;
        const char* quantity;
        const char* unit;
    } given[] = {
        {"--coefficient-table", files.coefficient, tables.view.coefficient, "surface coefficient", "W/(m2 K)"},
        {"--conductivity-table", files.conductivity, tables.view.conductivity, "conductivity", "W/(m K)"},
        {"--specific-heat-table", files.specific_heat, tables.view.specific_heat, "specific heat", "J/(kg K)"},
    };
    double initial = 0.0, medium_1 = 0.0, medium_2 = 0.0;
    for (std::size_t i = 0; i < parameter_fields.size(); ++i) {
        if (parameter_fields[i].name == "initial_temperature") initial = report.values[i].value;
        if (parameter_fields[i].name == "ambient_temperature_1") medium_1 = report.values[i].value;
        if (parameter_fields[i].name == "ambient_temperature_2") medium_2 = report.values[i].value;
    }
    // Every temperature of the run lies between the initial temperature and
    // those of the media.
    const double coldest = std::min({initial, medium_1, medium_2});
    const double hottest = std::max({initial, medium_1, medium_2});
    for (const auto& g : given) {
        if (g.table == nullptr) continue;
        const model::PropertyTable& t = *g.table;
        CheckedTable shown;
        shown.option = g.option;
        shown.file = g.file;
        shown.quantity = g.quantity;
        shown.unit = g.unit;
        shown.rows = t.temperature.size();
        shown.lowest_temperature = t.temperature.front();
        shown.highest_temperature = t.temperature.back();
        shown.smallest_value = *std::min_element(t.value.begin(), t.value.end());
        shown.largest_value = *std::max_element(t.value.begin(), t.value.end());
        shown.value_at_start = model::table_value(t, initial);
        if (coldest < shown.lowest_temperature || hottest > shown.highest_temperature) {
            add_warning(report, "table_range", -1, nullptr,
                        "the run's temperatures (" + exact_number_text(coldest) + " to " + exact_number_text(hottest) +
                            " C) leave the rows of " + g.file + " (" + exact_number_text(shown.lowest_temperature) +
                            " to " + exact_number_text(shown.highest_temperature) + " C, " + g.option +
                            "); beyond them the " + g.quantity + " is held at the value of the nearest row");
        }
        report.tables.push_back(std::move(shown));
    }
}

CheckReport check_parameter_file(std::string_view name, std::uint32_t& failure_status) {
    // The same read as a run, through the same channel and relative name
    // (its failures are reported as a run reports them and end with the same
    // status), except that a missing file is not created: it gets the report
    // of a file that cannot be found.  What the read takes from the file is
    // also kept, up to a limit, to place the values in lines and columns;
    // the file is read once, so pipes and devices are placed as well, and a
    // huge file costs no more memory than the limit.
    std::string text;
    textio::ReadProvenance provenance;
    ParameterSet parameters;
    model::ParameterFileRecord record;
    record.provenance = &provenance;
    record.text = &text;
    record.text_limit = kept_text_limit;
    failure_status = 0;
    // A failed read writes the run's report; the report of the check then
    // says where and why.
    try {
        model::read_parameter_file(parameters, false, &record, name);
    } catch (const textio::Stop& stop) {
        // Interruptions, and failures to open, which have nothing to place.
        if (stop.signal_number != 0 || stop.status <= textio::failure_status_base || record.full_path.empty()) throw;
        failure_status = stop.status;
        CheckReport failed = analyse_failed_read(parameters, provenance, text, record.stop_offset,
                                                 static_cast<int>(stop.status - textio::failure_status_base));
        failed.parameter_file = record.full_path;
        return failed;
    }
    CheckReport report = analyse_parameters(parameters, provenance, text, true, measure_seconds_per_step());
    report.parameter_file = record.full_path;
    return report;
}

CheckReport check_parameter_file(std::string_view name) {
    std::uint32_t failure_status = 0;
    CheckReport report = check_parameter_file(name, failure_status);
    if (failure_status != 0) textio::stop_program(failure_status);
    return report;
}

std::uint32_t run_parameter_check(bool json, const TableFiles& files, const LoadedTables& tables) {
    std::uint32_t failure_status = 0;
    CheckReport report = check_parameter_file(parameter_file_name, failure_status);
    if (failure_status == 0) add_tables(report, files, tables);
    textio::stop_if_interrupted();
    write_standard_output(json ? check_report_json(report) : check_report_text(report));
    if (failure_status != 0) textio::stop_program(failure_status);
    return report.warnings.empty() ? status_success : status_check_warnings;
}

}  // namespace program
