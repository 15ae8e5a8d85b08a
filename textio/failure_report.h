// Run-time failure reports, and how the work ends after one.
//
// A failed open, read or write ends the work with one line on standard
// error, "textio: severe (n): <message>", and the exit status
// 0xC0000000 + n (a shell on Linux sees n).  Failures that come with an
// operating-system error that has no number of its own are preceded by a
// line "textio: <system text>".
//
// Nothing below the program ends the process.  The report is written where
// the failure happens; then a Stop is thrown, and only the program's entry
// (or a binding) catches it.  The program ends the process through
// end_process, which writes out and closes every connected unit first; a
// write that fails there is reported like any other write failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace textio {

// The word that starts every line this layer writes to standard error.
inline constexpr std::string_view failure_prefix = "textio";

enum FailureNumber : int {
    failure_access_denied = 9,
    failure_end_of_file = 24,
    failure_file_not_found = 29,
    failure_open = 30,
    failure_write = 38,
    failure_read = 39,
    failure_no_memory = 41,
    failure_no_such_device = 42,
    failure_file_name = 43,
    failure_write_read_only = 47,
    failure_syntax = 59,
    failure_conversion = 64,
};

inline constexpr std::uint32_t failure_status_base = 0xC0000000u;

// The end of the work, thrown by stop_program and by the layers above that
// stop (the numerical library) once their report is written, and by
// stop_if_interrupted when an interruption has been noticed.  The catcher
// decides what happens to the process.
struct Stop {
    std::uint32_t status = 0;  // the exit status the work ends with
    int signal_number = 0;     // not 0: interrupted by this signal, nothing reported yet
};

// The report of an open (or of a change into the folder of the file to be
// opened) that failed with errno `error`: the failure number, and the errno
// to show as the system's own text, 0 when the number says it all.
struct OpenFailure {
    int number = failure_open;
    int os_error = 0;
};
OpenFailure open_failure_of(int error);

// The message of failure `number` with the unit and file filled in.
std::string failure_message(int number, int unit, std::string_view full_path);

// The complete text written to standard error for a failure: the optional
// system-text line (when `os_error` is not 0) and the report line, each
// ending in CR LF.
std::string failure_report_text(int number, int unit, std::string_view full_path, int os_error);

// Writes `line` and CR LF to standard error.
void write_report_line(std::string_view line);

// Writes the report and stops the work with 0xC0000000 + number.
// `os_error` is the errno value to show as the system's own text, or 0 when
// the failure has a number of its own.
[[noreturn]] void report_failure(int number, int unit, std::string_view full_path, int os_error = 0);

// Ends the work with `status`: throws Stop{status}.
[[noreturn]] void stop_program(std::uint32_t status);

// When SIGINT, SIGTERM or SIGHUP has been noticed (interrupt_signals.h),
// throws Stop carrying that signal; otherwise returns.
void stop_if_interrupted();

// For the program's entry: writes out and closes every connected unit, then
// ends the process with `status`.  A write that fails on the way is
// reported (failure 38), and a status that is not already a failure
// report's becomes 0xC0000026.  Only the low 8 bits of the status reach a
// parent on Linux.
[[noreturn]] void end_process(std::uint32_t status);

// For the program's entry: writes out and closes every connected unit,
// writes `report_line` (with CR LF) to standard error, restores the default
// action of `signal_number` and raises it again, so that the process ends
// by that signal.
[[noreturn]] void end_process_by_signal(int signal_number, std::string_view report_line);

}  // namespace textio
