// The boiling-curve mode against the compatible run, side by side: one step
// of a quench probe with its record, once with the compatible step and once
// with all three tables (surface coefficient, conductivity, specific heat).
// The table step assembles its matrix and solves it anew in every step; its
// cost should stay within three compatible steps (the CPU times of the two
// benchmarks).
#include <benchmark/benchmark.h>

#include "model/heat_model.h"
#include "model/property_table.h"
#include "model/result_file.h"
#include "model/table_step.h"
#include "textio/file_channel.h"

using namespace model;

namespace {

// A 12.5 mm nickel-alloy probe from 850 C into oil at 60 C.
ParameterSet probe() { return {0.0, 0.00625, 1000.0, 850.0, 60.0, 60.0, 8400.0, 440.0, 15.0, 1e6, 1e6}; }

const PropertyTable boiling_curve = make_property_table({20.0, 490.0, 510.0, 900.0}, {6000.0, 6000.0, 350.0, 350.0});
const PropertyTable conductivity = make_property_table({20.0, 850.0}, {15.0, 26.0});
const PropertyTable specific_heat = make_property_table({20.0, 850.0}, {440.0, 610.0});

textio::Channel& discarding_channel() {
    static textio::Channel& channel = textio::open_unit(998, "/dev/null");
    return channel;
}

void BM_ProbeCompatibleStep(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, probe());
    textio::Channel& channel = discarding_channel();
    for (auto _ : state) {
        const StepRecord r = take_time_step(model);
        write_step_record(channel, r.time, r.tc, r.tpov, r.dT);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProbeCompatibleStep);

void BM_ProbeTableStep(benchmark::State& state) {
    static HeatModel model;
    set_up_model(model, probe());
    const TableRun run = prepare_table_run(model, {&boiling_curve, &conductivity, &specific_heat});
    textio::Channel& channel = discarding_channel();
    for (auto _ : state) {
        const StepRecord r = take_table_step(model, run);
        write_step_record(channel, r.time, r.tc, r.tpov, r.dT);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProbeTableStep);

}  // namespace
