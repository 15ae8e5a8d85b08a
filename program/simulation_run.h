// A run of the simulation in the working directory: the result file
// "temperat.txt" with its heading, one record per time step and the closing
// lines.
#pragma once

#include <cstdint>

#include "model/heat_model.h"
#include "model/table_step.h"

namespace program {

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
// is a terminal).  An interruption ends the process by its signal with the
// finished records written and one report line; failures of the layers
// below travel up as textio::Stop.
// With `tables` (see model/table_step.h) the steps take their properties
// from the tables.
std::uint32_t run_simulation(const model::ParameterSet& parameters, bool progress_wanted,
                             const model::MaterialTables& tables = {});

}  // namespace program
