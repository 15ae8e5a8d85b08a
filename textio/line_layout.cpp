// Rendering of line layouts into records.
//
// One write walks the layout once (and again from the reversion point while
// values remain), building each record in a reused buffer that starts blank
// with the position at column 1.  Finished records go either to a string or
// to a channel; the buffer keeps its capacity between writes, so writing
// the same layout over and over allocates nothing after the first time.
//
// A value whose kind does not match its field (a text for a fixed-point
// field, a real for an integer field, and so on) fills the field with
// asterisks, one asterisk for a text field without a width: output never
// fails on a value.  A layout without a data field between its reversion
// point and its end would repeat forever while values are left; such a write
// stops after the pass that consumed nothing and leaves the surplus values
// unused.
#include "textio/line_layout.h"

#include "textio/field_editing.h"
#include "textio/file_channel.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

namespace textio {

namespace {

// Where finished records go: exactly one of the two is set.
struct RecordTarget {
    std::string* records = nullptr;
    Channel* channel = nullptr;
};

struct RecordBuilder {
    std::string& text;         // characters 1..length of the record; its size is the length
    std::size_t position = 0;  // the current position, 0 for column 1
};

// The reused record buffer (the program is single-threaded).
std::string& record_buffer() {
    static std::string buffer;
    return buffer;
}

// Room for `count` characters at the current position: the record grows with
// blanks up to the end of them and the position moves past them.  Returns
// where to write.
char* claim(RecordBuilder& record, std::size_t count) {
    const std::size_t start = record.position;
    if (start + count > record.text.size()) record.text.resize(start + count, ' ');
    record.position = start + count;
    return record.text.data() + start;
}

void put_text(RecordBuilder& record, std::string_view text) {
    if (text.empty()) return;
    char* out = claim(record, text.size());
    std::copy(text.begin(), text.end(), out);
}

void put_asterisks(RecordBuilder& record, int width) {
    if (width <= 0) return;
    char* out = claim(record, static_cast<std::size_t>(width));
    std::fill(out, out + width, '*');
}

void end_record(RecordBuilder& record, RecordTarget target) {
    if (target.channel != nullptr) {
        write_record(*target.channel, record.text);
    } else {
        target.records->append(record.text);
        target.records->append(record_end);
    }
    record.text.clear();
    record.position = 0;
}

void put_field(RecordBuilder& record, const LayoutItem& field, const LayoutValue& value) {
    switch (field.kind) {
        case ItemKind::fixed:
            if (value.kind != ValueKind::real) {
                put_asterisks(record, field.width);
            } else if (field.width > 0) {
                format_fixed(value.real, field.width, field.decimals,
                             claim(record, static_cast<std::size_t>(field.width)));
            }
            return;
        case ItemKind::integer:
            if (value.kind != ValueKind::integer) {
                put_asterisks(record, field.width);
            } else if (field.width > 0) {
                format_integer(value.integer, field.width, claim(record, static_cast<std::size_t>(field.width)));
            }
            return;
        case ItemKind::text: {
            if (value.kind != ValueKind::text) {
                put_asterisks(record, field.width > 0 ? field.width : 1);
                return;
            }
            if (field.width <= 0) {
                put_text(record, value.text);
                return;
            }
            const std::size_t width = static_cast<std::size_t>(field.width);
            if (width < value.text.size()) {
                put_text(record, value.text.substr(0, width));
                return;
            }
            // Right-aligned: the record grows with blanks, then the string.
            claim(record, width - value.text.size());
            put_text(record, value.text);
            return;
        }
        default: return;
    }
}

// The index of the layout end, or the size of the layout when it has none.
std::size_t layout_end_index(std::span<const LayoutItem> layout) {
    for (std::size_t i = 0; i < layout.size(); ++i)
        if (layout[i].kind == ItemKind::end) return i;
    return layout.size();
}

// Where processing continues when the layout end is reached with values
// left: the last group begin at the top level, or the first item.
std::size_t reversion_index(std::span<const LayoutItem> layout, std::size_t end) {
    std::size_t result = 0;
    int depth = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (layout[i].kind == ItemKind::group_begin) {
            if (depth == 0) result = i;
            ++depth;
        } else if (layout[i].kind == ItemKind::group_end && depth > 0) {
            --depth;
        }
    }
    return result;
}

// The index just after the group end that closes the group opened at `begin`
// (or `end` when the group is never closed).
std::size_t after_group(std::span<const LayoutItem> layout, std::size_t begin, std::size_t end) {
    int depth = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (layout[i].kind == ItemKind::group_begin) {
            ++depth;
        } else if (layout[i].kind == ItemKind::group_end && --depth == 0) {
            return i + 1;
        }
    }
    return end;
}

// The open groups of the walk.  Groups nested deeper than the stack holds
// are processed once.
struct OpenGroup {
    std::size_t begin = 0;  // index of the group begin
    int remaining = 0;      // passes still to make after the current one
};

struct GroupStack {
    std::array<OpenGroup, 16> groups{};
    std::size_t depth = 0;
    std::size_t unrepeated = 0;  // groups opened beyond the stack's depth
};

void render(std::span<const LayoutItem> layout, std::span<const LayoutValue> values, RecordTarget target) {
    const std::size_t end = layout_end_index(layout);
    const std::size_t reversion = reversion_index(layout, end);
    RecordBuilder record{record_buffer()};
    record.text.clear();
    GroupStack stack;
    std::size_t next_value = 0;
    bool consumed_in_pass = false;
    std::size_t index = 0;

    for (;;) {
        if (index >= end) {
            end_record(record, target);
            if (next_value >= values.size() || !consumed_in_pass) return;
            index = reversion;
            stack = GroupStack{};
            consumed_in_pass = false;
            continue;
        }
        const LayoutItem& item = layout[index];
        switch (item.kind) {
            case ItemKind::literal: put_text(record, item.text); break;
            case ItemKind::skip:
                if (item.width > 0) record.position += static_cast<std::size_t>(item.width);
                break;
            case ItemKind::record_break: end_record(record, target); break;
            case ItemKind::group_begin:
                if (item.repeat <= 0) {
                    index = after_group(layout, index, end);
                    continue;
                }
                if (stack.depth < stack.groups.size()) {
                    stack.groups[stack.depth++] = OpenGroup{index, item.repeat - 1};
                } else {
                    ++stack.unrepeated;
                }
                break;
            case ItemKind::group_end:
                if (stack.unrepeated > 0) {
                    --stack.unrepeated;
                } else if (stack.depth > 0) {
                    OpenGroup& group = stack.groups[stack.depth - 1];
                    if (group.remaining > 0) {
                        --group.remaining;
                        index = group.begin + 1;
                        continue;
                    }
                    --stack.depth;
                }
                break;
            case ItemKind::fixed:
            case ItemKind::integer:
            case ItemKind::text:
                for (int i = 0; i < item.repeat; ++i) {
                    if (next_value >= values.size()) {
                        end_record(record, target);
                        return;
                    }
                    put_field(record, item, values[next_value++]);
                    consumed_in_pass = true;
                }
                break;
            case ItemKind::end: break;  // not reached: `end` stops the walk above
        }
        ++index;
    }
}

}  // namespace

void render_layout(std::span<const LayoutItem> layout, std::span<const LayoutValue> values, std::string& records) {
    render(layout, values, RecordTarget{&records, nullptr});
}

void write_layout(Channel& channel, std::span<const LayoutItem> layout, std::span<const LayoutValue> values) {
    render(layout, values, RecordTarget{nullptr, &channel});
}

}  // namespace textio
