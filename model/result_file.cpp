#include "model/result_file.h"

#include <array>
#include <cstring>

#include "textio/field_editing.h"
#include "textio/file_channel.h"
#include "textio/line_layout.h"

namespace {

using namespace textio;

constexpr std::array header_layout{
    literal(" Time,s              tc               tpov"), record_break(),
    literal("******************************************"), layout_end(),
};

// One blank, then four fields of a blank and a fixed-point field 12.2.
constexpr int record_fields = 4;
constexpr int field_width = 12;
constexpr int field_decimals = 2;
constexpr std::size_t record_length = 1 + record_fields * (1 + field_width);

constexpr std::array closing_layout{
    literal(" *****************************************************"), record_break(),
    literal(" dTmax="), fixed_field(field_width, field_decimals), layout_end(),
};

}  // namespace

void write_result_header(Channel& channel) { write_layout(channel, header_layout, {}); }

// The data record is written millions of times in a long run, so its fixed
// layout (a blank, then four times a blank and a field 12.2) is rendered
// straight into the channel's buffer.
void write_step_record(Channel& channel, double time, double tc, double tpov, double dT) {
    char* record = begin_record(channel, record_length);
    const double values[record_fields] = {time, tc, tpov, dT};
    record[0] = ' ';
    for (int i = 0; i < record_fields; ++i) {
        char* field = record + 1 + i * (1 + field_width);
        field[0] = ' ';
        format_fixed(values[i], field_width, field_decimals, field + 1);
    }
    end_record(channel, record_length);
}

void write_result_closing(Channel& channel, double dTmax) {
    const std::array values{real_value(dTmax)};
    write_layout(channel, closing_layout, values);
}
