// The library's reader of decimal integers in short texts (the placeholder
// digit of a message template, the value length of a parameter entry).
#pragma once

#include <string_view>

namespace numlib::detail {

struct DecimalReading {
    int value = 0;
    // 0: the digits ran to the end of the text; -1: empty text; -2: the value
    // exceeds the largest integer; 1 for a text of blanks only; otherwise the
    // position (from 1) of the character that ended the number.
    int status = 0;
};

// Reads: leading blanks, an optional "+" or "-", more blanks, leading zeros,
// then digits.  A sign with nothing after it gives the sign's position.
DecimalReading read_decimal_integer(std::string_view text);

}  // namespace numlib::detail
