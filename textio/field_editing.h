// Rendering of single values into fixed-width fields.
//
// Fixed-point fields round the exact binary64 value to the given number of
// decimals with a value exactly halfway rounded away from zero (unlike
// printf and std::to_chars, which round such ties to even).  A value that
// does not fit its field fills it with asterisks; rendering never fails.
#pragma once

#include <cstdint>

namespace textio {

// Writes exactly `width` characters to `out`: the value right-aligned with
// `decimals` fraction digits after a decimal point that is always present,
// "0" before the point when the magnitude is below 1 and there is room, "-"
// only when the rounded value is not zero, no plus sign.  When the digits,
// point and sign need more than `width` characters the field is `width`
// asterisks.
//
// NaN is " NaN" and infinities " Infinity"/" -Infinity", left-aligned and
// padded with blanks; a field too narrow for that text is asterisks.
//
// A width of 0 or less writes nothing; negative decimals count as 0.
// Common fields (up to 6 decimals, magnitude below 2^43) are rendered with
// integer arithmetic only and without allocation.
void format_fixed(double value, int width, int decimals, char* out);

// Writes exactly `width` characters: the decimal integer right-aligned with
// "-" before a negative value, or asterisks when it needs more than `width`
// characters (INT32_MIN needs 11).  A width of 0 or less writes nothing.
void format_integer(std::int32_t value, int width, char* out);

}  // namespace textio
