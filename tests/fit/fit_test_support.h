// Shared pieces of the fit tests: a quench probe, curves computed by the
// model itself, and runs of the built program.
#pragma once

#include <filesystem>
#include <string>

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
