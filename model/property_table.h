// A material property or a surface coefficient against temperature: rows of
// (temperature in C, value) read from a small CSV file, interpolated
// linearly between the rows and held constant beyond the first and the last.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace model {

struct PropertyTable {
    std::vector<double> temperature;  // strictly increasing, at least two
    std::vector<double> value;        // positive and finite, one per temperature
};

// The value of `table` at `temperature`: linear between the two rows around
// it, the first or the last value beyond the ends.  A NaN temperature gives
// the first value.
double table_value(const PropertyTable& table, double temperature);

// The outcome of reading a table's text.  `problem` is empty when the table
// is good; otherwise it says why not, and `line` is the line (from 1) where
// the reading stopped, 0 when the text as a whole is at fault.
struct TableReading {
    PropertyTable table;
    int line = 0;
    std::string problem;
};

// Reads rows "temperature,value" (a comma, a semicolon, blanks or a tab
// between the two numbers; LF or CR LF line ends).  An optional first line
// that does not start with a number is a header; empty lines are skipped.
// Every other line must hold exactly two finite numbers, the temperatures
// increasing and the values positive, and there must be at least two rows.
TableReading parse_property_table(std::string_view text);

}  // namespace model
