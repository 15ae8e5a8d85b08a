// The --check report: what the parameter file gave each of the eleven
// parameters and where each value came from, warnings about the mistakes the
// file format hides (a word read as a truth value, a value taken from another
// line, a decimal comma, digits left unread, a physically impossible sign),
// and what a run with these values will do.  As text for people or as one
// JSON object for scripts (keys described in docs/check-json.md).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/heat_model.h"
#include "model/parameter_fields.h"
#include "textio/free_form_reader.h"

namespace program {

// One parameter as read.
struct CheckedValue {
    double value = 0.0;
    textio::ValueOrigin origin;
    bool position_known = false;  // line, column and token are known
    int line = 0;                 // of the token, comma or slash that gave the value
    int column = 0;               // 1-based byte column
    std::string token;            // the text of the token
};

struct CheckWarning {
    std::string code;  // stable key, see docs/check-json.md
    int field = -1;    // index into parameter_fields, -1 for the run as a whole
    int line = 0;      // 0 when not tied to a place in the file
    int column = 0;
    std::string message;
};

// What a run with the values read will do.
struct RunForecast {
    model::ModelSetup setup;
    std::optional<std::int64_t> switch_step;  // first step with the phase-2 medium
    double switch_time = 0.0;                 // the start time of that step
    double effective_coefficient = 0.0;       // model::effective_coefficient of the given one
    double biot_number = 0.0;                 // effective coefficient * (R - inner radius) / conductivity
    std::uint64_t result_file_bytes = 0;
    double estimated_seconds = 0.0;
};

struct CheckReport {
    std::string parameter_file;  // its full path
    std::array<CheckedValue, model::parameter_fields.size()> values;
    std::vector<CheckWarning> warnings;
    RunForecast forecast;
};

// Steps beyond which a run is warned about as very long.
inline constexpr std::int64_t many_steps = 100'000'000;

// Builds the report from what a read gave: the values, where they came from,
// and the text of the file (empty when it could not be looked at again, in
// which case lines, columns and the warnings that need the text are left
// out).  `seconds_per_step` feeds the run-time estimate.
CheckReport analyse_parameters(const model::ParameterSet& parameters, const textio::ReadProvenance& provenance,
                               std::string_view text, bool text_known, double seconds_per_step);

// The report as text, and as one JSON object; both end with a line feed.
std::string check_report_text(const CheckReport& report);
std::string check_report_json(const CheckReport& report);

// The shortest decimal text that reads back as exactly `value`; "NaN",
// "Infinity" and "-Infinity" for the values that have no number.
std::string exact_number_text(double value);

// --check: reads the parameter file of the working directory as a run does
// (a failed read ends the program with the run's failure report), never
// creating it and touching no other file, and writes the report to standard
// output.  Returns the exit status: 0 without warnings, 1 with warnings.
std::uint32_t run_parameter_check(bool json);

}  // namespace program
