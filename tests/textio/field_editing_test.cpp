// Fixed-point and integer fields: worked cases, the paths against
// each other, and a large randomized comparison with an exact reference.
#include "textio/field_editing.h"
#include "textio/field_editing_detail.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace {

std::string fixed(double value, int width, int decimals) {
    std::string field(static_cast<std::size_t>(width), '?');
    textio::format_fixed(value, width, decimals, field.data());
    return field;
}

std::string general(double value, int width, int decimals) {
    std::string field(static_cast<std::size_t>(width), '?');
    textio::detail::format_fixed_general(value, width, decimals, field.data());
    return field;
}

std::string integer(std::int32_t value, int width) {
    std::string field(static_cast<std::size_t>(width), '?');
    textio::format_integer(value, width, field.data());
    return field;
}

std::string blanks(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

// ---------------------------------------------------------------------------
// Independent reference: the exact decimal value of a binary64 number from a
// small base-10^9 big integer (significand times a power of five or two),
// then rounding of the digit string half away from zero.

struct BigDecimal {
    std::array<std::uint32_t, 100> limbs{};  // base 10^9, least significant first
    std::size_t used = 1;
};

void multiply(BigDecimal& number, std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < number.used; ++i) {
        const std::uint64_t product = std::uint64_t{number.limbs[i]} * factor + carry;
        number.limbs[i] = static_cast<std::uint32_t>(product % 1000000000u);
        carry = product / 1000000000u;
    }
    while (carry != 0) {
        number.limbs[number.used++] = static_cast<std::uint32_t>(carry % 1000000000u);
        carry /= 1000000000u;
    }
}

std::string decimal_digits(const BigDecimal& number) {
    std::string text = std::to_string(number.limbs[number.used - 1]);
    for (std::size_t i = number.used - 1; i-- > 0;) {
        const std::string limb = std::to_string(number.limbs[i]);
        text += std::string(9 - limb.size(), '0') + limb;
    }
    return text;
}

// |value| == digits * 10^-fraction_digits exactly.
struct ExactValue {
    std::string digits;
    int fraction_digits = 0;
};

ExactValue exact_value(double value) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);  // in [0.5, 1)
    auto significand = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    int power = exponent - 53;  // |value| = significand * 2^power
    BigDecimal number;
    number.limbs[0] = static_cast<std::uint32_t>(significand % 1000000000u);
    significand /= 1000000000u;
    while (significand != 0) {
        number.limbs[number.used++] = static_cast<std::uint32_t>(significand % 1000000000u);
        significand /= 1000000000u;
    }
    ExactValue result;
    if (power >= 0) {
        for (; power >= 29; power -= 29) multiply(number, 1u << 29);
        multiply(number, 1u << power);
    } else {
        // m * 2^-k == m * 5^k / 10^k
        result.fraction_digits = -power;
        int fives = -power;
        for (; fives >= 13; fives -= 13) multiply(number, 1220703125u);  // 5^13
        std::uint32_t rest = 1;
        while (fives-- > 0) rest *= 5;
        multiply(number, rest);
    }
    result.digits = decimal_digits(number);
    return result;
}

std::string reference_field(double value, int width, int decimals) {
    if (std::isnan(value) || std::isinf(value)) return "";  // not covered here
    ExactValue exact = exact_value(value);
    // The digits of value * 10^decimals truncated, and whether to round up.
    std::string scaled = exact.digits;
    bool round_up = false;
    if (exact.fraction_digits <= decimals) {
        scaled += std::string(static_cast<std::size_t>(decimals - exact.fraction_digits), '0');
    } else {
        const std::size_t dropped = static_cast<std::size_t>(exact.fraction_digits - decimals);
        if (dropped >= scaled.size()) scaled.insert(0, dropped - scaled.size() + 1, '0');
        round_up = scaled[scaled.size() - dropped] >= '5';
        scaled.resize(scaled.size() - dropped);
    }
    if (round_up) {
        std::size_t i = scaled.size();
        while (i > 0 && scaled[i - 1] == '9') scaled[--i] = '0';
        if (i == 0)
            scaled.insert(0, "1");
        else
            ++scaled[i - 1];
    }
    const std::size_t first = scaled.find_first_not_of('0');
    const bool zero = first == std::string::npos;
    scaled = zero ? std::string() : scaled.substr(first);
    if (scaled.size() < static_cast<std::size_t>(decimals))
        scaled.insert(0, static_cast<std::size_t>(decimals) - scaled.size(), '0');
    std::string integer_part = scaled.substr(0, scaled.size() - static_cast<std::size_t>(decimals));
    std::string text = integer_part + "." + scaled.substr(integer_part.size());
    const bool minus = std::signbit(value) && !zero;
    if (minus) text.insert(0, "-");
    if (text.size() > static_cast<std::size_t>(width)) return std::string(static_cast<std::size_t>(width), '*');
    if (integer_part.empty() && text.size() < static_cast<std::size_t>(width)) text.insert(minus ? 1 : 0, "0");
    return blanks(width - static_cast<int>(text.size())) + text;
}

