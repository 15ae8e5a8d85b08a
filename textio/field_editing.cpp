// Fixed-point and integer fields.
//
// A fixed-point field is rounded from the exact binary64 value, with a value
// exactly halfway between two results rounded away from zero.  The common
// field (a few decimals, a moderate magnitude) takes the fast path: the
// significand is scaled by a power of ten in 128-bit integer arithmetic and
// the halfway rounding is one add and one shift.  Everything else takes the
// general path, which works on the exact decimal expansion of the value.
#include "textio/field_editing.h"

#include "textio/field_editing_detail.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace textio {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::array<std::uint64_t, detail::fast_path_max_decimals + 1> powers_of_ten = {1,     10,     100,    1000,
                                                                                         10000, 100000, 1000000};

// 10^0 .. 10^18: an integer has k digits when it is at least the (k-1)-th.
constexpr std::array<std::uint64_t, 19> decimal_thresholds = {1ull,
                                                              10ull,
                                                              100ull,
                                                              1000ull,
                                                              10000ull,
                                                              100000ull,
                                                              1000000ull,
                                                              10000000ull,
                                                              100000000ull,
                                                              1000000000ull,
                                                              10000000000ull,
                                                              100000000000ull,
                                                              1000000000000ull,
                                                              10000000000000ull,
                                                              100000000000000ull,
                                                              1000000000000000ull,
                                                              10000000000000000ull,
                                                              100000000000000000ull,
                                                              1000000000000000000ull};

// "00" to "99": two decimal digits at a time.
constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

// A binary64 magnitude as significand * 2^exponent.
struct BinaryParts {
    std::uint64_t significand = 0;
    int exponent = 0;
};

BinaryParts split_magnitude(double magnitude) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(magnitude);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const int biased_exponent = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased_exponent == 0) return {fraction, -1074};  // zero or subnormal
    return {fraction | (std::uint64_t{1} << 52), biased_exponent - 1075};
}

void fill_asterisks(int width, char* out) { std::memset(out, '*', static_cast<std::size_t>(width)); }

// NaN and the infinities: the word after one blank, the rest blank.
void format_not_finite(double value, int width, char* out) {
    std::string_view word = std::isnan(value) ? "NaN" : (value < 0 ? "-Infinity" : "Infinity");
    if (static_cast<std::size_t>(width) < word.size() + 1) {
        fill_asterisks(width, out);
        return;
    }
    std::memset(out, ' ', static_cast<std::size_t>(width));
    std::memcpy(out + 1, word.data(), word.size());
}

// The digits of a rounded magnitude before any carry: the integer digits
// without leading zeros, then the fraction digits, padded with zeros up to
// the field's decimals.
struct DigitString {
    std::string_view integer_digits;
    std::string_view fraction_digits;
};

char kept_digit(const DigitString& digits, std::size_t index) {
    if (index < digits.integer_digits.size()) return digits.integer_digits[index];
    const std::size_t fraction_index = index - digits.integer_digits.size();
    return fraction_index < digits.fraction_digits.size() ? digits.fraction_digits[fraction_index] : '0';
}

// The number of decimal fraction digits of the exact value of `magnitude`:
// as many as it has binary fraction digits (at most 1074).
int exact_fraction_digits(double magnitude) {
    BinaryParts parts = split_magnitude(magnitude);
    if (parts.significand == 0) return 0;
    const int trailing_zeros = std::countr_zero(parts.significand);
    const int exponent = parts.exponent + trailing_zeros;
    return exponent < 0 ? -exponent : 0;
}

}  // namespace

