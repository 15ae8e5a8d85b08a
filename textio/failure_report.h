// Run-time failure reports of the input and output layer.
//
// A failed open, read or write ends the program with one line on standard
// error, "textio: severe (n): <message>", every open file closed and the exit
// status 0xC0000000 + n (a shell on Linux sees n).  Failures that come with
// an operating-system error that has no number of its own are preceded by a
// line "textio: <system text>".
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

// The message of failure `number` with the unit and file filled in.
std::string failure_message(int number, int unit, std::string_view full_path);

// The complete text written to standard error for a failure: the optional
// system-text line (when `os_error` is not 0) and the report line, each
// ending in CR LF.
std::string failure_report_text(int number, int unit, std::string_view full_path, int os_error);

// Writes the report, closes every open file and ends the process with
// 0xC0000000 + number.  `os_error` is the errno value to show as the system's
// own text, or 0 when the failure has a number of its own.
[[noreturn]] void report_failure(int number, int unit, std::string_view full_path, int os_error = 0);

}  // namespace textio
