// Message parameters: E1SETI and E1SETL append the values for the
// placeholders of the next E1MES call to the parameter list.
//
// An entry is "*", the key letter, the placeholder digit, "*", the length m
// of the value in decimal, "%" and the m characters of the value, stored back
// to back from position 1.  A value that does not fit is dropped silently.
#include "numlib/error_state.h"
#include "numlib/numlib.h"

#include <algorithm>
#include <charconv>

namespace numlib::detail {

namespace {

constexpr std::size_t longest_text_value = 255;

// Room an entry may need beyond its value: the four key characters, up to
// three length digits and the "%".
constexpr int entry_overhead = 8;

// Appends the entry for placeholder `key``number` with `text`.  The room
// check uses the length given; trailing blanks are removed afterwards when
// `drop_trailing_blanks` is set (an all-blank or empty text keeps one blank).
void append_parameter(ErrorState& state, char key, int number, std::string_view text, bool drop_trailing_blanks) {
    const int given_length = static_cast<int>(text.size());
    const bool fits = state.parameter_list_end + given_length + entry_overhead <= parameter_list_capacity;
    if (!fits || number < 1 || number > 9) {
        return;
    }

    std::string_view value = text;
    if (drop_trailing_blanks) {
        const std::size_t last = text.find_last_not_of(' ');
        value = last == std::string_view::npos ? std::string_view(" ") : text.substr(0, last + 1);
    }

    char length_digits[3];
    const auto converted = std::to_chars(std::begin(length_digits), std::end(length_digits), value.size());
    const std::string_view length_text(length_digits, static_cast<std::size_t>(converted.ptr - length_digits));

    // Index of the entry's first character (position 1 is index 0).
    const int start = state.parameter_list_end == 1 ? 0 : state.parameter_list_end;
    char* out = state.parameter_list.data() + start;
    *out++ = '*';
    *out++ = key;
    *out++ = static_cast<char>('0' + number);
    *out++ = '*';
    out = std::copy(length_text.begin(), length_text.end(), out);
    *out++ = '%';
    out = std::copy(value.begin(), value.end(), out);
    state.parameter_list_end = static_cast<int>(out - state.parameter_list.data());
}

}  // namespace

}  // namespace numlib::detail

namespace numlib {

using namespace detail;

void E1SETI(const int& number, const int& value) {
    ErrorState& state = initialised_error_state();
    char digits[12];
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), value);
    const std::string_view text(digits, static_cast<std::size_t>(converted.ptr - digits));
    append_parameter(state, 'I', number, text, false);
}

void E1SETL(const int& number, std::string_view text) {
    ErrorState& state = initialised_error_state();
    if (number < -9 || number > 9 || number == 0) {
        return;
    }
    const std::string_view used = text.substr(0, std::min(text.size(), longest_text_value));
    append_parameter(state, 'L', number < 0 ? -number : number, used, number > 0);
}

}  // namespace numlib
