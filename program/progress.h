// The progress line of a long run: when standard error is a terminal and a
// run is estimated to take more than about two seconds, one line with the
// percentage, the step, the elapsed and the remaining time, refreshed at most
// four times a second and erased at the end.  Nothing is written, and the
// clock is never read, when standard error is not a terminal.
//
// The run takes its steps in chunks of steps_until_next_look() steps and
// calls show_progress between chunks; the clock is read there, a few times a
// second, and only while a line is shown.
#pragma once

#include <cstdint>

#include "model/heat_model.h"

namespace program {

// The steps of the next chunk: about `look_interval` of work while a line is
// shown, a few milliseconds otherwise (the run looks for an interruption
// between chunks as well).
std::int64_t steps_until_next_look();

// Called between chunks, after step `step`; refreshes the line when due and
// sets the size of the next chunk from the rate seen so far.
void show_progress(std::int64_t step);

// The time one step takes on this machine, in seconds, measured by running
// steps of a fixed model for a few milliseconds.
double measure_seconds_per_step();

// The estimated run time of a run: its steps with their records.
double estimated_run_seconds(const model::ModelSetup& setup, double seconds_per_step);

// Decides, before a run, whether it gets a progress line.
void start_progress(const model::ParameterSet& parameters);

// Erases the progress line, if one was shown.
void finish_progress();

}  // namespace program
