// The report printer: writes the pending error report of the current level,
// its message text broken into lines, and the traceback of the stack.
#include "numlib/error_report.h"

#include "numlib/error_state.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"
#include "textio/line_layout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace numlib::detail {

namespace {

using namespace textio;

// Width of the first line's text is first_line_reach minus the header length.
constexpr int first_line_reach = 59;
constexpr int continuation_width = 64;

constexpr std::string_view forced_break = "%/";

// The blank line and the first line of a report.
constexpr std::array first_line_layout = {
    record_break(), literal(" *** "), text_field(8), literal(" ERROR"),
    text_field(),  // the header: " <code> from <routine>"
    text_field(),  // the text from its ".  " on
    layout_end(),
};

// A continuation line; one with no characters holds " *** " only.
constexpr std::array continuation_layout = {
    literal(" *** "),
    skip(9),
    text_field(),
    layout_end(),
};

constexpr std::array traceback_header_layout = {
    literal("     Here is a traceback of subprogram calls in reverse order:"), record_break(),
    literal("     Routine name                    Error type  Error code"),    record_break(),
    literal("     ------------                    ----------  ----------"),    layout_end(),
};

constexpr std::array traceback_row_layout = {
    literal("     "), text_field(32), integer_field(6), literal("      "), integer_field(6), layout_end(),
};

constexpr std::array internal_call_row_layout = {
    literal("     "),  text_field(32),   integer_field(6),
    literal("      "), integer_field(6), literal("    (Called internally)"),
    layout_end(),
};

std::string_view type_word(int type) {
    constexpr std::array<std::string_view, error_type_count + 1> words = {
        "UNKNOWN ", "NOTE    ", "ALERT   ", "WARNING ", "FATAL   ", "TERMINAL", "WARNING ", "FATAL   ",
    };
    return type >= 1 && type <= error_type_count ? words[static_cast<std::size_t>(type)] : words[0];
}

// A name whose first letter is lower case and second upper case is shown
// with its first letter raised.
RoutineName displayed_name(const RoutineName& name) {
    RoutineName shown = name;
    if (shown[0] >= 'a' && shown[0] <= 'z' && shown[1] >= 'A' && shown[1] <= 'Z') {
        shown[0] = static_cast<char>(shown[0] - 'a' + 'A');
    }
    return shown;
}

// " <code> from <name up to its first blank>"
std::string report_header(int code, const RoutineName& name) {
    const std::string_view shown(name.data(), name.size());
    char digits[12];
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), code);
    std::string header = " ";
    header.append(digits, converted.ptr);
    header += " from ";
    header += shown.substr(0, shown.find(' '));
    return header;
}

// Positions below count from 1 like the characters of the text.

// The characters first..last of `text` (empty when last < first).
std::string_view characters(std::string_view text, int first, int last) {
    if (last < first) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
}

// Position of the first "%/" lying wholly within first..last, or 0.
int find_forced_break(std::string_view text, int first, int last) {
    const std::size_t found = characters(text, first, last).find(forced_break);
    return found == std::string_view::npos ? 0 : first + static_cast<int>(found);
}

// Position of the last blank within first..last, or 0.
int find_last_blank(std::string_view text, int first, int last) {
    const std::size_t found = characters(text, first, last).rfind(' ');
    return found == std::string_view::npos ? 0 : first + static_cast<int>(found);
}

void write_continuation_line(Channel& channel, std::string_view line) {
    const std::array values = {text_value(line)};
    write_layout(channel, continuation_layout, values);
}

// Writes the text after the first line, which ended at position `end`.
void write_continuation_lines(Channel& channel, std::string_view text, int end, bool ended_by_forced_break) {
    const int n = static_cast<int>(text.size());
    for (;;) {
        const int reach = std::min(end + continuation_width, n);
        int start = end + 1;
        if (!ended_by_forced_break && start <= n && text[static_cast<std::size_t>(start - 1)] == ' ') {
            start = end + 2;  // one blank after a plain break is dropped, never more
        }

        const int forced = find_forced_break(text, start, reach);
        if (forced > 0) {
            write_continuation_line(channel, characters(text, start, forced - 1));
            end = forced + 1;
            ended_by_forced_break = true;
            continue;
        }
        if (end + continuation_width >= n) {
            write_continuation_line(channel, characters(text, start, n));
            return;
        }
        const int blank = find_last_blank(text, start + 1, end + continuation_width);
        const int last = blank > 0 ? blank : end + continuation_width;
        write_continuation_line(channel, characters(text, start, last));
        end = last;
        ended_by_forced_break = false;
    }
}

void write_traceback(Channel& channel, const ErrorState& state, int top_level) {
    write_layout(channel, traceback_header_layout, {});
    for (int level = top_level; level >= 1; --level) {
        const RoutineName name = displayed_name(state.routine_name[level]);
        const std::array values = {
            text_value(std::string_view(name.data(), name.size())),
            integer_value(state.error_type[level]),
            integer_value(state.error_code[level]),
        };
        const bool called_internally = level >= 2 && !state.is_user_level[level - 1];
        if (called_internally) {
            write_layout(channel, internal_call_row_layout, values);
        } else {
            write_layout(channel, traceback_row_layout, values);
        }
    }
}

}  // namespace

void print_error_report() {
    ErrorState& state = error_state();
    if (state.message_length <= 0) {
        return;
    }
    int unit = 0;
    UMACH(3, unit);
    Channel& channel = unit_channel(unit);

    const int level = state.current_level;
    const std::string header = report_header(state.error_code[level], displayed_name(state.routine_name[level]));
    const std::string_view text(state.message_text.data(), static_cast<std::size_t>(state.message_length));
    const int n = state.message_length;
    const int budget = first_line_reach - static_cast<int>(header.size());

    // Split off the first line; `end` is the last position it consumes.
    std::string_view first_line;
    int end = n;
    bool ended_by_forced_break = false;
    const int forced = find_forced_break(text, 1, n);
    if (forced > 0 && forced < budget) {
        first_line = characters(text, 1, forced - 1);
        end = forced + 1;
        ended_by_forced_break = true;
    } else if (n <= budget) {
        first_line = text;
    } else {
        const int blank = find_last_blank(text, 2, budget);
        end = blank > 0 ? blank : budget;
        first_line = characters(text, 1, blank > 0 ? blank - 1 : budget);
    }

    const std::array first_values = {text_value(type_word(state.error_type[level])), text_value(header),
                                     text_value(first_line)};
    write_layout(channel, first_line_layout, first_values);
    if (end < n || ended_by_forced_break) {
        write_continuation_lines(channel, text, end, ended_by_forced_break);
    }

    state.message_length = 0;
    clear_parameter_list(state);

    if (level > 2) {
        write_traceback(channel, state, level);
    }
}

}  // namespace numlib::detail
