// Runs of the model in memory: the records of each step go to the caller's
// sink instead of a result file, and a run stops as soon as the sink needs
// no more records.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/heat_model.h"

namespace fit {

enum class ProbePosition { centre, surface };

// Receives the model's temperature at the given times (ascending, not
// negative).  The temperatures of a record belong to the end of its step,
// record.time + time_step; between two records, and between the start of
// the run (the uniform initial temperature) and the first record, the
// temperature is interpolated linearly in time.  A time beyond the last
// record (by rounding of the run's clock only) takes the last record's value.
struct SampleSink {
    std::span<const double> times;
    std::span<double> values;  // one per time, filled by the run
};

// The records of a run up to a time, for drawing the fitted curve: every
// record when there are at most `most_records`, otherwise every k-th one
// (and always the last), so that memory stays bounded however many steps
// the run takes.
struct RecordSink {
    double until = 0.0;  // the run stops at the first step that ends at or after this time
    std::size_t most_records = 1000;
    std::vector<double> time;         // end of each kept step, starting with 0
    std::vector<double> temperature;  // at the chosen position
};

// Runs the model for `parameters` and fills the sink; returns the number of
// steps taken.  The parameters must have passed refusal_of_parameters.
// `step_divisor` above 1 runs that many times as many steps, each that much
// shorter (an estimate of the time-step error; temp1d runs with 1).
std::int32_t run_model_into(const model::ParameterSet& parameters, ProbePosition position, SampleSink& sink,
                            std::int32_t step_divisor = 1);
std::int32_t run_model_into(const model::ParameterSet& parameters, ProbePosition position, RecordSink& sink);

}  // namespace fit
