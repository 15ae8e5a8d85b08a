// Runs of the model with tables (the surface coefficient against the
// surface temperature, and optionally the conductivity and the specific
// heat against temperature) in memory, sampled like the runs of the
// constant-coefficient fit: the records of each step go to a sink instead of
// a result file, and a run stops as soon as the sink needs no more.
#pragma once

#include <cstdint>
#include <vector>

#include "fit/model_sampling.h"
#include "model/heat_model.h"
#include "model/table_step.h"

namespace fit {

// Runs the table model for `parameters` (every value but line 4 as given)
// and fills `sink` at the chosen position; when `surface` is not null it
// receives the surface temperature at the same times, interpolated the same
// way.  Returns the number of steps taken.  The parameters must have passed
// refusal_of_parameters.
std::int32_t run_table_model_into(const model::ParameterSet& parameters, const model::MaterialTables& tables,
                                  ProbePosition position, SampleSink& sink, std::vector<double>* surface = nullptr);

// The records of a table run up to sink.until, thinned as for
// run_model_into; `surface` (when not null) receives the surface
// temperature of each kept record.
std::int32_t run_table_model_into(const model::ParameterSet& parameters, const model::MaterialTables& tables,
                                  ProbePosition position, RecordSink& sink, std::vector<double>* surface = nullptr);

}  // namespace fit
