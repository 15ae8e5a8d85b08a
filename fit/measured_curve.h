// The measured cooling curve: a text file of time (s) and temperature pairs,
// comma- or blank-separated, with an optional header line and "#" comments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fit {

struct MeasuredCurve {
    std::vector<double> time;
    std::vector<double> temperature;
    std::vector<int> line;  // line number in the file of each point
};

// The outcome of reading a curve: `error` is empty on success, otherwise it
// names the file, the line (when there is one) and what is wrong.
struct CurveReading {
    MeasuredCurve curve;
    std::string error;
};

// Parses the text of a curve file named `file_name` (used in messages).
// Rules: a "#" starts a comment that runs to the end of the line; blank
// lines are skipped; the first non-blank line may be a header, recognised by
// holding no number at all; every other line holds exactly two finite
// numbers, the time and the temperature; the times increase strictly and are
// not negative; at least three points are needed.
CurveReading parse_measured_curve(std::string_view text, std::string_view file_name);

// Reads and parses the file; an unreadable file is reported in `error`.
CurveReading read_measured_curve(const std::string& path);

}  // namespace fit
