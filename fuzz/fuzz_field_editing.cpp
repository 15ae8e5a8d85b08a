// Fuzz target: fixed-point and integer field editing against a reference.
//
// Input layout: 8 bytes of a binary64 bit pattern, one byte for the width,
// one for the decimals, 4 bytes of an integer (missing bytes count as 0).
// The reference below computes each field from the exact value with its own
// arbitrary-precision integer arithmetic and shares no code with the
// rendering under test; any difference aborts.  The output buffers are
// allocated with exactly the field's width, so that AddressSanitizer catches
// a write beyond the field.
//
// The reference rule for a finite value v, width w, decimals d:
//   q = round(|v| * 10^d), an exact half rounded up (away from zero);
//   the text is the digits of q with a point before the last d of them,
//   no leading zeros in the integer part, "-" when v is negative and q > 0;
//   when the integer part is empty a "0" stands before the point if there is
//   room; a text longer than w gives w asterisks; otherwise it is
//   right-aligned in w with blanks.
// NaN and the infinities are " NaN", " Infinity", " -Infinity" left-aligned
// and padded with blanks, or asterisks when the field is too narrow.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "textio/field_editing.h"
#include "textio/field_editing_detail.h"

namespace {

// ---------------------------------------------------------------------------
// Unsigned arbitrary-precision integers: little-endian 32-bit limbs.

using Limbs = std::vector<std::uint32_t>;

void trim(Limbs& a) {
    while (!a.empty() && a.back() == 0) a.pop_back();
}

void multiply_small(Limbs& a, std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : a) {
        const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
        limb = static_cast<std::uint32_t>(product);
        carry = product >> 32;
    }
    if (carry != 0) a.push_back(static_cast<std::uint32_t>(carry));
}

void add_one(Limbs& a) {
    for (std::uint32_t& limb : a) {
        if (++limb != 0) return;
    }
    a.push_back(1);
}

void shift_left(Limbs& a, unsigned bits) {
    if (a.empty()) return;
    const unsigned whole = bits / 32;
    const unsigned part = bits % 32;
    Limbs result(a.size() + whole + 1, 0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t shifted = static_cast<std::uint64_t>(a[i]) << part;
        result[i + whole] |= static_cast<std::uint32_t>(shifted);
        result[i + whole + 1] |= static_cast<std::uint32_t>(shifted >> 32);
    }
    trim(result);
    a.swap(result);
}

bool bit_at(const Limbs& a, unsigned bit) {
    const std::size_t limb = bit / 32;
    return limb < a.size() && ((a[limb] >> (bit % 32)) & 1u) != 0;
}

void shift_right(Limbs& a, unsigned bits) {
    const unsigned whole = bits / 32;
    const unsigned part = bits % 32;
    if (whole >= a.size()) {
        a.clear();
        return;
    }
    Limbs result(a.size() - whole, 0);
    for (std::size_t i = 0; i < result.size(); ++i) {
        std::uint64_t window = a[i + whole];
        if (i + whole + 1 < a.size()) window |= static_cast<std::uint64_t>(a[i + whole + 1]) << 32;
        result[i] = static_cast<std::uint32_t>(window >> part);
    }
    trim(result);
    a.swap(result);
}

// Decimal digits, most significant first; "0" for zero.
std::string decimal_digits(Limbs a) {
    std::string reversed;
    while (!a.empty()) {
        std::uint64_t remainder = 0;
        for (std::size_t i = a.size(); i-- > 0;) {
            const std::uint64_t current = (remainder << 32) | a[i];
            a[i] = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        trim(a);
        reversed.push_back(static_cast<char>('0' + remainder));
    }
    if (reversed.empty()) reversed = "0";
    return {reversed.rbegin(), reversed.rend()};
}

// ---------------------------------------------------------------------------
// Reference fields

std::string reference_fixed(double value, int width, int decimals) {
    if (width <= 0) return {};
    if (decimals < 0) decimals = 0;
    const auto w = static_cast<std::size_t>(width);
    if (std::isnan(value) || std::isinf(value)) {
        const std::string word = std::isnan(value) ? " NaN" : (value < 0 ? " -Infinity" : " Infinity");
        if (word.size() > w) return std::string(w, '*');
        return word + std::string(w - word.size(), ' ');
    }

    // |value| = significand * 2^exponent exactly.
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        significand |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }

    // q = round(significand * 10^decimals * 2^exponent), halves up.
    Limbs q{static_cast<std::uint32_t>(significand), static_cast<std::uint32_t>(significand >> 32)};
    trim(q);
    for (int i = 0; i < decimals; ++i) multiply_small(q, 10);
    if (exponent >= 0) {
        shift_left(q, static_cast<unsigned>(exponent));
    } else {
        const auto drop = static_cast<unsigned>(-exponent);
        const bool half_or_more = bit_at(q, drop - 1);
        shift_right(q, drop);
        if (half_or_more) add_one(q);
    }

    std::string digits = decimal_digits(q);
    const bool is_zero = digits == "0";
    if (digits.size() < static_cast<std::size_t>(decimals) + 1) {
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    }
    std::string integer_part = digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
    const std::string fraction_part = digits.substr(digits.size() - static_cast<std::size_t>(decimals));
    integer_part.erase(0, std::min(integer_part.find_first_not_of('0'), integer_part.size()));

    std::string text = integer_part + "." + fraction_part;
    const bool minus = negative && !is_zero;
    if (minus) text.insert(0, "-");
    if (text.size() > w) return std::string(w, '*');
    if (integer_part.empty() && text.size() < w) text.insert(minus ? 1 : 0, "0");
    return std::string(w - text.size(), ' ') + text;
}

