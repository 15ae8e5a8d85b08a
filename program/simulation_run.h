// A run of the simulation in the working directory: the result file
// "temperat.txt" with its heading, one record per time step and the closing
// lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/heat_model.h"
#include "model/table_step.h"

namespace program {

// The CSV profile a run also writes (temp1d --csv): where to, at which
// relative radii, every how many steps.  The target has passed
// refusal_of_csv_target (program/profile_csv.h).
struct ProfileRequest {
    std::string target;
    std::vector<double> radii;
    std::int64_t every = 1;
};

// Runs `parameters` into "temperat.txt" and returns the exit status:
//   0  the run took its steps;
//   3  the parameters give no time step (the file holds the heading and the
//      closing lines, as it always has);
//   5  another run holds the result file (the lock is taken before anything
//      is cut, so neither file is touched);
//   6  the result file is the parameter file, through a symbolic or hard
//      link (refused before anything is cut).
// The steps run in chunks; between chunks the run looks for an interruption
// and refreshes the progress line (when `progress_wanted` and standard error
// is a terminal).  With `profile`, the CSV profile is opened once the result
// file is known to be free and its rows follow each chunk; the result file is
// the same as without it.  An interruption ends the process by its signal with the
// finished records written and one report line; failures of the layers
// below travel up as textio::Stop.
// With `tables` (see model/table_step.h) the steps take their properties
// from the tables.
std::uint32_t run_simulation(const model::ParameterSet& parameters, bool progress_wanted,
                             const model::MaterialTables& tables = {}, const ProfileRequest* profile = nullptr);

}  // namespace program
