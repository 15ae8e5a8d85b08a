#include "fit/model_sampling.h"

#include <algorithm>
#include <cmath>

#include "fit/interruption.h"

namespace fit {

namespace {

double at_position(const model::StepRecord& record, ProbePosition position) {
    return position == ProbePosition::centre ? record.tc : record.tpov;
}

}  // namespace

std::int32_t run_model_into(const model::ParameterSet& parameters, ProbePosition position, SampleSink& sink,
                            std::int32_t step_divisor) {
    // The model's state lives in this frame only: each run starts from a
    // fresh set-up and shares nothing with the runs before it.
    model::HeatModel model;
    if (step_divisor > 1)
        model::set_up_model_with_finer_step(model, parameters, step_divisor);
    else
        model::set_up_model(model, parameters);
    const std::size_t count = sink.times.size();
    std::size_t next = 0;
    double previous_time = 0.0;
    double previous_value = parameters.initial_temperature;
    std::int32_t steps = 0;
    while (next < count && steps < model.setup.step_count) {
        // A run can take millions of steps: INT, TERM and HUP are looked
        // at every few thousand of them.
        if (steps % 4096 == 0 && interruption_signal() != 0) break;
        const model::StepRecord record = model::take_time_step(model);
        ++steps;
        const double end_time = record.time + model.setup.time_step;
        const double value = at_position(record, position);
        while (next < count && sink.times[next] <= end_time) {
            const double fraction = (sink.times[next] - previous_time) / (end_time - previous_time);
            sink.values[next] = previous_value + (value - previous_value) * fraction;
            ++next;
        }
        previous_time = end_time;
        previous_value = value;
    }
    for (; next < count; ++next) sink.values[next] = previous_value;
    return steps;
}

std::int32_t run_model_into(const model::ParameterSet& parameters, ProbePosition position, RecordSink& sink) {
    model::HeatModel model;
    model::set_up_model(model, parameters);
    sink.time.assign(1, 0.0);
    sink.temperature.assign(1, parameters.initial_temperature);
    const double steps_needed = std::ceil(sink.until / model.setup.time_step);
    const double most = static_cast<double>(std::max<std::size_t>(sink.most_records, 1));
    const std::int64_t stride = steps_needed > most ? static_cast<std::int64_t>(std::ceil(steps_needed / most)) : 1;
    std::int32_t steps = 0;
    bool reached = false;
    while (steps < model.setup.step_count && !reached) {
        if (steps % 4096 == 0 && interruption_signal() != 0) break;
        const model::StepRecord record = model::take_time_step(model);
        ++steps;
        const double end_time = record.time + model.setup.time_step;
        reached = end_time >= sink.until;
        if (steps % stride == 0 || reached || steps == model.setup.step_count) {
            sink.time.push_back(end_time);
            sink.temperature.push_back(at_position(record, position));
        }
    }
    return steps;
}

}  // namespace fit
