// The texts of the program's own report lines about a run (written by
// program::write_report_line, which adds "temp1d: " and CR LF): a run whose
// parameters give no time step, and a run interrupted by a signal.
#pragma once

#include <cstdint>
#include <string>

#include "model/heat_model.h"

namespace program {

// "no time step taken: step count <n> (total time <t> s, reference step
// <r> s)", the numbers in their shortest decimal form.
std::string no_step_report(const model::ModelSetup& setup);

// "run interrupted by <signal> after step <k> of <n>".
std::string interrupted_run_report(int signal_number, std::int64_t steps_done, std::int64_t step_count);

// "run interrupted by <signal> while reading the parameter file".
std::string interrupted_read_report(int signal_number);

// "run interrupted by <signal> after its last step (<n>); the result file is
// complete": the signal came while the closing lines were written, and they
// were finished.
std::string interrupted_closing_report(int signal_number, std::int64_t step_count);

// "run interrupted by <signal> while reading the table <file>".
std::string interrupted_table_report(int signal_number, const std::string& file);

// "check interrupted by <signal>".
std::string interrupted_check_report(int signal_number);

}  // namespace program
