#include "program/run_reports.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "textio/interrupt_signals.h"

namespace program {

namespace {

// The shortest decimal form of `value` that reads back as it ("inf" and
// "nan" for the values that are not finite).
std::string message_number(double value) {
    if (std::isnan(value)) return "nan";
    char text[32];
    const auto converted = std::to_chars(std::begin(text), std::end(text), value);
    return std::string(text, converted.ptr);
}

std::string interrupted_by(std::string_view what, int signal_number) {
    std::string text(what);
    text += " interrupted by ";
    text += textio::signal_name(signal_number);
    return text;
}

}  // namespace

std::string no_step_report(const model::ModelSetup& setup) {
    return "no time step taken: step count " + std::to_string(setup.step_count) + " (total time " +
           message_number(setup.total_time) + " s, reference step " + message_number(setup.reference_step) + " s)";
}

std::string interrupted_run_report(int signal_number, std::int64_t steps_done, std::int64_t step_count) {
    return interrupted_by("run", signal_number) + " after step " + std::to_string(steps_done) + " of " +
           std::to_string(step_count);
}

std::string interrupted_read_report(int signal_number) {
    return interrupted_by("run", signal_number) + " while reading the parameter file";
}

std::string interrupted_closing_report(int signal_number, std::int64_t step_count) {
    return interrupted_by("run", signal_number) + " after its last step (" + std::to_string(step_count) +
           "); the result file is complete";
}

std::string interrupted_table_report(int signal_number, const std::string& file) {
    return interrupted_by("run", signal_number) + " while reading the table " + file;
}

std::string interrupted_check_report(int signal_number) { return interrupted_by("check", signal_number); }

}  // namespace program
