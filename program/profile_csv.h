// The CSV profile of a run (temp1d --csv): a header line, then one row per
// kept step with the time at the end of the step, the temperature at each
// relative radius and dT.  Every number is the shortest text that reads back
// as the exact binary64 value; lines end with a line feed.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "model/radial_profile.h"

namespace textio {
struct Channel;
}

namespace program {

// The unit the CSV file is written through (standard output for "-").
inline constexpr int profile_csv_unit = 315;

// Why `target` cannot take the profile, or an empty string: it is the
// parameter file or the result file (by name or as the same file through a
// link), or it exists and is not a regular file.  "-" is always accepted.
// Names are taken in the working directory, after -C.
// `tables` are the table files of the run (empty names are not given),
// inputs like the parameter file.
std::string refusal_of_csv_target(std::string_view target, std::span<const std::string> tables = {});

// The shortest text that reads back as exactly `value` ("nan", "inf" and
// "-inf" for the values that have no number).
std::string shortest_number_text(double value);

// The header line (without its line end) for the relative radii.
std::string profile_csv_header(std::span<const double> radii);

// Opens the target (standard output for "-"; a file is created or cut),
// gives it line-feed line ends and writes the header.  A file that cannot
// be opened ends the work with its failure report.
textio::Channel& open_profile_csv(std::string_view target, std::span<const double> radii);

// Appends the rows; `point_count` temperatures per row.
void write_profile_rows(textio::Channel& channel, const model::ProfileRows& rows, std::size_t point_count);

}  // namespace program