// ---------------------------------------------------------------------------

TEST(FixedField, DocumentedValuesWidth12Decimals2) {
    EXPECT_EQ(fixed(0.5, 12, 2), blanks(8) + "0.50");
    EXPECT_EQ(fixed(-0.5, 12, 2), blanks(7) + "-0.50");
    EXPECT_EQ(fixed(-0.004, 12, 2), blanks(8) + "0.00");
    EXPECT_EQ(fixed(-0.006, 12, 2), blanks(7) + "-0.01");
    EXPECT_EQ(fixed(0.125, 12, 2), blanks(8) + "0.13");
    EXPECT_EQ(fixed(-0.125, 12, 2), blanks(7) + "-0.13");
    EXPECT_EQ(fixed(2.675, 12, 2), blanks(8) + "2.67");  // binary value lies below 2.675
    EXPECT_EQ(fixed(1.0e9, 12, 2), std::string(12, '*'));
    EXPECT_EQ(fixed(0.0, 12, 2), blanks(8) + "0.00");
    EXPECT_EQ(fixed(-0.0, 12, 2), blanks(8) + "0.00");
    EXPECT_EQ(fixed(123456789.5, 12, 2), "123456789.50");
    EXPECT_EQ(fixed(999999999.999, 12, 2), std::string(12, '*'));  // rounds to ten integer digits
    EXPECT_EQ(fixed(-100000000.0, 12, 2), std::string(12, '*'));
    EXPECT_EQ(fixed(-99999999.99, 12, 2), "-99999999.99");
    EXPECT_EQ(fixed(20.0, 12, 2), blanks(7) + "20.00");
    EXPECT_EQ(fixed(12.5, 12, 2), blanks(7) + "12.50");
}

TEST(FixedField, CarryIntoNewDigitAndValuesJustBelowHalf) {
    EXPECT_EQ(fixed(9.996, 12, 2), blanks(7) + "10.00");
    EXPECT_EQ(fixed(0.996, 12, 2), blanks(8) + "1.00");
    EXPECT_EQ(fixed(-0.996, 6, 2), " -1.00");
    EXPECT_EQ(fixed(-0.996, 5, 2), "-1.00");
    EXPECT_EQ(fixed(-99999999.996, 12, 2), std::string(12, '*'));
    EXPECT_EQ(fixed(9.995, 12, 2), blanks(8) + "9.99");     // 9.99499999...
    EXPECT_EQ(fixed(99.995, 12, 2), blanks(6) + "100.00");  // 99.99500000...45
    EXPECT_EQ(fixed(0.9995, 10, 3), blanks(5) + "1.000");
}

TEST(FixedField, LeadingZeroOnlyWhenThereIsRoom) {
    EXPECT_EQ(fixed(0.5, 4, 2), "0.50");
    EXPECT_EQ(fixed(0.5, 3, 2), ".50");
    EXPECT_EQ(fixed(-0.5, 5, 2), "-0.50");
    EXPECT_EQ(fixed(-0.5, 4, 2), "-.50");
    EXPECT_EQ(fixed(-0.5, 3, 2), "***");
    EXPECT_EQ(fixed(0.004, 3, 2), ".00");
    EXPECT_EQ(fixed(0.5, 2, 2), "**");
}

TEST(FixedField, NoDecimalsKeepsThePoint) {
    EXPECT_EQ(fixed(2.5, 5, 0), "   3.");
    EXPECT_EQ(fixed(-2.5, 5, 0), "  -3.");
    EXPECT_EQ(fixed(0.4, 5, 0), "   0.");
    EXPECT_EQ(fixed(-0.4, 5, 0), "   0.");
    EXPECT_EQ(fixed(0.4, 1, 0), ".");
    EXPECT_EQ(general(2.5, 5, 0), "   3.");
    EXPECT_EQ(general(0.4, 1, 0), ".");
    EXPECT_EQ(general(1.0e20, 23, 0), " 100000000000000000000.");
    EXPECT_EQ(general(1.0e20, 21, 0), std::string(21, '*'));
}

