// The two rendering paths behind format_fixed, visible so that tests can set
// them against each other.  Not for use outside the field-editing code.
#pragma once

namespace textio::detail {

// Renders a finite value with up to fast_path_max_decimals decimals and a
// magnitude below fast_path_magnitude_limit by scaled integer arithmetic on
// the significand.  Returns false, leaving `out` untouched, for any other
// value (NaN and infinities included).
inline constexpr int fast_path_max_decimals = 6;
inline constexpr double fast_path_magnitude_limit = 0x1p43;
bool format_fixed_fast(double value, int width, int decimals, char* out);

// Renders any finite value from its exact decimal expansion.  width >= 1,
// decimals >= 0.
void format_fixed_general(double value, int width, int decimals, char* out);

}  // namespace textio::detail
