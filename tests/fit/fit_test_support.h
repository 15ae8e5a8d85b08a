// Shared pieces of the fit tests: a quench probe, curves computed by the
// model itself, and runs of the built program.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

#include "fit/coefficient_search.h"
#include "support/program_runner.h"

// An Inconel probe of radius 6.25 mm quenched from 850 into a medium at 40,
// with the given coefficient (as written in the parameter file) and run
// length.
model::ParameterSet probe_parameters(double coefficient, double run_length);

// The model's own temperatures at `count` step ends spread evenly over the
// run, stepped here directly so that the curve does not come from the
// fit's own sampling.
fit::FitProblem model_curve(const model::ParameterSet& parameters, fit::ProbePosition position, int count);

// Runs temp1d-fit with `arguments` (already quoted for the shell) in
// `directory`; with `as_unprivileged_user`, as user and group 65534 through
// setpriv, so that file permissions apply even when the tests run as root.
ProgramRun run_fit_program(const std::filesystem::path& directory, const std::string& arguments,
                           bool as_unprivileged_user = false);

// The probe's parameter file text (CRLF line ends, comments after values).
std::string probe_parameter_file(double coefficient, double run_length);

// A run of temp1d-fit started in the background, for tests that act while
// it runs: its standard output goes to `output_fd` when that is not -1,
// else to a capture file, and its standard error to a capture file.
struct StartedFit {
    pid_t pid = -1;
    std::filesystem::path capture;  // folder of the capture files
};
StartedFit start_fit(const std::filesystem::path& directory, const std::vector<std::string>& arguments,
                     int output_fd = -1);

// Waits for the end of a started run and collects what it left.
ProgramRun finish_fit(StartedFit& started);

// Waits until the started program is temp1d-fit itself (no longer the
// forked test), has its handlers for INT, TERM and HUP in place and sleeps
// in a blocking call.  False when that does not happen within a minute.
bool wait_until_blocked(pid_t pid);

// Waits until the started program, which has opened `path` (a canonical
// path), no longer has it open: it has read that input to its end.  False
// when that does not happen within a minute.
bool wait_until_closed(pid_t pid, const std::filesystem::path& path);