TEST(FixedField, NotANumberAndInfinities) {
    const double infinity = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(fixed(nan, 12, 2), " NaN" + blanks(8));
    EXPECT_EQ(fixed(-nan, 12, 2), " NaN" + blanks(8));
    EXPECT_EQ(fixed(infinity, 12, 2), " Infinity" + blanks(3));
    EXPECT_EQ(fixed(-infinity, 12, 2), " -Infinity" + blanks(2));
    EXPECT_EQ(fixed(-infinity, 10, 2), " -Infinity");
    EXPECT_EQ(fixed(-infinity, 9, 2), std::string(9, '*'));
    EXPECT_EQ(fixed(nan, 3, 1), "***");
}

TEST(FixedField, ExactTiesRoundAwayFromZeroUnlikeToChars) {
    // std::to_chars rounds an exact tie to even; the field rounds it up.
    std::array<char, 32> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), 0.125, std::chars_format::fixed, 2);
    EXPECT_EQ(std::string(buffer.data(), result.ptr), "0.12");
    EXPECT_EQ(fixed(0.125, 5, 2), " 0.13");
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), 2.5, std::chars_format::fixed, 0);
    EXPECT_EQ(std::string(buffer.data(), result.ptr), "2");
    // 2^-8 = 0.00390625 is a tie at 7 decimals, beyond the fast path.
    EXPECT_EQ(fixed(0.00390625, 10, 7), " 0.0039063");
    EXPECT_EQ(fixed(-0.00390625, 10, 7), "-0.0039063");
    EXPECT_EQ(fixed(0.375, 5, 2), " 0.38");
    EXPECT_EQ(fixed(0.625, 5, 2), " 0.63");
    EXPECT_EQ(fixed(1.0625, 6, 3), " 1.063");
}

TEST(FixedField, GeneralPathCoversWideRangesAndManyDecimals) {
    EXPECT_EQ(fixed(0.1, 22, 20), "0.10000000000000000555");
    EXPECT_EQ(fixed(1.0e-5, 24, 22), "0.0000100000000000000008");  // ...000818 rounds to ...08
    EXPECT_EQ(fixed(1.0e22, 30, 2), blanks(4) + "10000000000000000000000.00");
    EXPECT_EQ(fixed(-1.0e22, 26, 2), std::string(26, '*'));
    EXPECT_EQ(fixed(1.0e15 + 0.5, 20, 0), blanks(3) + "1000000000000001.");
    EXPECT_EQ(fixed(-4.9406564584124654e-324, 12, 2), blanks(8) + "0.00");
    EXPECT_EQ(fixed(4.9406564584124654e-324, 8, 325), std::string(8, '*'));
    const std::string largest = fixed(std::numeric_limits<double>::max(), 320, 1);
    EXPECT_EQ(largest.substr(0, 9), blanks(9));
    EXPECT_EQ(largest.substr(9, 6), "179769");
    EXPECT_EQ(largest.substr(318), ".0");
}

TEST(FixedField, DegenerateArgumentsAreSafe) {
    std::string field = "abc";
    textio::format_fixed(1.0, 0, 2, field.data());
    EXPECT_EQ(field, "abc");
    EXPECT_EQ(fixed(1.5, 4, -3), "  2.");
}

TEST(FixedField, FastPathAgreesWithGeneralPath) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> exponent(-8.0, 12.9);
    std::uniform_int_distribution<int> decimals(0, textio::detail::fast_path_max_decimals);
    std::uniform_int_distribution<int> width(1, 22);
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        double value = std::pow(10.0, exponent(random));
        if (i % 2 == 1) value = -value;
        if (i % 5 == 0) value = std::nearbyint(value * 64.0) / 64.0 + (i % 3 == 0 ? 1.0 / 128.0 : 0.0);
        const int d = decimals(random);
        const int w = width(random);
        std::string fast(static_cast<std::size_t>(w), '?');
        ASSERT_TRUE(textio::detail::format_fixed_fast(value, w, d, fast.data())) << value;
        ASSERT_EQ(fast, general(value, w, d)) << value << " width " << w << " decimals " << d;
        ++checked;
    }
    EXPECT_EQ(checked, 200000);
    // Outside its range the fast path declines.
    std::array<char, 20> out{};
    EXPECT_FALSE(textio::detail::format_fixed_fast(0x1p43, 20, 2, out.data()));
    EXPECT_FALSE(textio::detail::format_fixed_fast(1.0, 20, 7, out.data()));
    EXPECT_FALSE(textio::detail::format_fixed_fast(std::numeric_limits<double>::quiet_NaN(), 20, 2, out.data()));
}

