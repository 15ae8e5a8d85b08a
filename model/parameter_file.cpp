#include "model/parameter_file.h"

#include <array>

#include "textio/failure_report.h"
#include "textio/file_channel.h"

using textio::ReadOutcome;

textio::ReadOutcome read_parameter_set(textio::FreeFormReader& reader, ParameterSet& p) {
    // The title line, whatever it holds.
    ReadOutcome outcome = textio::read_list(reader, {});
    if (outcome != ReadOutcome::ok) return outcome;

    // One read per line of a well-formed file; two values on lines 6 and 10.
    std::array<double*, 11> order{
        &p.inner_radius, &p.outer_radius, &p.heat_transfer_coefficient, &p.initial_temperature,
        &p.ambient_temperature_1, &p.ambient_temperature_2, &p.density, &p.specific_heat,
        &p.conductivity, &p.first_phase_duration, &p.second_phase_duration,
    };
    constexpr std::array<int, 9> values_per_read{1, 1, 1, 1, 2, 1, 1, 1, 2};
    std::size_t next = 0;
    for (int count : values_per_read) {
        std::array<double, 2> values{};
        for (int k = 0; k < count; ++k) values[k] = *order[next + k];
        outcome = textio::read_list(reader, std::span<double>(values.data(), count));
        for (int k = 0; k < count; ++k) *order[next + k] = values[k];
        if (outcome != ReadOutcome::ok) return outcome;
        next += count;
    }
    return ReadOutcome::ok;
}

ParameterSet read_parameter_file() {
    textio::Channel& channel = textio::open_unit(parameter_file_unit, parameter_file_name);
    textio::FreeFormReader reader = textio::make_channel_reader(channel);
    ParameterSet parameters;
    const ReadOutcome outcome = read_parameter_set(reader, parameters);
    if (outcome != ReadOutcome::ok) {
        textio::report_failure(textio::failure_number_of(outcome), channel.unit, channel.full_path);
    }
    textio::close_unit(parameter_file_unit);
    return parameters;
}
