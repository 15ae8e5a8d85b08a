// Line layouts: the fixed description of one formatted write.
//
// A layout is an array of items ending with a layout end.  Writing it with a
// list of values renders one or more records: literals and skips place text,
// record breaks end records, groups repeat items, and each data field takes
// the next value.  Writing stops at the first data field that finds no value
// left; at the layout end with values left the current record is written and
// the layout starts again at its last top-level group (or its first item).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace textio {

struct Channel;

enum class ItemKind { literal, skip, record_break, group_begin, group_end, fixed, integer, text, end };

struct LayoutItem {
    ItemKind kind = ItemKind::end;
    std::string_view text = {};  // literal
    int width = 0;               // skip: positions; fields: field width (text: 0 = as wide as the value)
    int decimals = 0;            // fixed
    int repeat = 1;              // group_begin and data fields
};

// Builders that keep layouts readable.
constexpr LayoutItem literal(std::string_view text) { return {ItemKind::literal, text, 0, 0, 1}; }
constexpr LayoutItem skip(int positions) { return {ItemKind::skip, {}, positions, 0, 1}; }
constexpr LayoutItem record_break() { return {ItemKind::record_break, {}, 0, 0, 1}; }
constexpr LayoutItem group(int repeat) { return {ItemKind::group_begin, {}, 0, 0, repeat}; }
constexpr LayoutItem group_end() { return {ItemKind::group_end, {}, 0, 0, 1}; }
constexpr LayoutItem fixed_field(int width, int decimals, int repeat = 1) {
    return {ItemKind::fixed, {}, width, decimals, repeat};
}
constexpr LayoutItem integer_field(int width, int repeat = 1) { return {ItemKind::integer, {}, width, 0, repeat}; }
constexpr LayoutItem text_field(int width = 0, int repeat = 1) { return {ItemKind::text, {}, width, 0, repeat}; }
constexpr LayoutItem layout_end() { return {ItemKind::end, {}, 0, 0, 1}; }

enum class ValueKind { real, integer, text };

struct LayoutValue {
    ValueKind kind = ValueKind::real;
    double real = 0.0;
    std::int32_t integer = 0;
    std::string_view text = {};
};

constexpr LayoutValue real_value(double v) { return {ValueKind::real, v, 0, {}}; }
constexpr LayoutValue integer_value(std::int32_t v) { return {ValueKind::integer, 0.0, v, {}}; }
constexpr LayoutValue text_value(std::string_view v) { return {ValueKind::text, 0.0, 0, v}; }

// Renders the records of one write, each followed by CR LF, appended to
// `records`.  A value whose kind does not match its field fills the field
// with asterisks (one for a text field without a width).  When a pass from
// the reversion point to the layout end takes no value, the values left are
// not used, so a layout without data fields cannot repeat forever.
void render_layout(std::span<const LayoutItem> layout, std::span<const LayoutValue> values, std::string& records);

// Renders the records of one write onto `channel`, building each record in
// a reused buffer: repeated writes allocate nothing.
void write_layout(Channel& channel, std::span<const LayoutItem> layout, std::span<const LayoutValue> values);

}  // namespace textio
