// The time loop's step counter: every count up to 2147483647 runs exactly
// that many steps.  The end of the longest run is reached through the loop's
// first-step parameter instead of two billion steps.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "model/heat_model.h"
#include "support/parameter_sets.h"

using namespace model;

namespace {

ParameterSet quench_parameters() { return quench({}); }

constexpr std::int32_t largest_count = std::numeric_limits<std::int32_t>::max();

TEST(TimeLoop, RunsEveryStepOfTheCountOnce) {
    HeatModel model;
    set_up_model(model, quench_parameters());
    const std::int64_t planned = model.setup.step_count;
    ASSERT_GT(planned, 1);
    EXPECT_EQ(run_steps(model, 1, model.setup.step_count, nullptr), planned);
    // The clock went through every step: the last record's time plus one step.
    EXPECT_NEAR(model.time, model.setup.total_time, model.setup.time_step);
}

TEST(TimeLoop, TheLargestCountEndsAfterItsLastStep) {
    const struct {
        std::int64_t first_step;
        std::int64_t steps;
    } cases[] = {
        {largest_count - 2, 3},
        {largest_count, 1},
        {std::int64_t{largest_count} + 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first_step);
        HeatModel model;
        set_up_model(model, quench_parameters());
        model.setup.step_count = largest_count;
        EXPECT_EQ(run_steps(model, c.first_step, largest_count, nullptr), c.steps);
        // The clock moved once per step taken.
        double clock = 0.0;
        for (std::int64_t k = 0; k < c.steps; ++k) clock = model.setup.time_step + clock;
        EXPECT_EQ(model.time, clock);
    }
}

TEST(TimeLoop, CountsBelowOneTakeNoStep) {
    for (std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        HeatModel model;
        set_up_model(model, quench_parameters());
        model.setup.step_count = count;
        EXPECT_EQ(run_steps(model, 1, model.setup.step_count, nullptr), 0);
        EXPECT_EQ(model.time, 0.0);
        EXPECT_EQ(model.dTmax, 0.0);
    }
}

}  // namespace
