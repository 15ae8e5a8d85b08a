// The --check report: what the parameter file gave each of the eleven
// parameters and where each value came from, warnings about the mistakes the
// file format hides (a word read as a truth value, a value taken from another
// line, a decimal comma, digits left unread, a physically impossible sign, a
// value in the wrong unit, a bore the model does not have), and what a run
// with these values will do.  When the read fails, the report says where and
// why, and what was read before.  As text for people or as one JSON object
// for scripts (keys described in docs/check-json.md).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/heat_model.h"
#include "model/parameter_fields.h"
#include "program/material_tables.h"
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

// A likely cause of a failed read, as a stable code and in words.
struct FailureCause {
    std::string code;  // see docs/check-json.md
    std::string message;
};

// Where and why the read of the parameter file stopped.
struct ReadFailure {
    int number = 0;            // the failure number of the run's report (24, 39, 59, 64)
    int field = -1;            // the value being read (index into parameter_fields); -1: the title line
    bool place_known = false;  // false when reading stopped beyond the text kept
    int line = 0;              // where reading stopped: the token, or after the last character read
    int column = 0;            // 1-based byte column
    std::string token;         // the token reading stopped at; empty when the file ended
    std::string reason;        // one of the reason_ texts below
    std::string explanation;   // the reason in a sentence, with the token and the value
    std::vector<FailureCause> causes;
};

// The reasons a read can stop, in words (the values of ReadFailure::reason).
inline constexpr std::string_view reason_not_a_number = "not a number";
inline constexpr std::string_view reason_out_of_range = "a number out of range or a bad repeat count";
inline constexpr std::string_view reason_file_ended = "the file ended";
inline constexpr std::string_view reason_missing_line = "a line seems to be missing";
inline constexpr std::string_view reason_read_error = "the file could not be read";

// A table of the boiling-curve mode, as the check shows it.
struct CheckedTable {
    std::string option;    // "--coefficient-table", ...
    std::string file;      // as given
    std::string quantity;  // "surface coefficient", ...
    std::string unit;
    std::size_t rows = 0;
    double lowest_temperature = 0.0;
    double highest_temperature = 0.0;
    double smallest_value = 0.0;
    double largest_value = 0.0;
    double value_at_start = 0.0;  // at the initial temperature
};

struct CheckReport {
    std::string parameter_file;  // its full path
    std::array<CheckedValue, model::parameter_fields.size()> values;
    std::vector<CheckWarning> warnings;
    RunForecast forecast;
    // Set when the read failed: then only the values before `failure->field`
    // were read, the warnings are about those alone and there is no forecast.
    std::optional<ReadFailure> failure;
    std::vector<CheckedTable> tables;  // the tables given, in option order
};

// Implausible values: beyond these bounds no solid or quench is found, and a
// value there is most likely in another unit (docs/check-json.md).
inline constexpr double largest_plausible_radius = 1.0;           // m
inline constexpr double largest_plausible_coefficient = 1e6;      // W/(m2 K)
inline constexpr double absolute_zero = -273.15;                  // C
inline constexpr double smallest_plausible_density = 500.0;       // kg/m3
inline constexpr double largest_plausible_density = 25'000.0;     // kg/m3
inline constexpr double smallest_plausible_specific_heat = 50.0;  // J/(kg K)
inline constexpr double largest_plausible_conductivity = 1000.0;  // W/(m K)
inline constexpr double largest_plausible_biot_number = 1000.0;

// Steps beyond which a run is warned about as very long.
inline constexpr std::int64_t many_steps = 100'000'000;

// Builds the report from what a read gave: the values, where they came from,
// and the text of the file (empty when it could not be looked at again, in
// which case lines, columns and the warnings that need the text are left
// out).  `seconds_per_step` feeds the run-time estimate.
CheckReport analyse_parameters(const model::ParameterSet& parameters, const textio::ReadProvenance& provenance,
                               std::string_view text, bool text_known, double seconds_per_step);

// Builds the report of a read that failed with failure `number`:
// `parameters` and `provenance` as the read left them, `text` the start of
// the file as kept (a prefix of it) and `stop_offset` the offset in the file
// of the first byte the reader had not consumed.
CheckReport analyse_failed_read(const model::ParameterSet& parameters, const textio::ReadProvenance& provenance,
                                std::string_view text, std::size_t stop_offset, int number);

// The report as text, and as one JSON object; both end with a line feed.
std::string check_report_text(const CheckReport& report);
std::string check_report_json(const CheckReport& report);

// The shortest decimal text that reads back as exactly `value`; "NaN",
// "Infinity" and "-Infinity" for the values that have no number.
std::string exact_number_text(double value);

// Reads the parameter file `name` (relative to the working directory) as a
// run does, without creating it, and builds its report.  A failed read
// writes the run's failure report to standard error, as a run does, and
// gives the report of the failure (`failure` set) with `failure_status` the
// run's status (0 after a good read).  A failed open and an interruption end
// the work (textio::Stop).
CheckReport check_parameter_file(std::string_view name, std::uint32_t& failure_status);

// The same, for callers that take a failed read as the end of the work: it
// stops with the run's failure status (textio::Stop) after the run's report.
CheckReport check_parameter_file(std::string_view name);

// --check: reads the parameter file of the working directory as a run does,
// never creating it and touching no other file, and writes the report to
// standard output.  Returns the exit status: 0 without warnings, 1 with
// warnings.  A failed read writes the run's failure report to standard error
// as a run does, then the report of the failure to standard output, and
// stops the work with the run's failure status.
// `tables` are the tables the command line names, already read; the report
// shows them and warns (code table_range) where the run's temperatures,
// which stay between the initial and the medium temperatures, leave a
// table's rows.
std::uint32_t run_parameter_check(bool json, const TableFiles& files, const LoadedTables& tables);

// Adds the tables to a report of values read in full, with their warnings.
void add_tables(CheckReport& report, const TableFiles& files, const LoadedTables& tables);

}  // namespace program