namespace detail {

bool format_fixed_fast(double value, int width, int decimals, char* out) {
    const double magnitude = std::fabs(value);
    if (width <= 0 || decimals < 0 || decimals > fast_path_max_decimals) return false;
    if (!(magnitude < fast_path_magnitude_limit)) return false;  // NaN fails this too

    // magnitude = significand * 2^exponent with exponent <= -10 here, so the
    // scaled value significand * 10^decimals * 2^exponent is rounded by
    // adding one half (2^(shift-1)) and shifting right.  The product stays
    // below 2^73, the result below 2^63; with up to 3 decimals it fits in 64
    // bits, which is the common case and the cheaper one.
    const BinaryParts parts = split_magnitude(magnitude);
    const int shift = -parts.exponent;
    const std::uint64_t unit = powers_of_ten[static_cast<std::size_t>(decimals)];
    std::uint64_t rounded = 0;
    if (decimals <= 3) {
        const std::uint64_t scaled = parts.significand * unit;  // below 2^63
        if (shift < 64) rounded = (scaled + (std::uint64_t{1} << (shift - 1))) >> shift;
    } else {
        const u128 scaled = static_cast<u128>(parts.significand) * unit;
        if (shift < 128)
            rounded = static_cast<std::uint64_t>((scaled + (static_cast<u128>(1) << (shift - 1))) >> shift);
    }

    // Two decimals (the result file's fields) divide by a constant, which
    // costs a multiplication instead of a division.
    std::uint64_t integer_part = decimals == 2 ? rounded / 100 : rounded / unit;
    std::uint64_t fraction_part = decimals == 2 ? rounded % 100 : rounded % unit;
    int integer_count = 0;
    while (integer_count < 19 && integer_part >= decimal_thresholds[static_cast<std::size_t>(integer_count)]) {
        ++integer_count;
    }
    const bool minus = std::signbit(value) && rounded != 0;
    const int need = integer_count + 1 + decimals + (minus ? 1 : 0);
    if (need > width) {
        fill_asterisks(width, out);
        return true;
    }

    // Written straight into the field from the right: fraction digits, the
    // point, the integer digits two at a time.  (Building the text elsewhere
    // and copying it would read back bytes just stored one at a time, which
    // processors handle slowly.)  Fields 12 wide, the result file's, get a
    // blank fill of fixed size.
    if (width == 12) {
        std::memset(out, ' ', 12);
    } else {
        std::memset(out, ' ', static_cast<std::size_t>(width));
    }
    char* position = out + width;
    if (decimals == 2) {
        position -= 2;
        std::memcpy(position, &digit_pairs[2 * fraction_part], 2);
    } else {
        for (int i = 0; i < decimals; ++i) {
            *--position = static_cast<char>('0' + fraction_part % 10);
            fraction_part /= 10;
        }
    }
    *--position = '.';
    if (integer_count == 0) {
        if (need < width) *--position = '0';
    } else {
        while (integer_part >= 100) {
            position -= 2;
            std::memcpy(position, &digit_pairs[2 * (integer_part % 100)], 2);
            integer_part /= 100;
        }
        if (integer_part >= 10) {
            position -= 2;
            std::memcpy(position, &digit_pairs[2 * integer_part], 2);
        } else {
            *--position = static_cast<char>('0' + integer_part);
        }
    }
    if (minus) *--position = '-';
    return true;
}

void format_fixed_general(double value, int width, int decimals, char* out) {
    if (width <= 0) return;
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(value)) {
        format_not_finite(value, width, out);
        return;
    }
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);

    // The exact expansion: at most 309 integer digits, the point and 1074
    // fraction digits.
    std::array<char, 1400> expansion;
    const auto [end, error] = std::to_chars(expansion.data(), expansion.data() + expansion.size(), magnitude,
                                            std::chars_format::fixed, exact_fraction_digits(magnitude));
    if (error != std::errc()) {
        fill_asterisks(width, out);
        return;
    }
    const std::string_view text(expansion.data(), static_cast<std::size_t>(end - expansion.data()));
    const std::size_t point = text.find('.');
    DigitString digits;
    digits.integer_digits = text.substr(0, point);
    if (point != std::string_view::npos) digits.fraction_digits = text.substr(point + 1);
    while (!digits.integer_digits.empty() && digits.integer_digits.front() == '0')
        digits.integer_digits.remove_prefix(1);

    // Round at the last kept decimal: up when the rest of the expansion is at
    // least one half, that is when the first dropped digit is 5 or more.
    const std::size_t fraction_kept = static_cast<std::size_t>(decimals);
    const bool round_up = fraction_kept < digits.fraction_digits.size() && digits.fraction_digits[fraction_kept] >= '5';
    const std::size_t kept_count = digits.integer_digits.size() + fraction_kept;
    std::size_t carry_at = kept_count;  // the digit that takes the carry; kept_count for none
    bool grows = false;                 // the carry runs out of the top digit: a new leading 1
    if (round_up) {
        std::size_t index = kept_count;
        while (index > 0 && kept_digit(digits, index - 1) == '9') --index;
        if (index == 0)
            grows = true;
        else
            carry_at = index - 1;
    }
    bool zero = !round_up && digits.integer_digits.empty();
    for (std::size_t i = 0; zero && i < fraction_kept && i < digits.fraction_digits.size(); ++i)
        zero = digits.fraction_digits[i] == '0';

    const std::size_t integer_count = digits.integer_digits.size() + (grows ? 1 : 0);
    const bool minus = negative && !zero;
    const std::size_t field = static_cast<std::size_t>(width);
    const std::size_t need = integer_count + 1 + fraction_kept + (minus ? 1 : 0);
    if (need > field) {
        fill_asterisks(width, out);
        return;
    }
    const bool leading_zero = integer_count == 0 && need < field;
    std::memset(out, ' ', field);
    char* position = out + (field - need - (leading_zero ? 1 : 0));
    if (minus) *position++ = '-';
    if (leading_zero) *position++ = '0';
    if (grows) *position++ = '1';
    for (std::size_t i = 0; i < kept_count; ++i) {
        if (i == digits.integer_digits.size()) *position++ = '.';
        char digit = kept_digit(digits, i);
        if (grows || i > carry_at)
            digit = '0';
        else if (i == carry_at)
            ++digit;
        *position++ = digit;
    }
    if (fraction_kept == 0) *position++ = '.';
}

}  // namespace detail

void format_fixed(double value, int width, int decimals, char* out) {
    if (width <= 0) return;
    if (detail::format_fixed_fast(value, width, decimals, out)) return;
    detail::format_fixed_general(value, width, decimals, out);
}

void format_integer(std::int32_t value, int width, char* out) {
    if (width <= 0) return;
    // The magnitude in unsigned arithmetic, so that INT32_MIN needs no
    // special case.
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    std::array<char, 10> digits;
    int count = 0;
    do {
        digits[static_cast<std::size_t>(count++)] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const int need = count + (value < 0 ? 1 : 0);
    if (need > width) {
        fill_asterisks(width, out);
        return;
    }
    std::memset(out, ' ', static_cast<std::size_t>(width));
    char* position = out + (width - need);
    if (value < 0) *position++ = '-';
    while (count > 0) *position++ = digits[static_cast<std::size_t>(--count)];
}

}  // namespace textio
