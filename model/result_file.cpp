#include "model/result_file.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "textio/field_editing.h"
#include "textio/file_channel.h"
#include "textio/line_ends.h"
#include "textio/line_layout.h"

namespace model {

namespace {

using namespace textio;

constexpr std::string_view heading = " Time,s              tc               tpov";
constexpr std::string_view heading_rule = "******************************************";
constexpr std::string_view closing_rule = " *****************************************************";
constexpr std::string_view dTmax_label = " dTmax=";

constexpr std::array header_layout{
    literal(heading),
    record_break(),
    literal(heading_rule),
    layout_end(),
};

// One blank, then four fields of a blank and a fixed-point field 12.2.
constexpr int record_fields = 4;
constexpr int field_width = 12;
constexpr int field_decimals = 2;
constexpr std::size_t record_length = 1 + record_fields * (1 + field_width);

constexpr std::array closing_layout{
    literal(closing_rule), record_break(), literal(dTmax_label), fixed_field(field_width, field_decimals), layout_end(),
};

}  // namespace

std::uint64_t result_file_size(std::int32_t step_count) {
    constexpr std::uint64_t line_end = record_end.size();
    constexpr std::uint64_t fixed_bytes = (heading.size() + line_end) + (heading_rule.size() + line_end) +
                                          (closing_rule.size() + line_end) +
                                          (dTmax_label.size() + field_width + line_end);
    constexpr std::uint64_t record_bytes = record_length + line_end;
    return fixed_bytes + (step_count > 0 ? record_bytes * static_cast<std::uint64_t>(step_count) : 0);
}

void write_result_header(Channel& channel) { write_layout(channel, header_layout, {}); }

// The text of a field 12.2 is decided by the value rounded to hundredths:
// its magnitude n = |value| * 100 rounded half away from zero, and its sign
// when n is not 0.  In a long run most fields show the same rounded value as
// in the record before, so each field's text is kept together with that
// rounded value and rendered again only when it changes.
//
// The rounded value is taken from a = |value| * 100 in binary64, which lies
// within a * 2^-53 of the exact product: wherever the fraction of a is
// farther than a * 2^-50 from one half, the exact product rounds to the same
// whole number as a.  Closer to one half, and for values of 10^12 and more,
// NaN and infinities, no shortcut is taken and the field is rendered.
namespace {

constexpr std::int64_t no_rounded_value = std::numeric_limits<std::int64_t>::min();

std::int64_t rounded_hundredths(double value) {
    const double a = std::fabs(value) * 100.0;
    if (!(a < 1e14)) return no_rounded_value;  // also NaN
    const auto whole = static_cast<std::int64_t>(a);
    const double fraction = a - static_cast<double>(whole);  // exact
    if (std::fabs(fraction - 0.5) <= a * 0x1p-50) return no_rounded_value;
    const std::int64_t n = whole + (fraction > 0.5 ? 1 : 0);
    return (value < 0.0) ? -n : n;  // -0.00 is shown as 0.00: n = 0 either way
}

// The last record written, CR LF included, and each field's rounded value.
struct RecordCache {
    std::array<char, record_length + 2> text{};
    std::array<std::int64_t, record_fields> shown{no_rounded_value, no_rounded_value, no_rounded_value,
                                                  no_rounded_value};
};

RecordCache& record_cache() {
    // One per thread, so that concurrent runs never mix their records.
    thread_local RecordCache cache = [] {
        RecordCache c;
        c.text.fill(' ');
        c.text[record_length] = '\r';
        c.text[record_length + 1] = '\n';
        return c;
    }();
    return cache;
}

}  // namespace

// The data record is written millions of times in a long run, so its fixed
// layout (a blank, then four times a blank and a field 12.2) is kept from
// record to record; only the fields whose rounded value changed are
// rendered again, and the record is copied into the channel's buffer.
void write_step_record(Channel& channel, double time, double tc, double tpov, double dT) {
    RecordCache& cache = record_cache();
    const double values[record_fields] = {time, tc, tpov, dT};
    for (int i = 0; i < record_fields; ++i) {
        const std::int64_t rounded = rounded_hundredths(values[i]);
        if (rounded != no_rounded_value && rounded == cache.shown[i]) continue;
        format_fixed(values[i], field_width, field_decimals, cache.text.data() + 2 + i * (1 + field_width));
        cache.shown[i] = rounded;
    }
    char* record = begin_record(channel, record_length);
    std::memcpy(record, cache.text.data(), record_length);
    end_record(channel, record_length);
}

void write_result_closing(Channel& channel, double dTmax) {
    const std::array values{real_value(dTmax)};
    write_layout(channel, closing_layout, values);
}

}  // namespace model
