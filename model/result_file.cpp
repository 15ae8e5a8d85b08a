#include "model/result_file.h"

#include <array>

#include "textio/file_channel.h"
#include "textio/line_layout.h"

namespace {

using namespace textio;

constexpr std::array header_layout{
    literal(" Time,s              tc               tpov"), record_break(),
    literal("******************************************"), layout_end(),
};

// One blank, then four fields of a blank and a fixed-point field 12.2.
constexpr std::array record_layout{
    literal(" "), group(4), literal(" "), fixed_field(12, 2), group_end(), layout_end(),
};

constexpr std::array closing_layout{
    literal(" *****************************************************"), record_break(),
    literal(" dTmax="), fixed_field(12, 2), layout_end(),
};

}  // namespace

void write_result_header(Channel& channel) { write_layout(channel, header_layout, {}); }

void write_step_record(Channel& channel, double time, double tc, double tpov, double dT) {
    const std::array values{real_value(time), real_value(tc), real_value(tpov), real_value(dT)};
    write_layout(channel, record_layout, values);
}

void write_result_closing(Channel& channel, double dTmax) {
    const std::array values{real_value(dTmax)};
    write_layout(channel, closing_layout, values);
}
