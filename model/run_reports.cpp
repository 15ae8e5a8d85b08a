#include "model/run_reports.h"

#include <charconv>
#include <cmath>
#include <iterator>

#include "model/progress.h"
#include "textio/failure_report.h"
#include "textio/interrupt_signals.h"

namespace model {

namespace {

// The shortest decimal form of `value` that reads back as it ("inf" and
// "nan" for the values that are not finite).
std::string message_number(double value) {
    if (std::isnan(value)) return "nan";
    char text[32];
    const auto converted = std::to_chars(std::begin(text), std::end(text), value);
    return std::string(text, converted.ptr);
}

}  // namespace

std::string no_step_report_line(const ModelSetup& setup) {
    return "temp1d: no time step taken: step count " + std::to_string(setup.step_count) + " (total time " +
           message_number(setup.total_time) + " s, reference step " + message_number(setup.reference_step) + " s)";
}

void stop_if_interrupted(std::int64_t steps_done, std::int64_t step_count) {
    const int signal_number = textio::interrupt_signal();
    if (signal_number == 0) return;
    std::string line = "temp1d: run interrupted by ";
    line += textio::signal_name(signal_number);
    line += " after step " + std::to_string(steps_done) + " of " + std::to_string(step_count);
    finish_progress();  // the report stands on a line of its own
    textio::stop_by_signal(signal_number, line);
}

}  // namespace model
