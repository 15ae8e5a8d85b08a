// The result file "temperat.txt": a heading, one record per time step with
// the time, the centre temperature tc, the surface temperature tpov and their
// difference, and a closing line with the largest difference dTmax.
#pragma once

#include <cstdint>
#include <string_view>

namespace textio {
struct Channel;
}

namespace model {

inline constexpr std::string_view result_file_name = "temperat.txt";
inline constexpr int result_file_unit = 314;

// The size in bytes of a result file with `step_count` records (none for a
// count below 1).
std::uint64_t result_file_size(std::int32_t step_count);

void write_result_header(textio::Channel& channel);
void write_step_record(textio::Channel& channel, double time, double tc, double tpov, double dT);
void write_result_closing(textio::Channel& channel, double dTmax);

}  // namespace model
