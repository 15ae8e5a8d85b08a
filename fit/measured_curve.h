// The measured cooling curve: a text file of time (s) and temperature pairs,
// comma-, semicolon- or blank-separated (with semicolons a decimal comma is
// accepted), with header rows of text and "#" comments.
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
    bool semicolons = false;     // a data line was separated by semicolons
    bool decimal_comma = false;  // a number was written with a decimal comma
    int header_rows = 0;         // lines of text before the first point
};

// The columns of the time and the temperature, counted from 1.  Without
// `given` every data line has exactly these two columns; with it, any
// number of columns that includes both.
struct CurveColumns {
    int time = 1;
    int temperature = 2;
    bool given = false;
};

// Parses the text of a curve file named `file_name` (used in messages).
// Rules: a "#" starts a comment that runs to the end of the line; blank
// lines are skipped; the lines before the first point that hold no number
// at all (column names, a units row) are header rows; a line with a
// semicolon is split at semicolons, and there a comma between digits is a
// decimal comma; other lines are split at commas when they have one, else
// at blanks and tabs; every data line holds the two columns (exactly two
// without `columns.given`) as finite numbers; the times increase strictly
// and are not negative; at least three points are needed.
CurveReading parse_measured_curve(std::string_view text, std::string_view file_name, CurveColumns columns = {});

// Reads and parses the file; an unreadable file is reported in `error`.
CurveReading read_measured_curve(const std::string& path, CurveColumns columns = {});

}  // namespace fit
