// Decimal integer reader with the overflow bound of the machine constants.
#include "numlib/decimal_integer_reader.h"

#include "numlib/numlib.h"

namespace numlib::detail {

namespace {

bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

DecimalReading read_decimal_integer(std::string_view text) {
    const int length = static_cast<int>(text.size());
    if (length <= 0) {
        return {0, -1};
    }
    int i = 0;  // index of the next character; its position is i + 1
    while (i < length && text[i] == ' ') {
        ++i;
    }
    if (i == length) {
        return {0, 1};
    }

    bool negative = false;
    const int sign_position = i + 1;
    const bool has_sign = text[i] == '+' || text[i] == '-';
    if (has_sign) {
        negative = text[i] == '-';
        ++i;
        while (i < length && text[i] == ' ') {
            ++i;
        }
    }

    bool any_digit = false;
    while (i < length && text[i] == '0') {
        any_digit = true;
        ++i;
    }

    const int largest = IMACH(5);
    int value = 0;
    while (i < length && is_decimal_digit(text[i])) {
        const int digit = text[i] - '0';
        if (value > (largest - digit) / 10) {
            return {0, -2};
        }
        value = value * 10 + digit;
        any_digit = true;
        ++i;
    }

    const int signed_value = negative ? -value : value;
    if (i < length) {
        return {signed_value, i + 1};
    }
    if (!any_digit && has_sign) {
        return {0, sign_position};
    }
    return {signed_value, 0};
}

}  // namespace numlib::detail
