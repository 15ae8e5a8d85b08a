// The program's own report lines on standard error (each ended with CR LF
// when written): a run whose parameters give no time step, and a run
// interrupted by a signal.
#pragma once

#include <cstdint>
#include <string>

#include "model/heat_model.h"

namespace model {

// "temp1d: no time step taken: step count <n> (total time <t> s, reference
// step <r> s)", the numbers in their shortest decimal form.
std::string no_step_report_line(const ModelSetup& setup);

// When SIGINT, SIGTERM or SIGHUP has arrived, ends the program by that
// signal after "temp1d: run interrupted by <signal> after step <k> of <n>",
// with every connected file written out and closed; otherwise returns.
void stop_if_interrupted(std::int64_t steps_done, std::int64_t step_count);

}  // namespace model
