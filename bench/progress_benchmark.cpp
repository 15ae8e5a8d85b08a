// The cost of running the steps in chunks, as the program does to look for
// an interruption and refresh the progress line between them: the same
// steps taken by a bare loop of take_time_step, by one call of run_steps,
// and in chunks of 100 steps with show_progress between them (far more
// often than a real run, whose chunks are thousands of steps).  Run side by
// side; the ratios show what the chunks cost.
#include <benchmark/benchmark.h>

#include "model/heat_model.h"
#include "program/progress.h"

using namespace model;

namespace {

constexpr int steps_per_iteration = 1000;

ParameterSet steel_wire() { return {0.0, 0.002, 50.0, 20.0, 900.0, 20.0, 7800.0, 460.0, 45.0, 300.0, 210.0}; }

void BM_StepsOneByOne(benchmark::State& state) {
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
BENCHMARK(BM_StepsOneByOne);

void BM_StepsInOneCall(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    for (auto _ : state) {
        run_steps(model, 1, steps_per_iteration, nullptr);
        benchmark::DoNotOptimize(model.node_temperature);
    }
    state.SetItemsProcessed(state.iterations() * steps_per_iteration);
}
BENCHMARK(BM_StepsInOneCall);

void BM_StepsInSmallChunks(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    for (auto _ : state) {
        for (int chunk = 0; chunk < steps_per_iteration / 100; ++chunk) {
            run_steps(model, 1, 100, nullptr);
            program::show_progress(100);
        }
        benchmark::DoNotOptimize(model.node_temperature);
    }
    state.SetItemsProcessed(state.iterations() * steps_per_iteration);
}
BENCHMARK(BM_StepsInSmallChunks);

}  // namespace
