// The model's temperatures at measured times: records at the end of their
// step, linear in time between them, and runs that stop at the last time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fit/model_sampling.h"
#include "fit_test_support.h"

using namespace model;
using namespace fit;

namespace {

TEST(ModelSampling, InterpolatesBetweenStepEndsAndStopsAtTheLastTime) {
    const ParameterSet p = probe_parameters(2000.0, 10.0);
    // The reference: the model stepped directly.
    HeatModel model;
    set_up_model(model, p);
    const double dt = model.setup.time_step;
    std::vector<StepRecord> records;
    for (int k = 0; k < 40; ++k) records.push_back(take_time_step(model));

    const std::vector<double> times{0.25 * dt, records[0].time + dt, records[9].time + dt + 0.5 * dt,
                                    records[29].time + dt};
    std::vector<double> surface(times.size());
    SampleSink sink{times, surface};
    EXPECT_EQ(run_model_into(p, ProbePosition::surface, sink), 30) << "the run ends with the step of the last time";
    EXPECT_DOUBLE_EQ(surface[0], 850.0 + (records[0].tpov - 850.0) * 0.25);
    EXPECT_EQ(surface[1], records[0].tpov);
    EXPECT_NEAR(surface[2], 0.5 * (records[9].tpov + records[10].tpov), 1e-9);
    EXPECT_EQ(surface[3], records[29].tpov);

    std::vector<double> centre(1);
    const std::vector<double> one{records[4].time + dt};
    SampleSink centre_sink{one, centre};
    run_model_into(p, ProbePosition::centre, centre_sink);
    EXPECT_EQ(centre[0], records[4].tc);
}

TEST(ModelSampling, ChartRecordsAreThinnedToABoundedCount) {
    const ParameterSet p = probe_parameters(2000.0, 40.0);  // about 5000 steps
    RecordSink all;
    all.until = 40.0;
    all.most_records = 100000;
    const std::int32_t steps = run_model_into(p, ProbePosition::centre, all);
    EXPECT_EQ(all.time.size(), static_cast<std::size_t>(steps) + 1);

    RecordSink thinned;
    thinned.until = 30.0;
    thinned.most_records = 200;
    run_model_into(p, ProbePosition::centre, thinned);
    ASSERT_LE(thinned.time.size(), 202u);
    ASSERT_GE(thinned.time.size(), 150u);
    EXPECT_EQ(thinned.time.front(), 0.0);
    EXPECT_EQ(thinned.temperature.front(), 850.0);
    EXPECT_GE(thinned.time.back(), 30.0);
    EXPECT_LT(thinned.time[thinned.time.size() - 2], 30.0);
    // Every kept record is one of the full run's.
    for (std::size_t i = 0; i < thinned.time.size(); ++i) {
        const auto at = std::lower_bound(all.time.begin(), all.time.end(), thinned.time[i]);
        ASSERT_NE(at, all.time.end());
        EXPECT_EQ(*at, thinned.time[i]);
        EXPECT_EQ(all.temperature[static_cast<std::size_t>(at - all.time.begin())], thinned.temperature[i]);
    }
}

}  // namespace
