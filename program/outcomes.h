// Every way temp1d can end, in one table, and the one routine that writes
// the program's own report lines.
// (How each output ends its lines: textio/line_ends.h.)
#pragma once

#include <cstdint>
#include <string_view>

#include "numlib/numlib.h"
#include "textio/failure_report.h"

namespace program {

// Exit statuses.  A shell on Linux sees only the low 8 bits.
inline constexpr std::uint32_t status_success = 0;
// --check: the parameter file reads, with warnings.
inline constexpr std::uint32_t status_check_warnings = 1;
// A bad option or argument (one usage line).
inline constexpr std::uint32_t status_usage = 2;
// The parameters give no time step; the result file is left unchanged.
inline constexpr std::uint32_t status_no_step_taken = 3;
// The numerical library stopped the run (after its own report).
inline constexpr std::uint32_t status_library_stop = numlib::library_stop_status;
// Another run holds the result file; neither file is touched.
inline constexpr std::uint32_t status_result_file_in_use = 5;
// The result file is the parameter file (a link); neither file is touched.
inline constexpr std::uint32_t status_result_is_parameter_file = 6;
// A table of --coefficient-table, --conductivity-table or
// --specific-heat-table cannot be read or is no good table; no file is
// touched.
inline constexpr std::uint32_t status_bad_table = 7;
// A failure of the text layer: 0xC0000000 + n, n the failure number of
// textio::FailureNumber (9, 24, 29, 30, 38, 39, 41, 42, 43, 47, 59, 64).  An
// output of the program's own that cannot be written (--help, --version,
// --check) ends with failure 38, as a failed write of a file does.
inline constexpr std::uint32_t failure_status(textio::FailureNumber number) {
    return textio::failure_status_base + static_cast<std::uint32_t>(number);
}
// A run ended by SIGINT, SIGTERM or SIGHUP ends by that signal, after one
// report line.

// Notes whether standard output is open, before anything can connect a
// closed one to the null device (textio connects the standard streams that
// the program was started without to it, so that no file takes their
// descriptors).  Called first thing by the program.
void note_standard_output();

// Writes `text` to standard output.  When that fails (a full device, a
// stream the program was started without, a pipe whose reader has gone), writes one report line and
// stops the work with failure 38.
void write_standard_output(std::string_view text);

// Writes "temp1d: <text>" and CR LF to standard error.
void write_report_line(std::string_view text);

// Ends the process by `signal_number` after erasing the progress line and
// writing "temp1d: <text>" (with every unit written out and closed).
[[noreturn]] void end_by_interruption(int signal_number, std::string_view text);

}  // namespace program
