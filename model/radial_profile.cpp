#include "model/radial_profile.h"

#include "model/result_file.h"

namespace model {

RadialPoint place_relative_radius(double relative_radius) {
    const double position = relative_radius * static_cast<double>(element_count);
    if (!(position > 0.0)) return {1, 0.0};
    if (position >= static_cast<double>(element_count)) return {node_count, 0.0};
    const int whole = static_cast<int>(position);
    return {whole + 1, position - static_cast<double>(whole)};
}

double temperature_at(const HeatModel& model, RadialPoint point) {
    const double here = model.node_temperature[static_cast<std::size_t>(point.node)];
    if (point.weight == 0.0) return here;
    const double next = model.node_temperature[static_cast<std::size_t>(point.node) + 1];
    return here + point.weight * (next - here);
}

std::int64_t run_steps_with_profile(HeatModel& model, std::int64_t first_step, std::int64_t last_step,
                                    textio::Channel* result_file, const ProfileSampling& sampling, ProfileRows& rows,
                                    const TableRun* tables) {
    std::int64_t steps_done = 0;
    for (std::int64_t step = first_step; step <= last_step; ++step) {
        const StepRecord r = tables != nullptr ? take_table_step(model, *tables) : take_time_step(model);
        if (result_file != nullptr) write_step_record(*result_file, r.time, r.tc, r.tpov, r.dT);
        ++steps_done;
        if (step % sampling.every != 0 && step != sampling.last_step) continue;
        rows.time.push_back(model.time);
        for (const RadialPoint point : sampling.points) rows.temperature.push_back(temperature_at(model, point));
        rows.centre.push_back(r.tc);
        rows.surface.push_back(r.tpov);
        rows.dT.push_back(r.dT);
    }
    return steps_done;
}

void clear_profile_rows(ProfileRows& rows) {
    rows.time.clear();
    rows.temperature.clear();
    rows.centre.clear();
    rows.surface.clear();
    rows.dT.clear();
}

}  // namespace model
