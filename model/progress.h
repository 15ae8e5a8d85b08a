// The progress line of a long run: when standard error is a terminal and a
// run is estimated to take more than about two seconds, one line with the
// percentage, the step, the elapsed and the remaining time, refreshed at most
// four times a second and erased at the end.  Nothing is written, and the
// clock is never read, when standard error is not a terminal.
//
// The time loop only counts down `progress_countdown` in each step; the clock
// is read when the count reaches zero, which happens a few times a second.
#pragma once

#include <cstdint>

#include "model/heat_model.h"

namespace model {

// Steps left until the time loop calls show_progress.  Far beyond any step
// count while no progress line is wanted.
extern std::int64_t progress_countdown;

// Called by the time loop when the countdown reaches zero, after step
// `step`; refreshes the line when due and sets the next countdown.
void show_progress(std::int64_t step);

// The time one step takes on this machine, in seconds, measured by running
// steps of a fixed model for a few milliseconds.
double measure_seconds_per_step();

// The estimated run time of a run: its steps with their records.
double estimated_run_seconds(const ModelSetup& setup, double seconds_per_step);

// Decides, before a run, whether it gets a progress line.
void start_progress(const ParameterSet& parameters);

// Erases the progress line, if one was shown.
void finish_progress();

}  // namespace model
