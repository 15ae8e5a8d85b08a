// Microbenchmarks: one time step (assembly and solve), the same with its
// record rendered into a discarded buffer, and the rendering of one record.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "model/heat_model.h"
#include "model/result_file.h"
#include "textio/file_channel.h"

namespace {

// The steel wire of the long benchmark run: radius 2 mm, furnace at 900.
ParameterSet steel_wire() {
    return {0.0, 0.002, 50.0, 20.0, 900.0, 20.0, 7800.0, 460.0, 45.0, 300.0, 210.0};
}

textio::Channel& discarding_channel() {
    static textio::Channel& channel = textio::open_unit(999, "/dev/null");
    return channel;
}

void BM_TimeStep(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    for (auto _ : state) {
        StepRecord record = take_time_step(model);
        benchmark::DoNotOptimize(record);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimeStep);

void BM_TimeStepWithRecord(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    textio::Channel& channel = discarding_channel();
    for (auto _ : state) {
        const StepRecord r = take_time_step(model);
        write_step_record(channel, r.time, r.tc, r.tpov, r.dT);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimeStepWithRecord);

void BM_RenderRecordTypical(benchmark::State& state) {
    textio::Channel& channel = discarding_channel();
    double time = 12.345;
    for (auto _ : state) {
        write_step_record(channel, time, 849.8721, 697.3456, 152.5265);
        time += 0.000255;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RenderRecordTypical);

void BM_RenderRecordExtreme(benchmark::State& state) {
    // Asterisks, a value needing the exact expansion, NaN and a tie.
    textio::Channel& channel = discarding_channel();
    for (auto _ : state) {
        write_step_record(channel, 1e300, -1e-200, __builtin_nan(""), 0.125);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RenderRecordExtreme);

}  // namespace

BENCHMARK_MAIN();
