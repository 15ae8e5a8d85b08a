// E1MES: records an error for the routine on top of the stack and composes
// its message text from a template and the message parameters.
#include "numlib/decimal_integer_reader.h"
#include "numlib/error_report.h"
#include "numlib/error_state.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

#include <algorithm>
#include <array>

namespace numlib::detail {

namespace {

constexpr std::string_view text_prefix = ".  ";  // joins the text to the report header
constexpr std::string_view placeholder_kinds = "ACDIKLRSZ";
constexpr std::size_t text_capacity = message_capacity;
constexpr std::string_view illegal_type_text = ".  Error from E1MES.  Illegal error type specified.";

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The placeholder "%(" kind digit ")" that starts at `text`[0], which must
// have five characters.
bool is_placeholder(std::string_view text) {
    if (text[0] != '%' || text[1] != '(' || text[4] != ')') {
        return false;
    }
    if (placeholder_kinds.find(ascii_upper(text[2])) == std::string_view::npos) {
        return false;
    }
    const DecimalReading index = read_decimal_integer(text.substr(3, 1));
    return index.status == 0 && index.value != 0;
}

// The value stored for placeholder `kind``digit`; the first of several
// entries with that key wins.  Empty when there is none.
//
// The list is walked entry by entry, so a text value that happens to contain
// something like "*I1*" is never taken for an entry of its own.
std::string_view find_parameter(const ErrorState& state, char kind, char digit) {
    const int used = state.parameter_list_end > 1 ? state.parameter_list_end : 0;
    const std::string_view list(state.parameter_list.data(), static_cast<std::size_t>(used));
    std::size_t entry = 0;
    while (entry + 4 <= list.size()) {
        const std::string_view key = list.substr(entry, 4);
        const std::string_view length_field = list.substr(entry + 4, 4);
        const DecimalReading length = read_decimal_integer(length_field);
        // The length ends at the "%", whose position the reader returns.
        if (key[0] != '*' || key[3] != '*' || length.status < 2 || length_field[length.status - 1] != '%' ||
            length.value < 0) {
            break;
        }
        const std::size_t value_start = entry + 4 + static_cast<std::size_t>(length.status);
        const std::size_t value_length = static_cast<std::size_t>(length.value);
        if (value_start + value_length > list.size()) {
            break;
        }
        if (ascii_upper(key[1]) == ascii_upper(kind) && key[2] == digit) {
            return list.substr(value_start, value_length);
        }
        entry = value_start + value_length;
    }
    return {};
}

// Composes ".  " and the template with its placeholders replaced into the
// message text, cut at its capacity.
void compose_message(ErrorState& state, std::string_view message_template) {
    // Work on a copy: the caller's text may overlap the message being built.
    std::array<char, message_capacity> copy;
    const std::size_t n = std::min(message_template.size(), copy.size());
    std::copy_n(message_template.begin(), n, copy.begin());
    const std::string_view source(copy.data(), n);

    char* const out = state.message_text.data();
    std::size_t length = std::copy(text_prefix.begin(), text_prefix.end(), out) - out;

    std::size_t i = 0;
    while (i + 5 <= n) {
        if (is_placeholder(source.substr(i, 5))) {
            const std::string_view value = find_parameter(state, source[i + 2], source[i + 3]);
            const std::size_t count = std::min(value.size(), text_capacity - length);
            if (count >= 1) {
                std::copy_n(value.begin(), count, out + length);
                length += count;
                i += 5;
                if (length == text_capacity) {
                    state.message_length = message_capacity;
                    return;
                }
                continue;
            }
        }
        out[length++] = source[i++];
        if (length == text_capacity) {
            state.message_length = message_capacity;
            return;
        }
    }
    // The last characters cannot start a placeholder.
    while (i < n && length < text_capacity) {
        out[length++] = source[i++];
    }
    state.message_length = static_cast<int>(length);
}

[[noreturn]] void report_illegal_type(ErrorState& state) {
    std::copy(illegal_type_text.begin(), illegal_type_text.end(), state.message_text.begin());
    state.message_length = static_cast<int>(illegal_type_text.size());
    print_error_report();
    textio::stop_program(library_stop_status);
}

}  // namespace

}  // namespace numlib::detail

namespace numlib {

using namespace detail;

void E1MES(const int& type, const int& code, std::string_view message_template) {
    // Initialising here too keeps a call before any push from recording its
    // error outside the stack.
    ErrorState& state = initialised_error_state();
    if (type < -1 || type > error_type_count) {
        report_illegal_type(state);
    }

    const int level = state.current_level;
    if (type != -1) {
        state.error_type[level] = type;
    }
    if (code >= 0) {
        state.error_code[level] = code;
    }
    if (type == 0 || code == 0) {
        // No error: a pending report is discarded.
        state.message_length = 0;
        clear_parameter_list(state);
        return;
    }

    // An empty or one-blank template keeps the text composed earlier.
    if (!message_template.empty() && message_template != " ") {
        compose_message(state, message_template);
    }

    const int recorded = state.error_type[level];
    if (recorded == warning_immediate) {
        state.warning_immediate_pending = 1;
    } else if (recorded == fatal_immediate) {
        state.fatal_immediate_pending = 1;
    }
    // The immediate types are printed as they are recorded.
    if (recorded >= terminal && recorded <= fatal_immediate && state.print_flag[recorded] == 1) {
        print_error_report();
    }
    clear_parameter_list(state);
}

}  // namespace numlib