std::string reference_integer(std::int32_t value, int width) {
    if (width <= 0) return {};
    const auto w = static_cast<std::size_t>(width);
    std::int64_t magnitude = value;
    const bool negative = magnitude < 0;
    if (negative) magnitude = -magnitude;
    std::string text;
    do {
        text.insert(text.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) text.insert(0, "-");
    if (text.size() > w) return std::string(w, '*');
    return std::string(w - text.size(), ' ') + text;
}

// ---------------------------------------------------------------------------

[[noreturn]] void disagree(const char* what, double value, long long number, int width, int decimals,
                           const std::string& expected, const std::string& produced) {
    std::fprintf(stderr,
                 "%s disagrees with the reference: value %a (%lld), width %d, decimals %d\n"
                 "  expected [%s]\n  produced [%s]\n",
                 what, value, number, width, decimals, expected.c_str(), produced.c_str());
    std::abort();
}

// Renders into a buffer of exactly `width` bytes (one byte for width 0, left
// as it was).
template <typename Render>
std::string rendered(int width, Render render) {
    const std::size_t size = static_cast<std::size_t>(std::max(width, 0));
    auto buffer = std::make_unique<char[]>(std::max<std::size_t>(size, 1));
    buffer[0] = '#';
    render(buffer.get());
    if (width <= 0) {
        if (buffer[0] != '#') return "wrote into a field of width 0";
        return {};
    }
    return std::string(buffer.get(), size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t bytes[14] = {};
    std::memcpy(bytes, data, std::min(size, sizeof bytes));
    std::uint64_t bits = 0;
    std::memcpy(&bits, bytes, 8);
    const double value = std::bit_cast<double>(bits);
    // Widths up to 127 and decimals up to 127 cover the common fields, the
    // limits of the fast path and long general-path expansions; the values
    // with the top bit set probe widths and decimals far beyond them.
    int width = bytes[8] & 0x7f;
    int decimals = bytes[9] & 0x7f;
    if (bytes[8] & 0x80) width = (bytes[8] & 0x40) ? -(width & 0x3f) : 300 + (width & 0x3f) * 20;
    if (bytes[9] & 0x80) decimals = (bytes[9] & 0x40) ? -(decimals & 0x3f) : 300 + (decimals & 0x3f) * 12;
    std::int32_t number = 0;
    std::memcpy(&number, bytes + 10, 4);

    const std::string expected = reference_fixed(value, width, decimals);
    const std::string produced = rendered(width, [&](char* out) { textio::format_fixed(value, width, decimals, out); });
    if (produced != expected) disagree("format_fixed", value, 0, width, decimals, expected, produced);

    // Both internal paths, where they apply, must give the same field.
    if (width > 0 && decimals >= 0) {
        bool fast_applies = false;
        const std::string fast = rendered(
            width, [&](char* out) { fast_applies = textio::detail::format_fixed_fast(value, width, decimals, out); });
        if (fast_applies && fast != expected) disagree("the fast path", value, 0, width, decimals, expected, fast);
        const std::string general =
            rendered(width, [&](char* out) { textio::detail::format_fixed_general(value, width, decimals, out); });
        if (general != expected) disagree("the general path", value, 0, width, decimals, expected, general);
    }

    const int integer_width = width > 40 ? width % 41 : width;
    const std::string expected_integer = reference_integer(number, integer_width);
    const std::string produced_integer =
        rendered(integer_width, [&](char* out) { textio::format_integer(number, integer_width, out); });
    if (produced_integer != expected_integer) {
        disagree("format_integer", 0.0, number, integer_width, 0, expected_integer, produced_integer);
    }
    return 0;
}
