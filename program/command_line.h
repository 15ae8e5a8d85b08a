// The command line of temp1d.  Without arguments the program runs in the
// working directory exactly as it always has; options ask for help, the
// version, a check of the parameter file, another folder or no progress line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "program/material_tables.h"

namespace program {

enum class ProgramAction {
    run,          // read the parameter file and simulate
    check,        // read the parameter file and report, without running
    help,         // usage on standard output, status 0
    version,      // name and version on standard output, status 0
    usage_error,  // one usage line on standard error, status 2
};

struct CommandLine {
    ProgramAction action = ProgramAction::run;
    bool json = false;   // --json: the check report as one JSON object
    bool quiet = false;  // --quiet: no progress line
    bool has_directory = false;
    std::string directory;  // -C DIR / --directory=DIR
    TableFiles tables;      // --coefficient-table, --conductivity-table, --specific-heat-table
    std::string problem;    // what was wrong, for usage_error
    // --csv FILE: the profile of the run as CSV beside the result file ("-":
    // standard output), at the relative radii of --radii, every --every-th
    // step and the last.
    bool csv = false;
    std::string csv_target;
    std::vector<double> radii{0.0, 0.5, 1.0};
    std::int64_t every = 1;
};

// The program's name and version, "temp1d 1.1.0".
std::string_view version_text();

// The help text written by --help.
std::string_view help_text();

// Reads the arguments that follow the program name.
CommandLine parse_command_line(std::span<const char* const> arguments);

// Writes the help, the version or the usage line and returns the status to
// end with (program/outcomes.h; an output that cannot be written stops the
// work with failure 38); for a run or a check it changes to the requested folder (a
// folder that cannot be entered ends the program with the failure report an
// open of the parameter file there would give) and returns -1.
int act_on_command_line(const CommandLine& command);

}  // namespace program
