// IMACH and UMACH: the integer constants of the number formats and the unit
// numbers on which the library reads and writes.
#include "numlib/numlib.h"
#include "textio/file_channel.h"
#include "textio/line_layout.h"

#include <array>
#include <climits>

namespace numlib {

namespace {

using namespace textio;

// Indexed 1..12; 32-bit two's-complement integers, binary32 and binary64
// with exponents for a significand in [1/2, 1).
constexpr std::array<int, 13> machine_constants = {
    0,
    32,          // bits in an integer storage unit
    4,           // characters in an integer storage unit
    2,           // base of integer representation
    31,          // base-2 digits of an integer, sign excluded
    2147483647,  // largest integer
    2,           // base of floating-point representation
    24,          // base-2 digits of a binary32 significand
    -125,        // smallest binary32 exponent
    128,         // largest binary32 exponent
    53,          // base-2 digits of a binary64 significand
    -1021,       // smallest binary64 exponent
    1024,        // largest binary64 exponent
};

// Slots 1..3: input, output and message unit (standard input, standard
// output, standard output).
std::array<int, 4> unit_table = {0, standard_input_unit, standard_output_unit, standard_output_unit};

constexpr std::array imach_complaint_layout = {
    record_break(),   literal(" *** TERMINAL ERROR 5 from IMACH.  The argument"),
    record_break(),   literal(" ***          must be between 1 and 12 inclusive."),
    record_break(),   literal(" ***          N = "),
    integer_field(6), literal("."),
    record_break(),   layout_end(),
};

constexpr std::array umach_complaint_layout = {
    record_break(),   literal(" *** TERMINAL ERROR 5 from UMACH.  The absolute"),
    record_break(),   literal(" ***          value of the index variable must be"),
    record_break(),   literal(" ***          1, 2, or 3.  IABS(N) = "),
    integer_field(6), literal("."),
    record_break(),   layout_end(),
};

}  // namespace

int IMACH(const int& N) {
    if (N >= 1 && N <= 12) {
        return machine_constants[static_cast<std::size_t>(N)];
    }
    int unit = 0;
    UMACH(2, unit);
    const std::array values = {integer_value(N)};
    write_layout(unit_channel(unit), imach_complaint_layout, values);
    stop_program(library_stop_status);
}

void UMACH(const int& N, int& unit) {
    if (N >= 1 && N <= 3) {
        unit = unit_table[static_cast<std::size_t>(N)];
        return;
    }
    if (N >= -3 && N <= -1) {
        unit_table[static_cast<std::size_t>(-N)] = unit;
        return;
    }
    // The magnitude of the most negative integer does not exist; its field
    // shows asterisks.
    const int magnitude = N == INT_MIN ? N : (N < 0 ? -N : N);
    const std::array values = {integer_value(magnitude)};
    write_layout(unit_channel(unit_table[3]), umach_complaint_layout, values);
    stop_program(library_stop_status);
}

}  // namespace numlib
