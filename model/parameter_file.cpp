#include "model/parameter_file.h"

#include <array>

#include "model/parameter_fields.h"
#include "textio/failure_report.h"
#include "textio/file_channel.h"

namespace model {

using textio::ReadOutcome;

textio::ReadOutcome read_parameter_set(textio::FreeFormReader& reader, ParameterSet& p) {
    // The title line, whatever it holds.
    ReadOutcome outcome = textio::read_list(reader, {});
    if (outcome != ReadOutcome::ok) return outcome;

    // One read per line of a well-formed file; two values on lines 6 and 10.
    std::size_t next = 0;
    for (int read = 1; read <= parameter_read_count; ++read) {
        const std::size_t count = fields_of_read(read);
        std::array<double, 2> values{};
        for (std::size_t k = 0; k < count; ++k) values[k] = p.*parameter_fields[next + k].member;
        outcome = textio::read_list(reader, std::span<double>(values.data(), count));
        for (std::size_t k = 0; k < count; ++k) p.*parameter_fields[next + k].member = values[k];
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

}  // namespace model