// One million values of the result file's field form against the reference:
// random magnitudes from 1e-3 to 1e10 of both signs, exact ties (odd
// multiples of 1/8) and their binary neighbours.
TEST(FixedField, MillionValuesMatchExactReference) {
    std::mt19937_64 random(7341);
    std::uniform_real_distribution<double> exponent(-3.0, 10.0);
    std::uniform_int_distribution<std::int64_t> whole(0, 999999999);
    std::uniform_int_distribution<int> eighth(0, 3);
    int mismatches = 0;
    std::string first_mismatch;
    for (int i = 0; i < 1000000; ++i) {
        double value = 0.0;
        switch (i % 4) {
            case 0:
            case 1: value = std::pow(10.0, exponent(random)); break;
            case 2: value = static_cast<double>(whole(random) >> (i % 24)) + (2 * eighth(random) + 1) / 8.0; break;
            case 3: {
                const double tie = static_cast<double>(whole(random) >> (i % 24)) + (2 * eighth(random) + 1) / 8.0;
                value = std::nextafter(tie, (i / 4) % 2 == 0 ? 0.0 : 2.0e9);
                break;
            }
        }
        if ((i / 2) % 2 == 1) value = -value;
        const std::string expected = reference_field(value, 12, 2);
        const std::string actual = fixed(value, 12, 2);
        if (actual != expected && mismatches++ == 0)
            first_mismatch = std::to_string(value) + ": \"" + actual + "\" vs \"" + expected + "\"";
    }
    EXPECT_EQ(mismatches, 0) << first_mismatch;
}

// Other field forms, across the general path's range as well.
TEST(FixedField, VariedFieldsMatchExactReference) {
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> exponent(-25.0, 25.0);
    std::uniform_int_distribution<int> decimals(0, 14);
    std::uniform_int_distribution<int> width(1, 45);
    int mismatches = 0;
    std::string first_mismatch;
    for (int i = 0; i < 100000; ++i) {
        const int d = decimals(random);
        const int w = width(random);
        double value = std::pow(10.0, exponent(random));
        if (i % 3 == 0) value = std::ldexp(2.0 * std::nearbyint(std::ldexp(value, d)) + 1.0, -(d + 1));  // exact ties
        if (i % 2 == 1) value = -value;
        const std::string expected = reference_field(value, w, d);
        const std::string actual = fixed(value, w, d);
        if (actual != expected && mismatches++ == 0)
            first_mismatch = std::to_string(value) + " w" + std::to_string(w) + " d" + std::to_string(d) + ": \"" +
                             actual + "\" vs \"" + expected + "\"";
    }
    EXPECT_EQ(mismatches, 0) << first_mismatch;
    // The extremes of the binary64 range.
    for (double value : {std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                         std::numeric_limits<double>::min(), 0x1.fffffffffffffp-1}) {
        EXPECT_EQ(fixed(value, 330, 4), reference_field(value, 330, 4)) << value;
        EXPECT_EQ(fixed(-value, 40, 30), reference_field(-value, 40, 30)) << value;
    }
}

TEST(IntegerField, Width6AndExtremes) {
    EXPECT_EQ(integer(0, 6), blanks(5) + "0");
    EXPECT_EQ(integer(-12345, 6), "-12345");
    EXPECT_EQ(integer(1234567, 6), "******");
    EXPECT_EQ(integer(123456, 6), "123456");
    EXPECT_EQ(integer(-123456, 6), "******");
    EXPECT_EQ(integer(13, 6), "    13");
    EXPECT_EQ(integer(std::numeric_limits<std::int32_t>::min(), 11), "-2147483648");
    EXPECT_EQ(integer(std::numeric_limits<std::int32_t>::min(), 10), std::string(10, '*'));
    EXPECT_EQ(integer(std::numeric_limits<std::int32_t>::max(), 12), blanks(2) + "2147483647");
}

}  // namespace
