// A material property or a surface coefficient against temperature: rows of
// (temperature in C, value) read from a small CSV file, interpolated
// linearly between the rows and held constant beyond the first and the last.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace model {

struct PropertyTable {
    std::vector<double> temperature;  // strictly increasing, at least two
    std::vector<double> value;        // positive and finite, one per temperature
    // slope[k] = (value[k] - value[k-1]) / (temperature[k] - temperature[k-1])
    // for k >= 1, worked out once so that a look-up needs no division.
    std::vector<double> slope;
};

// A table of the rows (temperature[k], value[k]), with its slopes.
PropertyTable make_property_table(std::vector<double> temperature, std::vector<double> value);

// The value of `table` at `temperature`: linear between the two rows around
// it (value[k-1] + (temperature - temperature[k-1]) * slope[k]), the first or
// the last value beyond the ends.  A NaN temperature gives the first value.
// Inline: a step of the table mode looks up a hundred values.
inline double table_value(const PropertyTable& t, double temperature) {
    if (!(temperature > t.temperature.front())) return t.value.front();
    if (temperature >= t.temperature.back()) return t.value.back();
    // The first row at or above the temperature (there is one: the last),
    // by bisection of [1, n-1].
    std::size_t low = 1;
    std::size_t high = t.temperature.size() - 1;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (t.temperature[middle] < temperature) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    // temperature lies in (T[low-1], T[low]].
    return t.value[low - 1] + (temperature - t.temperature[low - 1]) * t.slope[low];
}

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
