#include "fit/table_sampling.h"

#include <algorithm>
#include <cmath>

#include "fit/interruption.h"

namespace fit {

std::int32_t run_table_model_into(const model::ParameterSet& parameters, const model::MaterialTables& tables,
                                  ProbePosition position, SampleSink& sink, std::vector<double>* surface) {
    model::HeatModel model;
    model::set_up_model(model, parameters);
    const model::TableRun run = model::prepare_table_run(model, tables);
    const std::size_t count = sink.times.size();
    if (surface != nullptr) surface->assign(count, parameters.initial_temperature);
    std::size_t next = 0;
    double previous_time = 0.0;
    double previous_value = parameters.initial_temperature;
    double previous_surface = parameters.initial_temperature;
    std::int32_t steps = 0;
    while (next < count && steps < model.setup.step_count) {
        if (steps % 4096 == 0 && interruption_signal() != 0) break;
        const model::StepRecord record = model::take_table_step(model, run);
        ++steps;
        const double end_time = record.time + model.setup.time_step;
        const double value = position == ProbePosition::centre ? record.tc : record.tpov;
        while (next < count && sink.times[next] <= end_time) {
            const double fraction = (sink.times[next] - previous_time) / (end_time - previous_time);
            sink.values[next] = previous_value + (value - previous_value) * fraction;
            if (surface != nullptr) (*surface)[next] = previous_surface + (record.tpov - previous_surface) * fraction;
            ++next;
        }
        previous_time = end_time;
        previous_value = value;
        previous_surface = record.tpov;
    }
    for (; next < count; ++next) {
        sink.values[next] = previous_value;
        if (surface != nullptr) (*surface)[next] = previous_surface;
    }
    return steps;
}

std::int32_t run_table_model_into(const model::ParameterSet& parameters, const model::MaterialTables& tables,
                                  ProbePosition position, RecordSink& sink, std::vector<double>* surface) {
    model::HeatModel model;
    model::set_up_model(model, parameters);
    const model::TableRun run = model::prepare_table_run(model, tables);
    sink.time.assign(1, 0.0);
    sink.temperature.assign(1, parameters.initial_temperature);
    if (surface != nullptr) surface->assign(1, parameters.initial_temperature);
    const double steps_needed = std::ceil(sink.until / model.setup.time_step);
    const double most = static_cast<double>(std::max<std::size_t>(sink.most_records, 1));
    const std::int64_t stride = steps_needed > most ? static_cast<std::int64_t>(std::ceil(steps_needed / most)) : 1;
    std::int32_t steps = 0;
    bool reached = false;
    while (steps < model.setup.step_count && !reached) {
        if (steps % 4096 == 0 && interruption_signal() != 0) break;
        const model::StepRecord record = model::take_table_step(model, run);
        ++steps;
        const double end_time = record.time + model.setup.time_step;
        reached = end_time >= sink.until;
        if (steps % stride == 0 || reached || steps == model.setup.step_count) {
            sink.time.push_back(end_time);
            sink.temperature.push_back(position == ProbePosition::centre ? record.tc : record.tpov);
            if (surface != nullptr) surface->push_back(record.tpov);
        }
    }
    return steps;
}

}  // namespace fit
