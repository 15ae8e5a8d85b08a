// The cost of the progress countdown in the time loop: the same steps taken
// by a bare loop of take_time_step and by run_time_loop, which counts the
// progress countdown down once per step.  Run side by side; the ratio of the
// two shows what the countdown costs.
#include <benchmark/benchmark.h>

#include "model/heat_model.h"
#include "program/progress.h"

using namespace model;

namespace {

constexpr int steps_per_iteration = 1000;

ParameterSet steel_wire() { return {0.0, 0.002, 50.0, 20.0, 900.0, 20.0, 7800.0, 460.0, 45.0, 300.0, 210.0}; }

void BM_StepsWithoutCountdown(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    for (auto _ : state) {
        for (int step = 0; step < steps_per_iteration; ++step) {
            StepRecord record = take_time_step(model);
            benchmark::DoNotOptimize(record);
        }
    }
    state.SetItemsProcessed(state.iterations() * steps_per_iteration);
}
BENCHMARK(BM_StepsWithoutCountdown);

void BM_TimeLoopWithCountdown(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    model.setup.step_count = steps_per_iteration;
    for (auto _ : state) {
        run_steps(model, 1, model.setup.step_count, nullptr);
        benchmark::DoNotOptimize(model.node_temperature);
    }
    state.SetItemsProcessed(state.iterations() * steps_per_iteration);
}
BENCHMARK(BM_TimeLoopWithCountdown);

// The countdown reaching zero every 100 steps: far more often than a real
// run, where it reaches zero a few times a second.  Each time the progress
// routine runs (without a terminal it writes nothing).
void BM_TimeLoopWithFrequentLooks(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    model.setup.step_count = 100;
    for (auto _ : state) {
        for (int chunk = 0; chunk < steps_per_iteration / 100; ++chunk) {
            progress_countdown = 100;
            run_steps(model, 1, model.setup.step_count, nullptr);
        }
        benchmark::DoNotOptimize(model.node_temperature);
    }
    state.SetItemsProcessed(state.iterations() * steps_per_iteration);
}
BENCHMARK(BM_TimeLoopWithFrequentLooks);

}  // namespace
