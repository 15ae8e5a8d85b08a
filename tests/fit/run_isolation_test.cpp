// Many model runs in one process: every run starts from the same state, and
// the numerical library's process-wide error state is left as it started.
#include <gtest/gtest.h>

#include "fit/coefficient_search.h"
#include "fit/model_sampling.h"
#include "fit_test_support.h"
#include "numlib/error_state.h"

using namespace model;
using namespace fit;

namespace {

TEST(RunIsolation, RepeatedRunsAndFitsGiveIdenticalResultsAndLeaveTheLibraryStateClean) {
    const ParameterSet p = probe_parameters(1500.0, 10.0);
    const std::vector<double> times{0.5, 1.0, 2.5, 7.0, 10.0};
    std::vector<double> first(times.size()), again(times.size());
    SampleSink sink_first{times, first};
    const std::int32_t steps = run_model_into(p, ProbePosition::centre, sink_first);
    // A run with other values in between must not change the next one.
    ParameterSet other = p;
    other.heat_transfer_coefficient = 1e6;
    std::vector<double> scratch(times.size());
    SampleSink sink_other{times, scratch};
    run_model_into(other, ProbePosition::surface, sink_other);
    SampleSink sink_again{times, again};
    EXPECT_EQ(run_model_into(p, ProbePosition::centre, sink_again), steps);
    EXPECT_EQ(first, again);

    FitProblem problem = model_curve(p, ProbePosition::centre, 40);
    const FitResult one = fit_coefficient(problem);
    const FitResult two = fit_coefficient(problem);
    EXPECT_EQ(one.coefficient, two.coefficient);
    EXPECT_EQ(one.model_runs, two.model_runs);

    // The solver pushed and popped its name in every step and recorded no
    // error: the stack is back at its base level with nothing pending.
    numlib::detail::ErrorState fresh{};
    numlib::detail::initialise_error_state(fresh);
    const numlib::detail::ErrorState& state = numlib::detail::error_state();
    ASSERT_TRUE(state.initialised);
    EXPECT_EQ(state.current_level, fresh.current_level);
    EXPECT_EQ(state.message_length, 0);
    EXPECT_EQ(state.parameter_list_end, fresh.parameter_list_end);
    for (int level = 1; level <= state.current_level; ++level) {
        EXPECT_EQ(state.error_type[level], fresh.error_type[level]) << "level " << level;
    }
    // The solver's own level, popped after each step, recorded no error.
    EXPECT_LE(state.error_type[state.current_level + 1], 0);
}

}  // namespace
