// Microbenchmarks: one time step (load vector and substitution), the same
// with its record rendered into a discarded buffer, the substitution's chain
// on its own, and the rendering of one record.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "model/heat_model.h"
#include "model/result_file.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

using namespace model;

namespace {

// The steel wire of the long benchmark run: radius 2 mm, furnace at 900.
ParameterSet steel_wire() { return {0.0, 0.002, 50.0, 20.0, 900.0, 20.0, 7800.0, 460.0, 45.0, 300.0, 210.0}; }

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

// The floor of a step: the substitution's chain of dependent operations
// alone (the right-hand side's share of the elimination, then the back
// substitution), each solve starting from the solution of the one before,
// with no load vector and no record.
void BM_SubstitutionChain(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, steel_wire());
    take_time_step(model);  // the first step keeps the elimination
    NodalArray x = model.node_temperature;
    for (auto _ : state) {
        DLSLTS(node_count, &model.lower_diagonal[1], &model.main_diagonal[1], &model.upper_diagonal[1],
               &model.elimination_multiplier[1], &model.row_interchanged[1], &x[1]);
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SubstitutionChain);

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
