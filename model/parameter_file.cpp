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

void read_parameter_file(ParameterSet& parameters, bool create_missing, ParameterFileRecord* record,
                         std::string_view name) {
    textio::Channel& channel = create_missing ? textio::open_unit(parameter_file_unit, name)
                                              : textio::open_existing_unit(parameter_file_unit, name);
    textio::FreeFormReader reader = textio::make_channel_reader(channel);
    if (record != nullptr) {
        record->full_path = channel.full_path;
        reader.provenance = record->provenance;
        channel.input_copy = record->text;
        channel.input_copy_limit = record->text_limit;
    }
    ReadOutcome outcome = ReadOutcome::ok;
    try {
        outcome = read_parameter_set(reader, parameters);
    } catch (const textio::Stop&) {
        // A read that the system failed or a signal cut short.
        channel.input_copy = nullptr;
        if (record != nullptr) record->stop_offset = textio::text_offset(reader);
        throw;
    }
    channel.input_copy = nullptr;
    if (record != nullptr) record->stop_offset = textio::text_offset(reader);
    if (outcome != ReadOutcome::ok) {
        textio::report_failure(textio::failure_number_of(outcome), channel.unit, channel.full_path);
    }
    textio::close_unit(parameter_file_unit);
}

}  // namespace model
